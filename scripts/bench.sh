#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/ and runs the benchmarks: the
# batch driver against the I/O floor on generated 100 MB and 400 MB drawings (CR LF and LF) and
# on the real drawings of the corpus, the binary twin of the 100 MB drawing, and the real program
# under Xvfb against the batch.
# Exit status 0 when every performance target is met.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
status=0
bench/run_bench.sh build "${1:-5}" || status=1
echo
echo "Binary DXF (bench/binary_bench.sh):"
bench/binary_bench.sh build "${1:-5}" || status=1
exit "$status"
