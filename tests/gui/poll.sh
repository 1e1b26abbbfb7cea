# Polling without fixed sleeps, for the GUI tests of both platforms and the GUI benchmark.
# The caller defines fail.
# shellcheck shell=bash
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# poll SECONDS COMMAND...: whether COMMAND succeeds within SECONDS, tried every 20 ms.
poll() {
    local end=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        (($(now_ms) < end)) || return 1
        sleep 0.02
    done
}
# wait_until SECONDS WHAT COMMAND...: the same, and a failure if it does not.
wait_until() {
    local limit=$1 what=$2
    shift 2
    poll "$limit" "$@" || fail "timed out after ${limit}s waiting for $what"
}
