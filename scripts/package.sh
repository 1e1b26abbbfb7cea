#!/usr/bin/env bash
# The Windows download: dist/dxflist-<version>-windows-x64.zip with dxflist.exe, README.txt and
# README.ja.txt (the READMEs as UTF-8 with a byte order mark and CR LF line ends, which every
# Notepad reads) and LICENSE. The version is the one the build wrote into the program, from
# project(VERSION) in CMakeLists.txt. Run after scripts/win.sh, which builds build-win/.
# The zip's dxflist.exe is stripped; its symbols stay beside the build, in
# build-win/dxflist.exe.debug, which the program names (a GNU debug link), so that gdb reads a
# user's crash report of this very build with them.
# The zip is then unpacked into a fresh folder and its dxflist.exe lists a drawing under Wine
# through its window, as the Linux build's dxflist-batch does.
#   Env: DXFLIST_WINEPREFIX (see wine-prefix.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

win=build-win linux=build
for file in "$win/dxflist.exe" "$win/generated/dxflist_version.h" "$win/tests/win/window_text.exe" \
    "$linux/dxflist-batch"; do
    [[ -f $file ]] || { echo "package: $file is missing; run scripts/win.sh first" >&2; exit 1; }
done
scripts/deps.sh --package

version=$(sed -n 's/^#define DXFLIST_VERSION_STRING "\(.*\)"$/\1/p' "$win/generated/dxflist_version.h")
[[ -n $version ]] || { echo "package: no version in $win/generated/dxflist_version.h" >&2; exit 1; }
zip=dist/dxflist-$version-windows-x64.zip
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

objcopy=x86_64-w64-mingw32-objcopy
"$objcopy" --only-keep-debug "$win/dxflist.exe" "$win/dxflist.exe.debug"
"$objcopy" --strip-all --add-gnu-debuglink="$win/dxflist.exe.debug" "$win/dxflist.exe" "$stage/dxflist.exe"
cp LICENSE "$stage/"
for readme in README README.ja; do
    { printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$readme.md"; } >"$stage/$readme.txt"
done
mkdir -p dist
rm -f "$zip"
# Fixed times and no owners, so that the same sources give the same zip.
touch -d "$(git log -1 --format=%cI 2>/dev/null || echo 1980-01-01)" "$stage"/*
(cd "$stage" && zip -q -X -D "$OLDPWD/$zip" dxflist.exe README.txt README.ja.txt LICENSE)
echo "package: $zip ($(stat -c %s "$zip") bytes)"

# --- the download as a user gets it --------------------------------------------------------------
# One Wine server for the whole check, ours to stop: see scripts/win.sh.
source scripts/wine-prefix.sh
wineserver -p || (($? == 2))
trap 'rm -rf "$stage"; wineserver -k 2>/dev/null || true' EXIT
bash tests/win/package_test.sh "$zip" "$win" "$linux"
