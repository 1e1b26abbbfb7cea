#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
#   scripts/deps.sh          build the program
#   scripts/deps.sh --package  also zip and unzip, for the Windows download
#   scripts/deps.sh --test   also what the tests and benchmarks need (Xvfb, xdotool, a window
#                            manager, a GTK drag source, the Japanese locale, clang's fuzzer
#                            and sanitizers)
set -euo pipefail

# librsvg2-bin renders the program's icon from its SVG.
packages=(build-essential cmake ninja-build pkg-config libgtest-dev googletest
          libwxgtk3.2-dev wx3.2-i18n fonts-ipafont-gothic librsvg2-bin)
if [[ "${1:-}" == "--test" ]]; then
    # libgtk-3-dev: the drag source the drag-and-drop test drags files from. python3-ezdxf: the
    # independent reader that binary DXF is held against.
    packages+=(clang libclang-rt-14-dev xvfb xauth xdotool openbox x11-utils imagemagick
               locales util-linux procps time inotify-tools libgtk-3-dev python3-ezdxf)
fi

if [[ "${1:-}" == "--package" ]]; then
    packages+=(zip unzip)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get -o DPkg::Lock::Timeout=120 update -q || true
    $sudo apt-get -o DPkg::Lock::Timeout=120 install -y -q --no-install-recommends "${missing[@]}"
fi

# One GUI test runs in Japanese; the locale must exist for it.
if [[ "${1:-}" == "--test" ]] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
