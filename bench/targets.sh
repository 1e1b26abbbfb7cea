# The benchmarks' targets, sourced by run_bench.sh and binary_bench.sh: check DESCRIPTION VALUE
# LIMIT prints "met" or "MISSED" and sets failed=1 when VALUE is above LIMIT.
failed=0
check() {
    if awk -v v="$2" -v l="$3" 'BEGIN {exit !(v <= l)}'; then
        printf 'met     %s: %s <= %s\n' "$1" "$2" "$3"
    else
        printf 'MISSED  %s: %s > %s\n' "$1" "$2" "$3"
        failed=1
    fi
}
