#!/usr/bin/env bash
# The Windows program: installs what is missing, cross-builds build-win/dxflist.exe and
# build-win/dxflist-batch.exe with MinGW-w64 (and a static wxWidgets for MSW, built once into
# a cache), then runs every Windows test under Wine: the engine's unit tests, the version
# record, dxflist-batch.exe against the Linux build on the corpus, and dxflist.exe driven
# under Xvfb. Exits non-zero if anything fails.
#   Env: DXFLIST_WX_MSW_PREFIX, DXFLIST_WINEPREFIX (caches; see win-deps.sh, wine-prefix.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
started=$SECONDS
step() { echo "== [$((SECONDS - started))s] $*"; }

# --- packages -----------------------------------------------------------------------------------
step "packages"
# The Linux build the results are compared with, and its benchmark file generator.
scripts/deps.sh
# GoogleTest's sources for the cross-built engine tests; icotool for the program's icon; the GUI
# test's display, window manager, keyboard, screenshots; the Japanese locale for Wine's code
# page 932 runs.
packages=(googletest ninja-build icoutils xvfb openbox xdotool x11-xserver-utils x11-utils
          imagemagick locales)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    $sudo apt-get -o DPkg::Lock::Timeout=120 update -q || true
    $sudo apt-get -o DPkg::Lock::Timeout=120 install -y -q --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
# The MinGW-w64 toolchain, Wine, and the wxWidgets cache (built on first use: minutes).
step "toolchain and wxWidgets for MSW"
wx=$(scripts/win-deps.sh | tail -n 1)

# --- builds -------------------------------------------------------------------------------------
step "Linux build (reference)"
linux=$PWD/build
if [[ ! -f $linux/build.ninja ]]; then
    cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDXFLIST_WERROR=ON
fi
cmake --build "$linux" --target dxflist-batch dxflist-gen-bench

step "Windows build"
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release -DDXFLIST_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DDXFLIST_WX_MSW_PREFIX="$wx" \
    -DDXFLIST_GTEST_SOURCE_DIR=/usr/src/googletest -DDXFLIST_BUILD_BENCH=OFF \
    -DDXFLIST_LINUX_BUILD_DIR="$linux"
cmake --build build-win

# --- tests --------------------------------------------------------------------------------------
step "tests under Wine"
source scripts/wine-prefix.sh
# One Wine server for the whole run (each test program would otherwise start its own, ~2 s),
# stopped at the end: it belongs to our private prefix only. Status 2: one is running already.
wineserver -p || (($? == 2))
trap 'wineserver -k 2>/dev/null || true' EXIT
# Wine's background services start with the first program and keep its output open: started
# here they hold /dev/null, not a pipe that ctest waits on to close.
setarch -R wine cmd.exe /c exit </dev/null >/dev/null 2>&1  # -R: see the toolchain file
# That start also opened a desktop, with no display. It closes a second or two later; until then
# every program started joins it, and a GUI test's windows would show on no screen.
warmup_desktop() {
    local pid
    for pid in $(pgrep -f 'explorer.exe /desktop'); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
for _ in $(seq 100); do warmup_desktop || break; sleep 0.1; done
(cd build-win && ctest --output-on-failure --timeout 900 -j2)
step "All Windows tests passed."
