#!/usr/bin/env bash
# The real program driven as a user would, under Xvfb and openbox with xdotool: captions, boxes,
# files and exit status; listings compared with dxflist-batch's. Each scenario is written once;
# the backend (gtk: the Linux program, wine: dxflist.exe) knows the windows.
#   gui_test.sh gtk|wine SCENARIO PROGRAM BATCH GEN_BENCH CORPUS DATA SHOTS [WINDOW_TEXT VERSION]
set -euo pipefail
(($# >= 8)) || { echo "usage: $0 gtk|wine SCENARIO PROGRAM BATCH GEN_BENCH CORPUS DATA SHOTS [WINDOW_TEXT VERSION]" >&2; exit 64; }
BACKEND=$1 SCENARIO=$2 NAME=$2-$1 PROGRAM=$3 BATCH=$4 GEN=$5 CORPUS=$6 WINDOW_TEXT=${9:-} VERSION=${10:-}
DATA=$(realpath -m "$7") SHOTS=$(realpath -m "$8")
export LC_ALL=C.UTF-8 # window names are read and typed as UTF-8
unset LANG LANGUAGE
T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-gui.XXXXXX")
source "$(dirname "$0")/harness.sh"
source "$(dirname "$0")/$BACKEND.sh"
rm -f "$SHOTS/failed-$NAME.png"
PROGRESS_RE='^dxflist ([0-9]+):　-- 変換中　--$'
LF_FILE=$CORPUS/derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf CRLF_FILE=$CORPUS/ezdxf_R12_ansi932_crlf.dxf
QUICK_MS=$([[ $BACKEND == gtk ]] && echo 1000 || echo 3000) # the end after Exit or Close in a run

reference() { rm -rf "$T/ref" && mkdir -p "$T/ref" && { "$BATCH" "$1" "$T/ref" 2>/dev/null || true; }; }
listing_is() { cmp -s "$APPDIR/output.txt" "$1"; }
caption_is() { [[ $(caption) == "$1" ]]; }
# expect_box EXACT|PART TEXT: a box titled dxflist, saying TEXT (where the backend reads texts).
expect_box() {
    wait_until 30 "a box titled dxflist" eval 'box_shown && [[ $(box_title) == dxflist ]]'
    [[ $BOX_TEXT == yes ]] || return 0
    local text
    text=$(box_text)
    if [[ $1 == EXACT ]]; then [[ $text == "$2" ]]; else [[ $text == *"$2"* ]]; fi || fail "the box says '$text', expected ($1) '$2'"
}
ask_exit() {
    menu f x
    expect_box EXACT '終了しますか？'
}
# The large drawing of the benchmark and its listing, for runs long enough to act during.
big_file() {
    BIG=$("$(dirname "$0")/../big_file.sh" "$GEN" "$DATA" 800 crlf "$BATCH") || fail "no large drawing"
    BIG_LISTING=${BIG%.dxf}.listing
}
start_big_run() {
    open_dialog
    choose "$BIG"
    wait_until 60 "the progress caption" eval '[[ $(caption) =~ $PROGRESS_RE ]]'
}
# stopped_by COMMAND...: in a run, COMMAND ends the program at once, status 0, whole lines kept
# as the full run writes them.
stopped_by() {
    local t0 size full
    t0=$(now_ms)
    "$@"
    wait_exit_quietly 10
    note "ended $(($(now_ms) - t0)) ms after the request"
    (($(now_ms) - t0 < QUICK_MS && STATUS == 0)) || fail "ended after $(($(now_ms) - t0)) ms, status $STATUS"
    size=$(stat -c %s "$APPDIR/output.txt") full=$(stat -c %s "$BIG_LISTING")
    ((size > 0 && size < full)) && cmp -s -n "$size" "$APPDIR/output.txt" "$BIG_LISTING" &&
        [[ $(tail -c 2 "$APPDIR/output.txt" | od -An -tx1 | tr -d ' \n') == 0d0a ]] ||
        fail "the stopped run's $size bytes are not whole lines of the full listing"
}

scenario_bigfile() { big_file && note "$BIG: $(stat -c %s "$BIG") bytes"; }

# The caption at start-up is the executable's name; nothing is written.
scenario_startup() {
    start_app
    caption_is dxflist || fail "caption at start-up is '$(caption)'"
    assert_app_files "" "at start-up"
    stop "$APP"
    EXE=dxf一覧 start_app
    caption_is dxf一覧 || fail "renamed copy: caption '$(caption)'"
}

# Open through the real dialog: Cancel changes nothing; an LF file is copied and the user told so
# before the listing begins; a CR LF file is read as it is. Under Wine with Japanese names.
scenario_open() {
    local src=$T/src/lf.dxf
    [[ $BACKEND == gtk ]] || APPDIR=$T/アプリ src=$T/図面/平面図.dxf
    mkdir -p "$(dirname "$src")" && cp "$LF_FILE" "$src"
    start_app
    open_dialog
    answer Escape
    assert_app_files "" "after Cancel"
    open_dialog
    choose "$src"
    expect_box EXACT '\r\n\r\n指定されたファイルはUNIXの改行コード(0A)が使用されていたので、一時ファイルを作成しました。\r\n\r\n一時ファイル名 : '"$(native "$APPDIR/unix.dxf")"
    assert_app_files "unix.dxf " "while the box is up"
    answer Return
    reference "$src"
    wait_until 30 "the listing of the LF file" listing_is "$T/ref/output.txt"
    cmp -s "$APPDIR/unix.dxf" "$T/ref/unix.dxf" || fail "unix.dxf differs from dxflist-batch's"
    open_dialog
    choose "$CRLF_FILE"
    reference "$CRLF_FILE"
    wait_until 30 "the listing of the CR LF file" listing_is "$T/ref/output.txt"
    ! box_shown && caption_is dxflist || fail "a box, or the caption '$(caption)', after the CR LF file"
}

# A long run counts its lines in the caption; Exit answered No lets it go on to the end.
scenario_progress() {
    local seen first
    start_app
    start_big_run
    seen=$(caption)
    [[ $seen =~ $PROGRESS_RE ]] && first=${BASH_REMATCH[1]}
    wait_until 30 "the progress to advance" eval '! caption_is "$seen"'
    [[ $(caption) =~ $PROGRESS_RE ]] && ((BASH_REMATCH[1] > first)) || fail "progress went from '$seen' to '$(caption)'"
    ask_exit
    answer "$KEY_NO"
    wait_until 300 "the run to complete" caption_is dxflist
    listing_is "$BIG_LISTING" || fail "the listing differs from dxflist-batch's"
    assert_running "after the run"
}

# Exit: No keeps the program, Yes ends it with status 0, idle and in the middle of a run.
scenario_exit() {
    start_app
    ask_exit
    answer "$KEY_NO"
    assert_running "after Exit, No"
    ask_exit
    answer "$KEY_YES"
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "Exit, Yes: exit status $STATUS"
    start_app
    start_big_run
    ask_exit
    stopped_by answer "$KEY_YES"
}

# Closing the window ends the program, idle and in the middle of a run.
scenario_close() {
    start_app
    close_window
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "close: exit status $STATUS"
    start_app
    start_big_run
    stopped_by close_window
}

# The Version box's text; during a run the box holds the run: the caption, which changes every
# second while the run goes on, and the listing stay for two seconds.
scenario_version() {
    local held size end
    start_app
    menu h v
    expect_box EXACT "dxflist Ver $VERSION\\r\\n\\r\\ndxflist contributors\\r\\n\\r\\nアプリケーションフォルダ \\r\\n\\r\\n$(native "$APPDIR")\\r\\n\\r\\n製品名 : dxflist\\r\\n\\r\\n"
    answer Return
    assert_app_files "" "after the Version box"
    start_big_run
    menu h v
    expect_box PART "dxflist Ver"
    held=$(caption) size=$(stat -c %s "$APPDIR/output.txt") end=$(($(now_ms) + 2200))
    while (($(now_ms) < end)); do
        caption_is "$held" && (($(stat -c %s "$APPDIR/output.txt") == size)) || fail "the run went on with the box open"
        sleep 0.1
    done
    answer Return
    wait_until 30 "the run to go on" eval '! caption_is "$held"'
}

# Commands typed ahead of the end (Exit, Return for Yes, then another command at once) find the
# window going away: none runs, no box opens, the program ends with status 0.
scenario_typeahead() {
    local second
    for second in "alt+f x" "alt+f o" "alt+h v"; do
        start_app
        xdotool windowactivate --sync "$MAIN" && sleep 0.5
        # shellcheck disable=SC2086 # the second command's keys
        xdotool key --delay 0 alt+f x Return $second
        wait_exit_quietly 10
        ((STATUS == 0)) || fail "'$second' typed after Exit, Yes: exit status $STATUS"
    done
}

# Closing the window while a large file with Unix line ends is being copied ends the program at
# once; the unfinished copy is removed and nothing else is written.
scenario_close_copy() {
    local big
    big=$("$(dirname "$0")/../big_file.sh" "$GEN" "$DATA" 800 lf) || fail "no large LF drawing"
    start_app
    open_dialog
    choose "$big"
    wait_until 30 "the copy to begin" eval '[[ $(app_files) == *unix.dxf.tmp* ]]'
    close_window
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "closed during the copy: exit status $STATUS"
    assert_app_files "" "after closing during the copy"
}

# A failure (an empty file): one box that names the file, then the end with a non-zero status.
scenario_failure() {
    : >"$T/empty.dxf"
    start_app
    open_dialog
    choose "$T/empty.dxf"
    expect_box PART "$(native "$T/empty.dxf")"
    answer Return
    wait_exit_quietly 10
    ((STATUS != 0)) || fail "status 0 after a failure"
    assert_app_files "" "after the failure"
}

# Under ja_JP.UTF-8 the buttons are Japanese, so the Exit question cannot look as it does in
# English; from a folder with a Japanese name the listing is the batch's.
scenario_japanese() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || fail "no ja_JP.UTF-8 locale (scripts/deps.sh --test makes it)"
    local english
    start_app
    ask_exit
    english=$(box_pixels)
    answer "$KEY_YES"
    wait_exit_quietly 10
    APPDIR="$T/アプリ フォルダ"
    start_app LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    ask_exit
    [[ $(box_pixels) != "$english" ]] || fail "the Exit question looks as it does in English"
    answer "$KEY_NO"
    open_dialog
    choose "$CRLF_FILE"
    reference "$CRLF_FILE"
    wait_until 30 "the listing" listing_is "$T/ref/output.txt"
}

declare -F "scenario_$SCENARIO" >/dev/null || { echo "unknown scenario: $SCENARIO" >&2; exit 64; }
if [[ $SCENARIO =~ ^(progress|exit|close|version)$ ]]; then big_file; fi
[[ $SCENARIO == bigfile ]] || start_display
"scenario_$SCENARIO"
note "passed"
