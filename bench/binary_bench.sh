#!/usr/bin/env bash
# Times build/dxflist-batch on the binary twin of the benchmark's 100 MB drawing against its I/O
# floor (dd reading the binary file and writing a file as large as its listing), beside the
# CR LF drawing it was made from and a plain group-scanning loop on the binary file (a yardstick:
# bench/binary_scan.cpp), and checks the targets: within 1.5 times the floor, under 10 MiB.
#   bench/binary_bench.sh BUILD_DIR [RUNS]
# Prints medians of RUNS interleaved runs (default 5) of wall and CPU time, and the median and
# range of each round's run against that round's floor, and each processor's time for one fixed
# loop and for copying 256 MiB, before and after the rounds (a run of two threads goes as fast as
# its slower core, and with the host's memory). Exit status 0 only when every target is met.
set -euo pipefail

build=$(cd "${1:?usage: binary_bench.sh BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
data=$build/bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/app"

text=$("$source_dir/tests/big_file.sh" "$build/bench/dxflist-gen-bench" "$data" 100 crlf)
binary=$data/big100-bin.dxf
if [[ ! -s $binary || $text -nt $binary || $build/bench/dxflist-binary-twin -nt $binary ]]; then
    "$build/bench/dxflist-binary-twin" "$text" "$binary.part"
    mv "$binary.part" "$binary"
fi

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# "wall_us cpu_us" of a command (cpu: user + system), after the earlier runs' files are written
# and with its input ($2) read once before, so that it comes from the page cache (run_bench.sh).
timed() {
    local TIMEFORMAT='%3R %3U %3S' t
    cat "$2" >/dev/null
    sync
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{printf "%d %d\n", $1 * 1e6, ($2 + $3) * 1e6}' <<<"$t"
}
run_engine() { /usr/bin/time -f %M -o "$work/rss" "$build/dxflist-batch" "$1" "$work/app"; }
run_scan() { "$build/bench/dxflist-binary-scan" "$1" "$work/scan.txt"; }
run_floor() {
    dd if="$1" of=/dev/null bs=1M status=none
    dd if=/dev/zero of="$work/floor-listing" bs=1M count="$2" iflag=count_bytes status=none
}

cores_before=$("$build/bench/dxflist-core-speed")
run_engine "$text"
text_listing_bytes=$(stat -c %s "$work/app/output.txt")
run_engine "$binary"
listing_bytes=$(stat -c %s "$work/app/output.txt")
be=() bc=() fe=() fc=() ratios=() te=() tc=() tfe=() tfc=() se=() sc=() rss=()
for ((i = 0; i < runs; i++)); do
    read -r w c < <(timed run_engine "$binary"); be+=("$w") bc+=("$c") rss+=("$(cat "$work/rss")")
    read -r w c < <(timed run_floor "$binary" "$listing_bytes"); fe+=("$w") fc+=("$c")
    ratios+=("$(awk -v a="${be[-1]}" -v b="$w" 'BEGIN {printf "%.3f", a / b}')")
    read -r w c < <(timed run_engine "$text"); te+=("$w") tc+=("$c")
    read -r w c < <(timed run_floor "$text" "$text_listing_bytes"); tfe+=("$w") tfc+=("$c")
    read -r w c < <(timed run_scan "$binary"); se+=("$w") sc+=("$c")
done
m() { printf '%s\n' "$@" | median; }
bin_us=$(m "${be[@]}") floor_us=$(m "${fe[@]}") text_us=$(m "${te[@]}")
peak_kib=$(printf '%s\n' "${rss[@]}" | sort -n | tail -1)
printf '%-13s %9s %9s %8s\n' file wall_s cpu_s floor_x
awk -v w="$bin_us" -v c="$(m "${bc[@]}")" -v f="$floor_us" \
    'BEGIN {printf "%-13s %9.3f %9.3f %8.2f\n", "big100-bin", w/1e6, c/1e6, w/f}'
awk -v w="$floor_us" -v c="$(m "${fc[@]}")" 'BEGIN {printf "%-13s %9.3f %9.3f\n", "floor", w/1e6, c/1e6}'
awk -v w="$text_us" -v c="$(m "${tc[@]}")" -v f="$(m "${tfe[@]}")" \
    'BEGIN {printf "%-13s %9.3f %9.3f %8.2f\n", "big100-crlf", w/1e6, c/1e6, w/f}'
awk -v w="$(m "${tfe[@]}")" -v c="$(m "${tfc[@]}")" 'BEGIN {printf "%-13s %9.3f %9.3f\n", "its floor", w/1e6, c/1e6}'
awk -v w="$(m "${se[@]}")" -v c="$(m "${sc[@]}")" -v f="$floor_us" \
    'BEGIN {printf "%-13s %9.3f %9.3f %8.2f\n", "binary-scan", w/1e6, c/1e6, w/f}'
# On a virtual machine the floor can move by a third within minutes, and the ratio of the two
# medians with it: each run is also held against the floor timed right after it.
printf '%s\n' "${ratios[@]}" | sort -n |
    awk '{a[NR] = $1} END {printf "big100-bin against the floor of its own round: median %.2f, %.2f-%.2f\n", a[int((NR + 1) / 2)], a[1], a[NR]}'
echo "each processor's time for one fixed loop / 256 MiB copied, in ms: before the rounds ${cores_before}, after them $("$build/bench/dxflist-core-speed")"
echo "(big100-crlf: the CR LF drawing the binary twin was made from, against its own floor;"
echo " binary-scan: the yardstick on the binary twin, against the binary floor; $runs interleaved runs; medians; binary file $(stat -c %s "$binary") bytes, listing" \
    "$listing_bytes bytes; load average $(cut -d' ' -f1-3 /proc/loadavg))"

source "$(dirname "$0")/targets.sh"
check "100 MB binary twin, engine / floor" "$(awk -v a="$bin_us" -v b="$floor_us" 'BEGIN {printf "%.2f", a / b}')" 1.5
check "100 MB binary twin, peak memory in MiB, under" "$(awk -v k="$peak_kib" 'BEGIN {printf "%.1f", k / 1024}')" 9.99
exit "$failed"
