#!/usr/bin/env bash
# resources_test.sh PROGRAM VERSION: what Windows shows of PROGRAM, read back out of the file.
# Explorer, the taskbar and Alt+Tab show the first icon group: it must be the program's own, 16
# to 256 pixels, 32 bits, every image readable. The manifest must declare per-monitor (v2) DPI
# awareness, or Windows stretches the window on scaled screens and blurs it. The version
# record's fixed part, which Explorer shows as file and product version, is VERSION.0.
set -euo pipefail
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
fail() { echo "FAIL [resources]: $*" >&2; exit 1; }
first=$(wrestool -l --type=14 "$1" | sed -n "1s/.*--name='\?\([^' ]*\).*/\1/p")
wrestool -x --type=14 --name="$first" "$1" >"$T/first.ico"
sizes=$(icotool -l "$T/first.ico" | sed 's/.*--width=\([0-9]*\) --height=[0-9]* --bit-depth=\([0-9]*\).*/\1:\2/' | tr '\n' ' ')
[[ $sizes == "16:32 24:32 32:32 48:32 256:32 " ]] || fail "first icon group $first: $sizes"
icotool -x -o "$T" "$T/first.ico" || fail "an image of the icon cannot be read"
wrestool -x --raw --type=24 "$1" | tr -d '\r\n' | grep -q '<dpiAwareness[^>]*>PerMonitorV2' ||
    fail "the manifest declares no per-monitor (v2) DPI awareness"
# The words after the fixed part's signature: its layout's version, then the file's and the
# product's version, each as two 32-bit halves of two 16-bit numbers.
read -r _ fms fls pms pls < <(wrestool -x --raw --type=16 "$1" | od -An -v -tx4 -w4 |
    grep -A5 -m1 -x ' feef04bd' | tail -n 5 | paste -sd ' ')
dotted() { echo "$((16#$1 >> 16)).$((16#$1 & 65535)).$((16#$2 >> 16)).$((16#$2 & 65535))"; }
[[ $(dotted "$fms" "$fls") == "$2.0" && $(dotted "$pms" "$pls") == "$2.0" ]] ||
    fail "file version $(dotted "$fms" "$fls"), product version $(dotted "$pms" "$pls"), expected $2.0"
