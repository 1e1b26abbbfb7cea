#!/usr/bin/env bash
# The real program against dxflist-batch on the same file, driven under Xvfb as a user would
# (through the GUI tests' harness): the listing's time from the moment output.txt is opened to
# the moment it is closed, taken the same way for both; and the program's peak memory after
# runs on files of two sizes.
#   bench/gui_bench.sh BUILD_DIR SMALL_FILE LARGE_FILE [RUNS]
# Prints "gui_ms batch_ms ratio hwm_small_kib hwm_large_kib" on its last line.
set -euo pipefail
build=$(cd "${1:?usage: gui_bench.sh BUILD_DIR SMALL_FILE LARGE_FILE [RUNS]}" && pwd)
small=$(realpath "$2") large=$(realpath "$3") runs=${4:-5}
export LC_ALL=C.UTF-8
T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-guibench.XXXXXX") SHOTS=$build/screenshots NAME=gui-bench
PROGRAM=$build/dxflist
# The open-file dialog is answered as in the GUI tests, which read its location field back
# through this helper (built with them).
SELECTION_HELPER=$build/tests/gui/primary_selection
source "$(dirname "$0")/../tests/gui/harness.sh"
source "$(dirname "$0")/../tests/gui/gtk.sh"

# Every opening and closing of an output.txt under $T, with the time it was seen (µs); each
# closing is also told through a pipe, which the script waits on without polling: a poll every
# few milliseconds through a run would take CPU from the program's runs and not from the batch's.
# $! is inotifywait itself: stopping it ends the reader too.
mkfifo "$T/closed"
exec 7<>"$T/closed"
inotifywait -q -m -r -e open -e close_write --format '%e %w%f' "$T" > >(
    while read -r event file; do
        [[ $file == */output.txt ]] || continue
        echo "$event ${EPOCHREALTIME/./} $file" >>"$T/events"
        [[ $event != CLOSE_WRITE* ]] || echo closed >&7
    done
) &
EXTRA_PIDS+=($!)
listing_closed() { read -r -t 120 -u 7 _ || fail "timed out after 120 s waiting for $1 to be closed"; }
# The time from the first opening of the last listing to its closing, in ms (a run opens it
# again for a moment once it is emptied).
last_listing_ms() {
    awk '$1 == "OPEN" && !open {opened = $2; open = 1} $1 ~ /CLOSE_WRITE/ {closed = $2; open = 0}
         END {printf "%.1f", (closed - opened) / 1000}' "$T/events"
}
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

start_display
mkdir -p "$T/batch"
sleep 0.5  # inotifywait sets its watches after it starts
start_app
gui=() batch=()
# Each run starts with the runs before written out, as in run_bench.sh: otherwise the system's
# flush of the last listing takes the second core from whichever run comes next.
# Each input is read once before, untimed, so that it comes from the page cache (run_bench.sh).
gui_run() {
    cat "$1" >/dev/null
    sync
    open_dialog
    choose "$1" sent
    listing_closed "the program's listing"
    wait_until 30 "the caption to come back" eval '[[ $(caption) == dxflist ]]'
}
for ((i = 0; i < runs; i++)); do
    cat "$small" >/dev/null
    sync
    "$build/dxflist-batch" "$small" "$T/batch" 2>/dev/null
    listing_closed "the batch listing"
    batch+=("$(last_listing_ms)")
    gui_run "$small"
    gui+=("$(last_listing_ms)")
done
cmp -s "$APPDIR/output.txt" "$T/batch/output.txt" || fail "the program's listing differs from the batch's"
hwm_small=$(awk '/^VmHWM/ {print $2}' "/proc/$APP/status")
gui_run "$large"
hwm_large=$(awk '/^VmHWM/ {print $2}' "/proc/$APP/status")
gui_ms=$(printf '%s\n' "${gui[@]}" | median)
batch_ms=$(printf '%s\n' "${batch[@]}" | median)
echo "program runs (ms): ${gui[*]}"
echo "batch runs (ms):   ${batch[*]}"
awk -v g="$gui_ms" -v b="$batch_ms" -v s="$hwm_small" -v l="$hwm_large" \
    'BEGIN {printf "%s %s %.3f %s %s\n", g, b, g / b, s, l}'
