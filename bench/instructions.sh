#!/usr/bin/env bash
# Instructions per pair under callgrind, which counts them exactly: the same build gives the
# same count on every run, so that commits can be compared on a busy machine. The file is the
# first 10 MB of the 100 MB CR LF benchmark drawing; each scan path is listed on its own
# (dxflist-run-path), then dxflist-batch on the path it picks; then dxflist-batch on the binary
# twin of the whole pairs of those 10 MB (instructions per group).
#   bench/instructions.sh BUILD_DIR
# Prints one row per path ("path instructions per_pair"), and on its last line the batch's
# instructions per pair alone. Valgrind has no AVX-512: that path shows as not counted.
set -euo pipefail

build=$(cd "${1:?usage: instructions.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
data=$build/bench-data
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

drawing=$("$source_dir/tests/big_file.sh" "$build/bench/dxflist-gen-bench" "$data" 100 crlf)
head -c 10000000 "$drawing" >"$work/first10.dxf"
pairs=$(($(tr -cd '\r' <"$work/first10.dxf" | wc -c) / 2))
head -n $((2 * pairs)) "$drawing" >"$work/pairs10.dxf"
"$build/bench/dxflist-binary-twin" "$work/pairs10.dxf" "$work/first10-bin.dxf"

# The instructions of one run, or nothing when it could not run (a path valgrind lacks).
#   count FILE PROGRAM [ARGS]
count() {
    local out file=$1
    shift
    out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" "$file" "$work" 2>&1) ||
        return 0
    awk '/Collected :/ {print $4}' <<<"$out"
}

echo "Instructions per pair (callgrind), first 10 MB of big100-crlf.dxf, $pairs pairs:"
for path in off portable sse2 avx2 avx512; do
    n=$(count "$work/first10.dxf" "$build/bench/dxflist-run-path" "$path")
    if [[ -z $n ]]; then
        printf '%-9s %13s %9s\n' "$path" - "not counted (not available under valgrind)"
    else
        awk -v p="$path" -v n="$n" -v k="$pairs" 'BEGIN {printf "%-9s %13d %9.1f\n", p, n, n / k}'
    fi
done
n=$(count "$work/first10.dxf" "$build/dxflist-batch")
awk -v n="$n" -v k="$pairs" 'BEGIN {printf "%-9s %13d %9.1f\n", "batch", n, n / k}'
b=$(count "$work/first10-bin.dxf" "$build/dxflist-batch")
awk -v n="$b" -v k="$pairs" 'BEGIN {printf "%-9s %13d %9.1f\n", "binary", n, n / k}'
echo "(off: the plain reader alone; batch: dxflist-batch on the path it picks under valgrind;"
echo " binary: dxflist-batch on the binary twin, $(stat -c %s "$work/first10-bin.dxf") bytes, per group)"
awk -v n="$n" -v k="$pairs" 'BEGIN {printf "%.1f\n", n / k}'
