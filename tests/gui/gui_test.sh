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

reference() { rm -rf "$T/ref" && mkdir -p "$T/ref" && { "$BATCH" "$1" "$T/ref" 2>/dev/null || true; }; }
listing_is() { cmp -s "$APPDIR/output.txt" "$1"; }
caption_is() { [[ $(caption) == "$1" ]]; }
# copying: the copy of an LF drawing is being written. It has no name on Linux until it is
# complete: there the program's open files show it.
copying() { [[ $(app_files) == *unix.dxf.tmp* ]] || ls -l "/proc/$APP/fd" 2>/dev/null | grep -qF "$APPDIR/#"; }
# screenshot NAME: the screen cut down to the windows on it (the desktop is plain), into SHOTS.
screenshot() {
    mkdir -p "$SHOTS" && import -window root "$T/screen.png" && convert "$T/screen.png" -trim +repage "$SHOTS/$1.png"
    note "screenshot $SHOTS/$1.png"
}
# expect_box EXACT|PART TEXT: a box titled dxflist, saying TEXT (where the backend reads texts).
expect_box() {
    wait_until 30 "a box titled dxflist" eval 'box_shown && [[ $(box_title) == dxflist ]]'
    [[ $BOX_TEXT == yes ]] || return 0
    local text
    text=$(box_text)
    if [[ $1 == EXACT ]]; then [[ $text == "$2" ]]; else [[ $text == *"$2"* ]]; fi || fail "the box says '$text', expected ($1) '$2'"
}
# pixel WINDOW X Y: the colour of one pixel of an X window, #RRGGBB.
pixel() { import -window "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | head -n 1; }
ask_exit() {
    menu f x
    expect_box EXACT '終了しますか？'
}
# The large drawing of the benchmark and its listing, for runs long enough to act during.
big_file() {
    BIG=$("$(dirname "$0")/../big_file.sh" "$GEN" "$DATA" 800 crlf "$BATCH") || fail "no large drawing"
    BIG_LISTING=${BIG%.dxf}.listing
}
# start_big_run [drop]: Open the large drawing (or drop it on the window); the program runs slowed
# down (till full_speed) from then.
start_big_run() {
    if [[ ${1:-} == drop ]]; then
        drop "$BIG"
    else
        open_dialog
        choose "$BIG"
    fi
    slow_app
    wait_until 60 "the progress caption" eval '[[ $(caption) =~ $PROGRESS_RE ]]'
}
# stopped_by COMMAND...: in a run, COMMAND ends the program before the run is through (the time
# from its last key is noted, not judged: a busy machine once took 2 s where 1 s is usual), status
# 0, whole lines kept as the full run writes them.
stopped_by() {
    local took size full
    full_speed
    "$@"
    ends 0
    took=$(($(now_ms) - SENT_MS)) size=$(stat -c %s "$APPDIR/output.txt") full=$(stat -c %s "$BIG_LISTING")
    note "ended $took ms after the request, $size of $full bytes written"
    ((size > 0 && size < full)) && cmp -s -n "$size" "$APPDIR/output.txt" "$BIG_LISTING" &&
        [[ $(tail -c 2 "$APPDIR/output.txt" | od -An -tx1 | tr -d ' \n') == 0d0a ]] ||
        fail "the stopped run's $size bytes are not whole lines of the full listing"
}

# What the program last told its taskbar button, where the backend reads it back (TASKBAR=yes):
# "state 0" nothing shown, "state 1" busy, "value N 1000" a share of the file read.
taskbar_says() { [[ $TASKBAR != yes || $(tail -n 1 "$T/taskbar.log" 2>/dev/null) == "$1" ]]; }
taskbar_log() { tr '\n' ' ' <"$T/taskbar.log" 2>/dev/null || true; }
# taskbar_rose SECONDS: in a run that took that long the taskbar showed a share that never fell,
# once a second at most (with the caption), and nothing once the run had ended.
taskbar_rose() {
    [[ $TASKBAR == yes ]] || return 0
    awk -v most="$(($1 + 1))" '$1 == "value" { bad = bad || $3 != 1000 || $2 < last || $2 > 1000; last = $2; n++ }
        END { exit !(n >= 2 && n <= most && !bad && $0 == "state 0") }' "$T/taskbar.log" ||
        fail "in $1 s the taskbar was told: $(taskbar_log)"
}

scenario_bigfile() { big_file && note "$BIG: $(stat -c %s "$BIG") bytes"; }

# At start-up the caption is the executable's name and nothing is written; the window has the
# program's icon; its empty client area has the background of a box (not Windows' dark grey of an
# empty workspace); the Version box's text; Exit: No keeps the program, Yes ends it with status 0.
# Under ja_JP.UTF-8 the buttons are Japanese (Linux: the Exit question looks other than in English),
# and so is the open-file dialog's title. A renamed copy is captioned with its own name; closing
# the window ends it.
scenario_startup() {
    local english=""
    start_app
    caption_is dxflist || fail "caption at start-up is '$(caption)'"
    screenshot "window-$BACKEND" # the program's icon in the title bar
    # Every size of the icon reaches the window manager (Wine passes on two of them).
    local icons
    icons=$(xprop -len 1000000 -id "$MAIN" _NET_WM_ICON | grep -o '([0-9]* x [0-9]*)' | tr '\n' ' ')
    [[ $BACKEND == wine || $icons == "(16 x 16) (24 x 24) (32 x 32) (48 x 48) (256 x 256) " ]] ||
        fail "the window's icons: $icons"
    local WIDTH HEIGHT client box
    eval "$(xdotool getwindowgeometry --shell "$MAIN" | grep -E '^(WIDTH|HEIGHT)=')"
    client=$(pixel "$MAIN" $((WIDTH / 2)) $((HEIGHT / 2)))
    menu h v
    box=$(pixel "$(box_window)" 2 2)
    [[ $client == "$box" ]] || fail "the window's client area is $client, a box's background $box"
    expect_box EXACT "dxflist Ver $VERSION\\r\\n\\r\\ndxflist contributors\\r\\n\\r\\nアプリケーションフォルダ \\r\\n\\r\\n$(native "$APPDIR")\\r\\n\\r\\n製品名 : dxflist\\r\\n\\r\\n"
    answer Return
    ask_exit
    [[ $BACKEND == wine ]] || english=$(box_pixels)
    answer "$KEY_NO"
    assert_running "after Exit, No"
    assert_app_files "" "before the end"
    ask_exit
    answer "$KEY_YES"
    ends 0
    locale -a | grep -qi '^ja_JP\.utf-\?8$' || fail "no ja_JP.UTF-8 locale (scripts/deps.sh --test makes it)"
    start_app LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    if [[ $BACKEND == gtk ]]; then
        ask_exit
        [[ $(box_pixels) != "$english" ]] || fail "the Exit question looks as it does in English"
        answer "$KEY_NO"
    fi
    open_dialog
    box_shown && [[ $(box_title) == 開く ]] || fail "the open-file dialog is titled '$(box_title)'"
    stop "$APP"
    EXE=dxf一覧 start_app
    caption_is dxf一覧 || fail "renamed copy: caption '$(caption)'"
    close_window
    ends 0
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

# A long run counts its lines in the caption, and shows the share of the file read on its taskbar
# button; the Version box holds it until closed (the caption, which changes every second while
# the run goes on, and the listing stay for two seconds); Exit answered No lets it go on to the
# end, which clears the taskbar button. In the next run, Yes ends the program, clearing it too.
scenario_progress() {
    local seen first now end size started
    watch_taskbar
    start_app
    started=$(now_ms)
    start_big_run
    seen=$(caption)
    [[ $seen =~ $PROGRESS_RE ]] && first=${BASH_REMATCH[1]}
    wait_until 30 "the progress to advance" eval 'now=$(caption) && [[ $now != "$seen" ]]'
    [[ $now =~ $PROGRESS_RE ]] && ((BASH_REMATCH[1] > first)) || fail "progress went from '$seen' to '$now'"
    menu h v
    expect_box PART "dxflist Ver"
    seen=$(caption) size=$(stat -c %s "$APPDIR/output.txt") end=$(($(now_ms) + 2200))
    while (($(now_ms) < end)); do
        caption_is "$seen" && (($(stat -c %s "$APPDIR/output.txt") == size)) || fail "the run went on with the box open"
        sleep 0.1
    done
    answer Return
    ask_exit
    answer "$KEY_NO"
    full_speed
    wait_until 300 "the run to complete" caption_is dxflist
    listing_is "$BIG_LISTING" || fail "the listing differs from dxflist-batch's"
    taskbar_rose $((($(now_ms) - started) / 1000))
    start_big_run
    ask_exit
    stopped_by answer "$KEY_YES"
    taskbar_says "state 0" || fail "after Exit the taskbar was told: $(taskbar_log)"
}

# The copy of a large LF file shows on the taskbar button as busy. Closing the window while it is
# being made ends the program at once; the unfinished copy goes and nothing else is written, and
# the taskbar button is cleared. The same for Exit answered Yes during the copy of a dropped file.
scenario_close_copy() {
    local big
    big=$("$(dirname "$0")/../big_file.sh" "$GEN" "$DATA" 800 lf) || fail "no large LF drawing"
    watch_taskbar
    start_app
    open_dialog
    choose "$big"
    slow_app
    wait_until 30 "the copy to begin" copying
    taskbar_says "state 1" || fail "during the copy the taskbar was told: $(taskbar_log)"
    close_window
    ends 0
    taskbar_says "state 0" || fail "after closing the taskbar was told: $(taskbar_log)"
    assert_app_files "" "after closing during the copy"
    start_app
    drop "$big"
    slow_app
    wait_until 30 "the copy of the dropped file to begin" copying
    ask_exit
    answer "$KEY_YES"
    ends 0
    assert_app_files "" "after Exit during the copy of a dropped file"
}

# Commands typed ahead of the end (Exit, Return for Yes, then another command at once) find the
# window going away: none runs, no box opens but the Exit question (which the Return typed ahead
# may find already up), the program ends with status 0.
scenario_typeahead() {
    local second
    for second in "alt+f x" "alt+f o" "alt+h v"; do
        start_app
        focus "$MAIN"
        xdotool key --delay 0 alt+f x Return $second
        ends 0 1
    done
}

# Linux names that are not UTF-8 (a Shift-JIS folder name copied from a Windows disk) show with
# the bad bytes replaced, never as an empty box: the Version box, the line-end notice and the
# failure box (a folder where the listing goes) are as tall from such a folder as from a plain one.
scenario_undecodable() {
    local heights=() plain
    for APPDIR in "$T/plain" "$T/"$'\x90\x7d\x96\xca'; do
        start_app
        menu h v
        expect_box PART "dxflist Ver"
        heights+=("$(xdotool getwindowgeometry "$DLG" | sed -n 's/.*Geometry: [0-9]*x//p')")
        answer Return
        open_dialog
        choose "$LF_FILE"
        expect_box PART "UNIX"
        heights+=("$(xdotool getwindowgeometry "$DLG" | sed -n 's/.*Geometry: [0-9]*x//p')")
        answer Return
        reference "$LF_FILE"
        wait_until 30 "the listing" listing_is "$T/ref/output.txt"
        rm "$APPDIR/output.txt" && mkdir "$APPDIR/output.txt"
        open_dialog
        choose "$CRLF_FILE"
        expect_box PART "output.txt"
        heights+=("$(xdotool getwindowgeometry "$DLG" | sed -n 's/.*Geometry: [0-9]*x//p')")
        answer Return
        ends 1
    done
    plain=${heights[*]:0:3}
    note "box heights: plain folder $plain, undecodable ${heights[*]:3}"
    [[ ${heights[*]:3} == "$plain" ]] || fail "boxes from the undecodable folder are ${heights[*]:3} high, not $plain"
}

# Files dropped on the window: one file is listed as Open lists it, notice first for an LF file;
# several are refused with one box and none listed; a dropped folder fails as Open does, status 1.
# A run a drop started ends as one Open started: closing the window or Exit answered Yes ends the
# program at once with status 0, the listing whole lines of the full one; a drop during the run is
# ignored, and its source told so. Files named on the command line (dropped on the program's icon)
# are opened the same way once the window is up: a relative name from the folder the program was
# started in, one that begins with "-", in Japanese (on Linux in bytes that are not UTF-8); an LF
# file after the notice; several: the box, none listed; a missing one: the failure box, status 1.
scenario_drop() {
    local named=-平面図.dxf
    [[ $BACKEND == wine ]] || named=-$'\x95\xbd\x96\xca\x90\x7d'.dxf # Shift-JIS
    mkdir -p "$T/src" && cp "$CRLF_FILE" "$T/src/$named"
    START_DIR=$T/src start_app -- "$named"
    reference "$T/src/$named"
    wait_until 30 "the listing of the file named at start-up" listing_is "$T/ref/output.txt"
    wait_until 10 "the caption after the run" caption_is dxflist
    drop "$LF_FILE"
    expect_box PART '指定されたファイルはUNIXの改行コード(0A)が使用されていたので'
    answer Return
    reference "$LF_FILE"
    wait_until 30 "the listing of the dropped file" listing_is "$T/ref/output.txt"
    drop "$CRLF_FILE" "$CORPUS/ezdxf_R2004_ansi1252_crlf.dxf"
    expect_box EXACT '一度に開けるファイルは一つだけです。'
    screenshot "drop-several-$BACKEND"
    answer Return
    listing_is "$T/ref/output.txt" && caption_is dxflist || fail "a file of several dropped was listed"
    mkdir "$T/folder.dxf"
    drop "$T/folder.dxf"
    expect_box PART "$(native "$T/folder.dxf")"
    answer Return
    ends 1

    start_app -- "$(native "$LF_FILE")"
    expect_box PART '指定されたファイルはUNIXの改行コード(0A)が使用されていたので'
    answer Return
    wait_until 30 "the listing of the LF file named at start-up" listing_is "$T/ref/output.txt"
    start_big_run drop
    drop_ignored "$CRLF_FILE"
    [[ $(caption) =~ $PROGRESS_RE ]] || fail "the run ended before the drop"
    stopped_by close_window

    start_app -- "$(native "$LF_FILE")" "$(native "$CRLF_FILE")"
    expect_box EXACT '一度に開けるファイルは一つだけです。'
    answer Return
    assert_app_files "" "after two files named at start-up"
    start_big_run drop
    ask_exit
    stopped_by answer "$KEY_YES"

    start_app -- "$(native "$T/missing.dxf")"
    expect_box PART "$(native "$T/missing.dxf")"
    answer Return
    ends 1
    SLOW=yes start_app -- "$(native "$BIG")"
    wait_until 60 "the progress caption" eval '[[ $(caption) =~ $PROGRESS_RE ]]'
    stopped_by close_window
}

# Under Wine at 192 DPI (a 200 % screen) the window keeps its size in device-independent pixels:
# a client area of twice 312 x 206 pixels, its menu drawn at that scale (see the screenshot).
scenario_hidpi() {
    [[ $BACKEND == wine ]] || fail "the DPI is set through Wine's registry"
    local key='HKCU\Control Panel\Desktop' size
    wine reg add "$key" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
    start_app
    # The program has read it; the other tests share this Wine prefix.
    wine reg add "$key" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
    size=$(windows | awk -F'\t' '$1 == "window" && $4 == "dxflist" && $3 != "#32770" { print $5 }')
    [[ $size == 624x412 ]] || fail "client area $size at 192 DPI, expected 624x412"
    screenshot "hidpi-$BACKEND"
}

declare -F "scenario_$SCENARIO" >/dev/null || { echo "unknown scenario: $SCENARIO" >&2; exit 64; }
if [[ $SCENARIO =~ ^(progress|drop)$ ]]; then big_file; fi
[[ $SCENARIO == bigfile ]] || start_display
"scenario_$SCENARIO"
note "passed"
