#!/usr/bin/env bash
# Times build/dxflist-batch against the I/O floor (the same reading and writing with dd through
# a user buffer) on large generated drawings and on the real files of the corpus, and checks
# the performance targets.
#   bench/run_bench.sh BUILD_DIR [RUNS [BEFORE_BUILD_DIR]]
# Prints medians of RUNS interleaved runs (default 5) of wall and CPU time, their ratios to the
# floor, the share of a CPU each used and its context switches (why a run waits), throughput
# and peak memory, a plain pair-scanning loop on the same files as a
# yardstick, compares the real program, driven under Xvfb, with the batch, and, where valgrind
# is installed, counts the instructions per pair (bench/instructions.sh). Given a second
# build (of an earlier version, say), its dxflist-batch is timed in the same rounds too.
# Exit status 0 only when every target is met.
set -euo pipefail

build=$(cd "${1:?usage: run_bench.sh BUILD_DIR [RUNS [BEFORE_BUILD_DIR]]}" && pwd)
runs=${2:-5}
before=${3:+$(cd "$3" && pwd)/dxflist-batch}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
batch=$build/dxflist-batch
data=$build/bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$data"

for variant in "100 crlf" "100 lf" "400 crlf" "400 lf"; do
    "$source_dir/tests/big_file.sh" "$build/bench/dxflist-gen-bench" "$data" $variant >/dev/null
done

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# Runs a command and appends "wall_us cpu_us voluntary involuntary" (cpu: user + system, its
# children included; then the context switches of its processes: voluntary ones are waits, for
# a buffer, a lock or the disk, involuntary ones a core taken by another thread or process).
# Every run starts with the files of the runs before written out (sync, not timed): otherwise
# the system's flush of hundreds of megabytes written a moment ago takes the second core from
# whichever run comes next.
# The input ($2 of every timed command) is read once before, untimed: some systems page out file
# pages that were not touched for a while (a VM with DAMON's proactive reclaim did, a minute
# after), and the first run of a round, the engine's, then read parts of the drawing from disk
# that the floor after it found cached.
timed() {
    local TIMEFORMAT='%3R %3U %3S' t
    cat "$2" >/dev/null
    sync
    : >"$work/usage"
    t=$( { time "$@" >/dev/null 2>&1; } 2>&1)
    awk -v t="$t" '{v += $1; i += $2} END {split(t, a, " "); printf "%d %d %d %d\n", a[1] * 1e6, (a[2] + a[3]) * 1e6, v, i}' \
        "$work/usage"
}
# Runs one process of a timed command, adding its context switches and peak memory (KiB) to
# $work/usage.
usage() {
    /usr/bin/time -a -f '%w %c %M' -o "$work/usage" "$@"
}

# Runs the listing of $1 into $work/app. Like the floor's files, the listing of the run before
# is overwritten, not removed first.
mkdir "$work/app"
run_engine() {
    usage "$batch" "$1" "$work/app" 2>/dev/null
}

# The floor: the same reading and writing through a user buffer with dd, no look at the bytes.
# For a CR LF file: the input read and a file as large as the listing written ($2 bytes).
# For an LF file: the input read, a copy as large as unix.dxf written ($3) and read, and the
# listing written ($2).
run_floor() {
    usage dd if="$1" of=/dev/null bs=1M status=none
    if (($# == 3)); then
        usage dd if=/dev/zero of="$work/floor-copy" bs=1M count="$3" iflag=count_bytes status=none
        usage dd if="$work/floor-copy" of=/dev/null bs=1M status=none
    fi
    usage dd if=/dev/zero of="$work/floor-listing" bs=1M count="$2" iflag=count_bytes status=none
}

# A yardstick: the least a pair lister can do (bench/plain_scan.cpp), on CR LF files.
run_plain() {
    rm -f "$work/plain.txt"
    "$build/bench/dxflist-plain-scan" "$1" "$work/plain.txt"
}

# Where the time goes, on CR LF files: the run's reading and writing threads with no scan between
# them (bench/io_only.cpp), writing $2 bytes; and the run with its listing written to /dev/null,
# its scan and its reading without the writing.
mkdir "$work/null-app" && ln -s /dev/null "$work/null-app/output.txt"
run_io_only() {
    "$build/bench/dxflist-io-only" "$1" "$work/io-only.txt" "$2"
}
run_unwritten() {
    "$batch" "$1" "$work/null-app" 2>/dev/null
}

# The earlier build's run, as run_engine's.
run_before() {
    usage "$before" "$1" "$work/app" 2>/dev/null
}

declare -A engine_us floor_us plain_us io_only_us unwritten_us engine_cpu floor_cpu rss_kb before_us before_cpu \
    engine_vol engine_invol floor_vol floor_invol before_vol before_invol
measure() {  # name file
    local name=$1 file=$2 e=() f=() p=() o=() n=() ec=() fc=() r=() b=() bc=() ev=() ei=() flv=() fli=() bv=() bi=() sizes
    rm -f "$work/app/unix.dxf"
    run_engine "$file"
    sizes=$(stat -c %s "$work/app/output.txt")
    [[ ! -e $work/app/unix.dxf ]] || sizes+=" $(stat -c %s "$work/app/unix.dxf")"
    # Not i: the reads below set it.
    local round
    for ((round = 0; round < runs; round++)); do
        read -r w c v i < <(timed run_engine "$file"); e+=("$w") ec+=("$c") ev+=("$v") ei+=("$i")
        r+=("$(awk '{print $3}' "$work/usage")")
        # shellcheck disable=SC2086 # sizes holds one or two numbers
        read -r w c v i < <(timed run_floor "$file" $sizes); f+=("$w") fc+=("$c") flv+=("$v") fli+=("$i")
        if [[ $name == *-crlf ]]; then
            read -r w c v i < <(timed run_plain "$file"); p+=("$w")
            read -r w c v i < <(timed run_io_only "$file" "$sizes"); o+=("$w")
            read -r w c v i < <(timed run_unwritten "$file"); n+=("$w")
        fi
        if [[ -n $before ]]; then
            read -r w c v i < <(timed run_before "$file"); b+=("$w") bc+=("$c") bv+=("$v") bi+=("$i")
        fi
    done
    if [[ -n $before ]]; then
        before_us[$name]=$(printf '%s\n' "${b[@]}" | median)
        before_cpu[$name]=$(printf '%s\n' "${bc[@]}" | median)
        before_vol[$name]=$(printf '%s\n' "${bv[@]}" | median)
        before_invol[$name]=$(printf '%s\n' "${bi[@]}" | median)
    fi
    engine_vol[$name]=$(printf '%s\n' "${ev[@]}" | median)
    engine_invol[$name]=$(printf '%s\n' "${ei[@]}" | median)
    floor_vol[$name]=$(printf '%s\n' "${flv[@]}" | median)
    floor_invol[$name]=$(printf '%s\n' "${fli[@]}" | median)
    engine_us[$name]=$(printf '%s\n' "${e[@]}" | median)
    floor_us[$name]=$(printf '%s\n' "${f[@]}" | median)
    engine_cpu[$name]=$(printf '%s\n' "${ec[@]}" | median)
    floor_cpu[$name]=$(printf '%s\n' "${fc[@]}" | median)
    if ((${#p[@]} != 0)); then
        plain_us[$name]=$(printf '%s\n' "${p[@]}" | median)
        io_only_us[$name]=$(printf '%s\n' "${o[@]}" | median)
        unwritten_us[$name]=$(printf '%s\n' "${n[@]}" | median)
    fi
    rss_kb[$name]=$(printf '%s\n' "${r[@]}" | sort -n | tail -1)
}

for name in big100-crlf big100-lf big400-crlf big400-lf; do
    measure "$name" "$data/$name.dxf"
done

# The corpus as one group: every file once per round.
corpus=("$source_dir"/tests/corpus/public/*)
e=() f=() ec=() fc=()
for ((round = 0; round < runs; round++)); do
    t=0 u=0 tc=0 uc=0
    for file in "${corpus[@]}"; do
        read -r w c _ < <(timed run_engine "$file"); t=$((t + w)) tc=$((tc + c))
        read -r w c _ < <(timed run_floor "$file" "$(stat -c %s "$work/app/output.txt")")
        u=$((u + w)) uc=$((uc + c))
    done
    e+=("$t") f+=("$u") ec+=("$tc") fc+=("$uc")
done
engine_us[corpus]=$(printf '%s\n' "${e[@]}" | median)
floor_us[corpus]=$(printf '%s\n' "${f[@]}" | median)
engine_cpu[corpus]=$(printf '%s\n' "${ec[@]}" | median)
floor_cpu[corpus]=$(printf '%s\n' "${fc[@]}" | median)
corpus_bytes=$(cat "${corpus[@]}" | wc -c)

printf '\n%-12s %9s %8s %6s %9s %8s %6s %6s %8s\n' file engine_s floor_s ratio engine_cpu \
    floor_cpu ratio MB/s peak_MiB
for name in big100-crlf big100-lf big400-crlf big400-lf corpus; do
    if [[ $name == corpus ]]; then bytes=$corpus_bytes; mib=-; else
        bytes=$(stat -c %s "$data/$name.dxf"); mib=$(awk -v k="${rss_kb[$name]}" 'BEGIN {printf "%.1f", k / 1024}'); fi
    awk -v n="$name" -v e="${engine_us[$name]}" -v f="${floor_us[$name]}" -v b="$bytes" -v m="$mib" \
        -v ec="${engine_cpu[$name]}" -v fc="${floor_cpu[$name]}" \
        'BEGIN {printf "%-12s %9.3f %8.3f %6.2f %9.3f %8.3f %6.2f %6.0f %8s\n", n, e/1e6, f/1e6, e/f, ec/1e6, fc/1e6, ec/fc, b/e, m}'
done
echo "(${runs} interleaved runs each; medians of wall time and of CPU time, user + system; the"
echo " floor: dd bs=1M reading the input and writing a file as large as the listing, for LF files"
echo " also writing and reading one as large as unix.dxf; corpus: ${#corpus[@]} files, $corpus_bytes bytes per round)"
echo
echo "Why a run waits: the share of a CPU used over the run (CPU time / wall time) and the context"
echo "switches of its processes, voluntary (waits: for a buffer, a lock, the disk) / involuntary"
echo "(the core taken by another thread or process), medians:"
printf '%-12s %10s %10s %16s %16s\n' file engine_cpus floor_cpus engine_switches floor_switches
for name in big100-crlf big100-lf big400-crlf big400-lf; do
    awk -v n="$name" -v e="${engine_us[$name]}" -v f="${floor_us[$name]}" -v ec="${engine_cpu[$name]}" \
        -v fc="${floor_cpu[$name]}" -v es="${engine_vol[$name]}/${engine_invol[$name]}" \
        -v fs="${floor_vol[$name]}/${floor_invol[$name]}" \
        'BEGIN {printf "%-12s %10.2f %10.2f %16s %16s\n", n, ec/e, fc/f, es, fs}'
done
echo
if [[ -n $before ]]; then
    echo "The earlier build ($before), timed in the same rounds:"
    printf '%-12s %9s %6s %9s %6s %14s %10s %16s\n' file before_s ratio before_cpu ratio now/before_cpu \
        before_cpus before_switches
    for name in big100-crlf big100-lf big400-crlf big400-lf; do
        awk -v n="$name" -v b="${before_us[$name]}" -v f="${floor_us[$name]}" \
            -v bc="${before_cpu[$name]}" -v fc="${floor_cpu[$name]}" -v ec="${engine_cpu[$name]}" \
            -v bs="${before_vol[$name]}/${before_invol[$name]}" \
            'BEGIN {printf "%-12s %9.3f %6.2f %9.3f %6.2f %14.2f %10.2f %16s\n", n, b/1e6, b/f, bc/1e6, bc/fc, ec/bc, bc/b, bs}'
    done
    echo
fi
echo "Yardstick, the same CR LF files through a plain pair-scanning loop (bench/plain_scan.cpp):"
for name in big100-crlf big400-crlf; do
    awk -v n="$name" -v p="${plain_us[$name]}" -v f="${floor_us[$name]}" -v e="${engine_us[$name]}" \
        'BEGIN {printf "%-12s plain loop %.3f s, %.2f x the floor; dxflist %.2f x the plain loop\n", n, p/1e6, p/f, e/p}'
done

echo
echo "Where the time goes, the same CR LF files: the run's reading and writing threads alone, no"
echo "scan (bench/io_only.cpp), and the run with its listing written to /dev/null (scan and reading):"
for name in big100-crlf big400-crlf; do
    awk -v n="$name" -v o="${io_only_us[$name]}" -v u="${unwritten_us[$name]}" -v f="${floor_us[$name]}" \
        'BEGIN {printf "%-12s threads alone %.3f s, %.2f x the floor; unwritten run %.3f s, %.2f x\n", n, o/1e6, o/f, u/1e6, u/f}'
done

# The real program under Xvfb, against the batch on the same file. Its runs take a second or two
# each, and a median of 5 of them moved by a quarter from one benchmark to the next: at least 15.
gui_runs=$((runs > 15 ? runs : 15))
echo
echo "The program under Xvfb against dxflist-batch (100 MB CR LF, time output.txt is open, $gui_runs pairs of runs):"
"$source_dir/bench/gui_bench.sh" "$build" "$data/big100-crlf.dxf" "$data/big400-crlf.dxf" "$gui_runs" \
    >"$work/gui.txt"
head -n -1 "$work/gui.txt"
read -r gui_ms gui_batch_ms gui_ratio hwm_small hwm_large < <(tail -n 1 "$work/gui.txt")
echo "program ${gui_ms} ms, batch ${gui_batch_ms} ms (medians); program peak memory" \
    "$((hwm_small / 1024)) MiB after the 100 MB runs, $((hwm_large / 1024)) MiB after one of 400 MB"

# Instructions per pair, exact and so comparable from commit to commit on a busy machine.
per_pair=
if command -v valgrind >/dev/null; then
    echo
    "$source_dir/bench/instructions.sh" "$build" >"$work/instructions.txt"
    head -n -1 "$work/instructions.txt"
    per_pair=$(tail -n 1 "$work/instructions.txt")
fi

source "$(dirname "$0")/targets.sh"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo
check "100 MB CR LF, engine / floor" "$(ratio "${engine_us[big100-crlf]}" "${floor_us[big100-crlf]}")" 1.5
check "100 MB LF, engine / floor" "$(ratio "${engine_us[big100-lf]}" "${floor_us[big100-lf]}")" 1.5
check "400 MB CR LF, engine / floor" "$(ratio "${engine_us[big400-crlf]}" "${floor_us[big400-crlf]}")" 1.5
check "400 MB LF, engine / floor" "$(ratio "${engine_us[big400-lf]}" "${floor_us[big400-lf]}")" 1.5
[[ -z $per_pair ]] || check "instructions per pair, first 10 MB of 100 MB CR LF" "$per_pair" 111
for name in big100-crlf big100-lf big400-crlf big400-lf; do
    check "$name, peak memory in MiB, under" "$(awk -v k="${rss_kb[$name]}" 'BEGIN {printf "%.1f", k / 1024}')" 9.99
done
check "the program / dxflist-batch, 100 MB CR LF" "$gui_ratio" 1.10
check "the program's peak memory growth from 100 MB to 400 MB, MiB" \
    "$(awk -v a="$hwm_small" -v b="$hwm_large" 'BEGIN {printf "%.1f", (b - a) / 1024}')" 2
if ((failed)); then echo "Some targets were missed."; exit 1; fi
echo "All targets met."
