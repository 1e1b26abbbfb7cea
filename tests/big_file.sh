#!/usr/bin/env bash
# The large drawings for the GUI tests and the benchmark, made once by the benchmark generator
# and kept while newer than it; with BATCH, also the listing dxflist-batch writes for it.
#   big_file.sh GEN_BENCH DIR SIZE_MB crlf|lf [BATCH]    prints the drawing's path
set -euo pipefail
file=$2/big$3-$4.dxf
mkdir -p "$2"
if [[ ! -s $file || $1 -nt $file ]]; then
    "$1" "$file.part" "$3" "$4" >/dev/null
    mv "$file.part" "$file"
fi
if [[ -n ${5:-} && (! -s ${file%.dxf}.listing || $5 -nt ${file%.dxf}.listing || $file -nt ${file%.dxf}.listing) ]]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    "$5" "$file" "$work"
    mv "$work/output.txt" "${file%.dxf}.listing"
fi
echo "$file"
