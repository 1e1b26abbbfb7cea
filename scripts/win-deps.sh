#!/usr/bin/env bash
# Installs what the Windows (MinGW-w64) cross-build needs on Debian and builds a
# static wxWidgets 3.2 for MSW into a cache outside the clone, once.
# Last line of stdout is the wx prefix:  WX=$(scripts/win-deps.sh | tail -n1)
# Env: DXFLIST_WX_MSW_PREFIX (cache dir), XDG_CACHE_HOME.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C

PREFIX=$(realpath -m "${DXFLIST_WX_MSW_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/dxflist/wx-msw-3.2}")
# Bump RECIPE when the configure flags change: a different marker forces a rebuild.
RECIPE="wxwidgets3.2 msw static core+base v1"
MARKER=.dxflist-wx-complete
SUDO=; [[ $(id -u) -eq 0 ]] || SUDO=sudo

log() { echo "win-deps: $*" >&2; }

# --- Debian packages (apt only when something is missing) -------------------
# posix thread model so std::thread/std::mutex work; wine runs the exes;
# the IPA font gives Wine a Japanese font; xvfb lets GUI exes run headless.
PKGS=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
      wine wine64 fonts-ipafont-gothic xvfb cmake make xz-utils)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  log "installing ${missing[*]}"
  $SUDO apt-get -o DPkg::Lock::Timeout=120 update -q >&2
  $SUDO apt-get -o DPkg::Lock::Timeout=120 install -y -q "${missing[@]}" >&2
fi

# --- wxWidgets MSW cache -----------------------------------------------------
if [[ -f $PREFIX/$MARKER && $(cat "$PREFIX/$MARKER") == "$RECIPE" ]]; then
  log "wx cache ok"; echo "$PREFIX"; exit 0
fi

parent=$(dirname "$PREFIX"); mkdir -p "$parent"
exec 9>"$parent/.$(basename "$PREFIX").lock"
flock 9                      # a second concurrent run waits, then finds the cache
if [[ -f $PREFIX/$MARKER && $(cat "$PREFIX/$MARKER") == "$RECIPE" ]]; then
  echo "$PREFIX"; exit 0
fi

rm -rf "$parent"/.wx-build.*  # left by a killed run; we hold the lock, so none is live
work=$(mktemp -d "$parent/.wx-build.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Debian's source package via a private deb-src list; /etc/apt stays untouched.
# (wx for MSW is not packaged for MinGW, and only Debian's registry is reachable.)
mkdir -p lists/partial
if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then    # deb822 (Debian 12+)
  srcs=src.sources; sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > $srcs
else                                                         # one-line format
  srcs=src.list; sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > $srcs
fi
aptsrc=(-o Dir::Etc::SourceList="$work/$srcs" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$work/lists" -o APT::Sandbox::User=root)  # _apt can't write here
log "downloading wxwidgets3.2 source"
apt-get "${aptsrc[@]}" update -q >&2
apt-get "${aptsrc[@]}" source --download-only -q wxwidgets3.2 >&2
mkdir src build
tar -xf wxwidgets3.2_*.orig.tar.* -C src --strip-components=1

# The +dfsg tarball has no bundled zlib/png/jpeg/tiff/expat: use MinGW's zlib and
# drop the rest (and everything that needs them, e.g. svg, xrc).
log "building wx (several minutes)"
cd build
../src/configure --prefix="$PREFIX" --host=x86_64-w64-mingw32 \
  CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
  --with-msw --disable-shared --with-zlib=sys --with-regex=builtin \
  --without-libpng --without-libjpeg --without-libtiff --without-expat \
  --without-liblzma --without-libcurl --without-opengl --disable-svg --disable-xrc \
  --disable-html --disable-aui --disable-propgrid --disable-ribbon --disable-richtext \
  --disable-stc --disable-mediactrl --disable-webview --disable-sockets >&2
make -j"$(nproc)" >&2

# Install into a staging dir (wx-config keeps the final prefix baked in), then
# rename into place: an interrupted run never leaves a cache that looks complete.
make install DESTDIR="$work/stage" >&2
echo "$RECIPE" > "$work/stage$PREFIX/$MARKER"
[[ -e $PREFIX ]] && mv "$PREFIX" "$work/old"
mv "$work/stage$PREFIX" "$PREFIX"
log "installed wx into $PREFIX"
echo "$PREFIX"
