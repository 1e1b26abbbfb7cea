#!/usr/bin/env bash
# resources_test.sh PROGRAM: what Windows shows of PROGRAM besides its version record, read
# back out of the file. Explorer, the taskbar and Alt+Tab show the first icon group: it must be
# the program's own, 16 to 256 pixels, 32 bits, every image readable. The manifest must declare
# per-monitor (v2) DPI awareness, or Windows stretches the window on scaled screens and blurs it.
set -euo pipefail
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
first=$(wrestool -l --type=14 "$1" | sed -n "1s/.*--name='\?\([^' ]*\).*/\1/p")
wrestool -x --type=14 --name="$first" "$1" >"$T/first.ico"
sizes=$(icotool -l "$T/first.ico" | sed 's/.*--width=\([0-9]*\) --height=[0-9]* --bit-depth=\([0-9]*\).*/\1:\2/' | tr '\n' ' ')
[[ $sizes == "16:32 24:32 32:32 48:32 256:32 " ]] || { echo "first icon group $first: $sizes" >&2; exit 1; }
icotool -x -o "$T" "$T/first.ico" || { echo "an image of the icon cannot be read" >&2; exit 1; }
wrestool -x --raw --type=24 "$1" | tr -d '\r\n' | grep -q '<dpiAwareness[^>]*>PerMonitorV2' ||
    { echo "the manifest declares no per-monitor (v2) DPI awareness" >&2; exit 1; }
