#!/usr/bin/env bash
# Private 64-bit Wine prefix for running the cross-built .exe files.
#   source scripts/wine-prefix.sh        creates the prefix if needed, exports WINEPREFIX, WINEDEBUG
#   scripts/wine-prefix.sh CMD [ARGS]    the same, then runs CMD (ctest: "wine test.exe")
# Location: $DXFLIST_WINEPREFIX, default ${XDG_CACHE_HOME:-$HOME/.cache}/dxflist/wineprefix.
# Creating the prefix needs no display; GUI programs need an X server (e.g. Xvfb).

_dxflist_wine_prefix() {
  local prefix=${DXFLIST_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/dxflist/wineprefix}
  export WINEPREFIX=$prefix WINEDEBUG=-all
  [[ -f $prefix/.dxflist-ready ]] && return 0
  mkdir -p "$(dirname "$prefix")" || return 1
  (  # subshell: strict mode and the lock must not leak into a sourcing shell
    set -euo pipefail
    exec 9>"$prefix.lock"; flock 9    # parallel ctest jobs: one creates, the rest wait
    [[ -f $prefix/.dxflist-ready ]] && exit 0
    rm -rf "$prefix"                  # a half-made prefix from an interrupted run
    # No Mono/Gecko install prompts, no .desktop entries written into $HOME.
    export WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    wineboot -i
    # Windows programs ask for the MS Japanese UI fonts; without a mapping to an
    # installed Japanese font (fonts-ipafont-gothic) Japanese text shows as boxes.
    local key='HKCU\Software\Wine\Fonts\Replacements'
    wine reg add "$key" /v "MS UI Gothic" /d IPAPGothic /f
    wine reg add "$key" /v "MS PGothic"   /d IPAPGothic /f
    wine reg add "$key" /v "MS Gothic"    /d IPAGothic  /f
    wineserver -w                     # registry is on disk once the server exits
    touch "$prefix/.dxflist-ready"
  ) >&2
}

if [[ ${BASH_SOURCE[0]} != "$0" ]]; then   # sourced
  _dxflist_wine_prefix
else
  set -euo pipefail
  _dxflist_wine_prefix
  (($#)) && exec "$@"
  echo "$WINEPREFIX"
fi
