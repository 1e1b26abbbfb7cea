#!/usr/bin/env bash
# Drives the real dxflist under Xvfb and openbox with xdotool, as a user would, and checks
# what the user sees: captions, windows, message boxes, the files written and the exit status.
#
#   gui_test.sh SCENARIO DXFLIST DXFLIST_BATCH GEN_BENCH CORPUS_DIR CACHE_DIR SHOT_DIR
#
# Each scenario gets its own display, window manager and application folder (a copy of the
# program in a fresh temporary folder, since output.txt and unix.dxf land next to it).
# Listings are compared with what dxflist-batch writes for the same file.
set -euo pipefail

(($# == 7)) || { echo "usage: $0 SCENARIO DXFLIST DXFLIST_BATCH GEN_BENCH CORPUS_DIR CACHE_DIR SHOT_DIR" >&2; exit 64; }
SCENARIO=$1 DXFLIST=$2 BATCH=$3 GEN_BENCH=$4 CORPUS=$5 CACHE=$6 SHOTS=$7

# The large file, for runs long enough to watch and to act during (several seconds even on a
# fast machine), and its listing.
BIG_MB=800
BIG=$CACHE/big${BIG_MB}-crlf.dxf
BIG_LISTING=$CACHE/big${BIG_MB}-crlf.listing
LF_FILE=$CORPUS/gdal_3d.dxf
CRLF_FILE=$CORPUS/ezdxf_R12_ansi932_crlf.dxf
PROGRESS_RE='^dxflist ([0-9]+):　-- 変換中　--$'

# Our tools read and print window names as UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8
unset LANG LANGUAGE

T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-gui.XXXXXX")
APPDIR=$T/app
XVFB="" WM="" APP="" MAIN="" STATUS="" MOUNTED="" RUN_AS=()
rm -f "$SHOTS/failed-$SCENARIO.png"

cleanup() {
    local status=$?
    set +e
    local pid
    for pid in $APP $WM $XVFB; do stop "$pid"; done
    [[ -n $MOUNTED ]] && umount "$MOUNTED"
    rm -rf "$T"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "FAIL [$SCENARIO]: $*" >&2
    # What the screen showed, for whoever reads the failure.
    if [[ -n ${DISPLAY:-} && -n $XVFB ]]; then
        mkdir -p "$SHOTS"
        import -window root "$SHOTS/failed-$SCENARIO.png" 2>/dev/null &&
            echo "screen at the failure: $SHOTS/failed-$SCENARIO.png" >&2
    fi
    local log
    for log in app openbox xvfb; do
        if [[ -s $T/$log.log ]]; then
            echo "--- $log output ---" >&2
            tail -n 20 "$T/$log.log" >&2
        fi
    done
    exit 1
}
note() { echo "[$SCENARIO] $*"; }

# shellcheck source=driver.sh
source "$(dirname "${BASH_SOURCE[0]}")/driver.sh"

# --- screenshots -------------------------------------------------------------------------------

root_id() { xwininfo -root | sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p'; }
# The window manager's frame around a window, so that shots show the title bar too.
frame_of() {
    local w=$1 parent root
    root=$(($(root_id)))
    while parent=$(xwininfo -children -id "$w" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p') &&
        [[ -n $parent ]] && (($((parent)) != root)); do
        w=$parent
    done
    echo "$w"
}
# geometry WINDOW: "X Y WIDTH HEIGHT" on the screen.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
shot() { # NAME WINDOW: the window with its frame
    mkdir -p "$SHOTS"
    import -window "$(frame_of "$2")" "$SHOTS/$1.png"
    note "screenshot $SHOTS/$1.png"
}
pixels() { import -window "$1" rgb:- | md5sum; } # WINDOW: a digest of what it shows
shot_area() { # NAME X Y WIDTH HEIGHT: part of the screen
    mkdir -p "$SHOTS"
    import -window root -crop "$4x$5+$2+$3" +repage "$SHOTS/$1.png"
    note "screenshot $SHOTS/$1.png"
}

# --- files -------------------------------------------------------------------------------------

# reference SRC DIR: what dxflist-batch writes for SRC with DIR as application folder; its exit
# status goes to REF_STATUS.
reference() {
    rm -rf "$2"
    mkdir -p "$2"
    REF_STATUS=0
    "$BATCH" "$1" "$2" 2>"$T/batch.log" || REF_STATUS=$?
}
# The application folder's files besides the program, and a reference folder's files.
app_files() { ls -A "$APPDIR" | grep -vxF "$EXE" || true; }
dir_files() { ls -A "$1"; }
assert_app_files() { # EXPECTED_LIST WHEN
    [[ $(app_files) == "$1" ]] || fail "$2: the application folder holds [$(app_files | tr '\n' ' ')], expected [$(tr '\n' ' ' <<<"$1")]"
}
# listing_done REFERENCE: the run is over and its listing equals REFERENCE. Polled for small
# files, whose run may end before the caption ever shows the progress.
listing_done() {
    caption_is dxflist && no_dialog && cmp -s "$APPDIR/output.txt" "$1"
}
# finish_big_run: the caption, which shows the progress now, comes back to the name; then the
# listing must equal the full one.
finish_big_run() {
    wait_until 120 "the run to complete" caption_is dxflist
    no_dialog || fail "a box is up at the end of the run"
    cmp -s "$APPDIR/output.txt" "$BIG_LISTING" || fail "the listing differs from dxflist-batch's"
}
# A run stopped by the user leaves whole lines only, each as the full run writes it.
assert_line_prefix() { # LISTING REFERENCE
    local size full
    size=$(stat -c %s "$1")
    full=$(stat -c %s "$2")
    ((size > 0)) || fail "the stopped run left an empty listing"
    ((size < full)) || fail "the run was not stopped: the listing is complete"
    [[ $(tail -c 2 "$1" | od -An -tx1 | tr -d ' \n') == 0d0a ]] ||
        fail "the stopped run's listing does not end with CR LF"
    cmp -s -n "$size" "$1" "$2" || fail "the stopped run's listing is not a prefix of the full one"
    note "stopped listing: $size of $full bytes, whole lines"
}

# --- pieces of scenarios -----------------------------------------------------------------------

# start_big_run: chooses the large file and waits until the caption shows the progress.
start_big_run() {
    open_file_dialog
    choose_file "$BIG"
    wait_until 30 "the progress caption" caption_progress
}
# ask_exit: File > Exit; waits for the question, which goes to DLG.
ask_exit() {
    menu f x
    wait_until 10 "the Exit question" dialog_shown
    [[ $(xdotool getwindowname "$DLG") == dxflist ]] || fail "the Exit question's title is not dxflist"
}
# wait_exit_quietly SECONDS: the program ends without showing any (further) box.
wait_exit_quietly() {
    local end=$(($(now_ms) + $1 * 1000))
    until app_gone; do
        no_dialog || fail "a box appeared while the program was ending"
        (($(now_ms) < end)) || fail "the program did not end within $1 s"
        sleep 0.02
    done
    wait_exit 1
}

# --- scenarios ---------------------------------------------------------------------------------

# Large file and its listing, made once and kept in the cache while they are newer than the
# tools that make them.
scenario_bigfile() {
    mkdir -p "$CACHE"
    if [[ ! -s $BIG || $GEN_BENCH -nt $BIG ]]; then
        "$GEN_BENCH" "$BIG.part" "$BIG_MB" crlf
        mv "$BIG.part" "$BIG"
    fi
    if [[ ! -s $BIG_LISTING || $BATCH -nt $BIG_LISTING || $BIG -nt $BIG_LISTING ]]; then
        reference "$BIG" "$T/ref"
        ((REF_STATUS == 0)) || fail "dxflist-batch failed on $BIG: $(cat "$T/batch.log")"
        mv "$T/ref/output.txt" "$BIG_LISTING"
    fi
    note "$BIG: $(stat -c %s "$BIG") bytes, listing $(stat -c %s "$BIG_LISTING") bytes"
}

scenario_startup() {
    start_display
    start_app
    [[ $(caption) == dxflist ]] || fail "caption at start-up is '$(caption)', expected dxflist"
    assert_app_files "" "at start-up"

    # The client area is the window less its menu bar, which ends where the File menu opens.
    local y w h menu_y menu_h
    read -r _ y w h < <(geometry "$MAIN")
    shot startup-window "$MAIN"
    keys "$MAIN" alt+f
    wait_until 10 "the File menu" menu_shown
    read -r _ menu_y _ menu_h < <(geometry "$(windows POPUP_MENU | head -n 1)")
    local bar=$((menu_y - y))
    note "window ${w}x${h}, menu bar $bar px, client area ${w}x$((h - bar))"
    ((bar > 0 && bar < h)) || fail "the File menu did not open below the menu bar"
    ((w == 312 && h - bar == 206)) || fail "client area ${w}x$((h - bar)), expected 312x206"
    local fx fy fw fh
    read -r fx fy fw fh < <(geometry "$(frame_of "$MAIN")")
    local bottom=$((menu_y + menu_h > fy + fh ? menu_y + menu_h : fy + fh))
    shot_area startup-file-menu "$fx" "$fy" "$fw" "$((bottom - fy))"
    xdotool key Escape
    wait_until 10 "the File menu to close" no_menu
    assert_running "after the File menu"
    assert_app_files "" "after the File menu"

    # The caption follows the executable's name.
    kill "$APP"
    wait "$APP" || true
    EXE=dxf一覧 start_app
    [[ $(caption) == dxf一覧 ]] || fail "renamed copy: caption '$(caption)', expected dxf一覧"
    [[ $(ls -A "$APPDIR") == dxf一覧 ]] || fail "renamed copy wrote files at start-up"
}

scenario_open_lf() {
    reference "$LF_FILE" "$T/ref"
    ((REF_STATUS == 0)) || fail "dxflist-batch failed on $LF_FILE"
    start_display
    start_app
    open_file_dialog
    choose_file "$LF_FILE"
    wait_until 20 "the box about unix.dxf" dialog_shown
    [[ $(xdotool getwindowname "$DLG") == dxflist ]] || fail "the box's title is not dxflist"
    # The box comes before the listing: the copy is made, the listing not yet begun.
    [[ -f $APPDIR/unix.dxf && ! -e $APPDIR/output.txt ]] ||
        fail "while the box is up the folder holds [$(app_files | tr '\n' ' ')], expected unix.dxf only"
    shot unix-copy-box "$DLG"
    answer Return
    wait_until 30 "the listing to equal dxflist-batch's" listing_done "$T/ref/output.txt"
    cmp "$APPDIR/unix.dxf" "$T/ref/unix.dxf" || fail "unix.dxf differs from dxflist-batch's"
    assert_app_files "$(dir_files "$T/ref")" "after the run"
    assert_running "after the run"
}

scenario_open_crlf() {
    reference "$CRLF_FILE" "$T/ref"
    ((REF_STATUS == 0)) || fail "dxflist-batch failed on $CRLF_FILE"
    start_display
    start_app
    # A cancelled dialog leaves everything as it was.
    open_file_dialog
    answer Escape
    assert_running "after Cancel"
    [[ $(caption) == dxflist ]] || fail "caption after Cancel is '$(caption)'"
    assert_app_files "" "after Cancel"

    open_file_dialog
    choose_file "$CRLF_FILE"
    wait_until 30 "the listing to equal dxflist-batch's" listing_done "$T/ref/output.txt"
    assert_app_files "$(dir_files "$T/ref")" "after the run"
    assert_running "after the run"
}

scenario_progress() {
    start_display
    start_app
    open_file_dialog
    local t0
    t0=$(now_ms)
    choose_file "$BIG"
    wait_until 30 "the progress caption" caption_progress
    local seen first second
    seen=$(caption)
    first=$(progress_of "$seen") || fail "the run ended before the progress could be read"
    wait_until 30 "the progress to advance" caption_differs "$seen"
    seen=$(caption)
    second=$(progress_of "$seen") || fail "the run ended before the progress advanced"
    ((second > first)) || fail "progress went from $first to $second"
    note "progress $first, then $second"
    finish_big_run
    note "run took about $(($(now_ms) - t0)) ms from choosing the file"
    assert_running "after the run"
}

scenario_exit() {
    # Idle: No keeps the program, Yes ends it.
    start_display
    start_app
    ask_exit
    shot exit-question "$DLG"
    answer alt+n
    assert_running "after Exit, No"
    [[ $(caption) == dxflist ]] || fail "caption after Exit, No is '$(caption)'"
    ask_exit
    answer alt+y
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "Exit, Yes: exit status $STATUS"
    assert_app_files "" "after Exit"

    # During a run: No lets the run go on to the end.
    start_app
    start_big_run
    ask_exit
    caption_progress || fail "the run ended before the Exit question came up"
    answer alt+n
    finish_big_run
    assert_running "after the run"

    # During a run: Yes ends the program at once, leaving whole lines.
    start_big_run
    ask_exit
    caption_progress || fail "the run ended before the Exit question came up"
    local t0
    t0=$(now_ms)
    answer alt+y
    wait_exit_quietly 10
    note "ended $(($(now_ms) - t0)) ms after Yes"
    (($(now_ms) - t0 < 1000)) || fail "the program took $(($(now_ms) - t0)) ms to end"
    ((STATUS == 0)) || fail "Exit, Yes during a run: exit status $STATUS"
    assert_line_prefix "$APPDIR/output.txt" "$BIG_LISTING"
}

scenario_close() {
    start_display
    start_app
    close_window
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "close: exit status $STATUS"
    assert_app_files "" "after close"

    start_app
    start_big_run
    local t0
    t0=$(now_ms)
    close_window
    wait_exit_quietly 10
    note "ended $(($(now_ms) - t0)) ms after the close request"
    (($(now_ms) - t0 < 1000)) || fail "the program took $(($(now_ms) - t0)) ms to end"
    ((STATUS == 0)) || fail "close during a run: exit status $STATUS"
    assert_line_prefix "$APPDIR/output.txt" "$BIG_LISTING"
}

scenario_version() {
    start_display
    start_app
    menu h v
    wait_until 10 "the Version box" dialog_shown
    [[ $(xdotool getwindowname "$DLG") == dxflist ]] || fail "the Version box's title is not dxflist"
    shot version-box "$DLG"
    answer Return
    assert_running "after the Version box"
    assert_app_files "" "after the Version box"

    # During a run the box holds the run until it is closed. The caption changes every
    # second while the run goes on, so two seconds without a change show it waiting.
    start_big_run
    menu h v
    wait_until 10 "the Version box" dialog_shown
    local held size end
    held=$(caption)
    [[ $held =~ $PROGRESS_RE ]] || fail "the run ended before the Version box came up"
    size=$(stat -c %s "$APPDIR/output.txt")
    end=$(($(now_ms) + 2200))
    while (($(now_ms) < end)); do
        [[ $(caption) == "$held" ]] || fail "the caption went from '$held' to '$(caption)' with the box open"
        (($(stat -c %s "$APPDIR/output.txt") == size)) || fail "the listing grew with the box open"
        sleep 0.1
    done
    dialog_shown || fail "the Version box went away by itself"
    note "held at '$held', listing $size bytes"
    answer Return
    finish_big_run
    assert_running "after the run"
}

# fail_through_gui FILE SHOT: chooses FILE, which the program cannot list; one box, then the end.
fail_through_gui() {
    open_file_dialog
    choose_file "$1"
    wait_until 20 "the failure box" dialog_shown
    [[ $(xdotool getwindowname "$DLG") == dxflist ]] || fail "the failure box's title is not dxflist"
    if [[ -n $2 ]]; then shot "$2" "$DLG"; fi
    answer Return
    wait_exit_quietly 10
    ((STATUS != 0)) || fail "the program ended with status 0 after a failure"
    note "exit status $STATUS after the failure"
}

scenario_failure() {
    start_display
    # A zero-byte file.
    : >"$T/empty.dxf"
    reference "$T/empty.dxf" "$T/ref"
    ((REF_STATUS != 0)) || fail "dxflist-batch accepted an empty file"
    start_app
    fail_through_gui "$T/empty.dxf" failure-box
    assert_app_files "$(dir_files "$T/ref")" "after the failure"

    # The application folder's own listing: refused, and left as it was.
    reference "$CRLF_FILE" "$T/ref"
    cp "$T/ref/output.txt" "$T/listing.saved"
    "$BATCH" "$T/ref/output.txt" "$T/ref" 2>/dev/null && fail "dxflist-batch listed its own output.txt"
    start_app
    cp "$T/listing.saved" "$APPDIR/output.txt"
    fail_through_gui "$APPDIR/output.txt" ""
    cmp -s "$APPDIR/output.txt" "$T/listing.saved" || fail "output.txt was changed"
    assert_app_files "$(dir_files "$T/ref")" "after the failure"
}

scenario_japanese() {
    locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' ||
        fail "the ja_JP.UTF-8 locale is missing (scripts/deps.sh --test makes it)"
    start_display
    # The Exit question as it looks in English, to tell the Japanese one from it.
    start_app
    ask_exit
    local english
    english=$(pixels "$DLG")
    answer alt+y
    wait_exit_quietly 10

    # In Japanese, and from an application folder with a Japanese name. (No Japanese names are
    # typed into the dialog: xdotool types them through a keyboard remapping that races GTK.)
    APPDIR="$T/アプリ フォルダ"
    reference "$CRLF_FILE" "$T/ref"
    start_app LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    [[ $(caption) == dxflist ]] || fail "caption at start-up is '$(caption)'"
    ask_exit
    shot exit-question-ja "$DLG"
    # The same question and title; with Japanese buttons it cannot look as it does in English.
    [[ $(pixels "$DLG") != "$english" ]] || fail "the Exit question looks as it does in English"
    answer alt+n
    assert_running "after Exit, No"

    open_file_dialog
    choose_file "$CRLF_FILE"
    wait_until 30 "the listing to equal dxflist-batch's" listing_done "$T/ref/output.txt"
    assert_app_files "$(dir_files "$T/ref")" "after the run"

    ask_exit
    answer alt+y
    wait_exit_quietly 10
    ((STATUS == 0)) || fail "Exit, Yes: exit status $STATUS"
}

# The listing cannot be written: the application folder on a file system with room for the
# program and little more (or, where this machine allows no mounting, output.txt leading to
# /dev/full). One box, then a non-zero status, and only whole lines in the listing.
scenario_full_disk() {
    local source=$CORPUS/skymakerolof_floorplan.dxf
    reference "$source" "$T/ref"
    start_display
    mkdir -p "$APPDIR"
    if mount -t tmpfs -o size=$(($(stat -c %s "$DXFLIST") + 65536)) tmpfs "$APPDIR" 2>/dev/null; then
        MOUNTED=$APPDIR
        start_app
    else
        start_app
        ln -s /dev/full "$APPDIR/output.txt"
        note "no tmpfs here: output.txt leads to /dev/full"
    fi
    fail_through_gui "$source" full-disk-box
    if [[ -n $MOUNTED ]]; then
        local size
        size=$(stat -c %s "$APPDIR/output.txt")
        [[ $(tail -c 2 "$APPDIR/output.txt" | od -An -tx1 | tr -d ' \n') == 0d0a ]] ||
            fail "the listing on the full disk does not end with CR LF"
        cmp -s -n "$size" "$APPDIR/output.txt" "$T/ref/output.txt" ||
            fail "the listing on the full disk is not a prefix of the full one"
        note "the full disk kept $size bytes of whole lines"
    fi
}

# A file the user may not read. Run as an unprivileged user: root reads anything.
scenario_unreadable() {
    cp "$CRLF_FILE" "$T/unreadable.dxf"
    chmod 000 "$T/unreadable.dxf"
    chmod 755 "$T"
    start_display
    if [[ $(id -u) -eq 0 ]]; then
        mkdir -p "$T/nobody"
        chown nobody "$T/nobody"
        RUN_AS=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        start_app HOME="$T/nobody" XDG_CONFIG_HOME="$T/nobody" XDG_CACHE_HOME="$T/nobody" \
            XDG_DATA_HOME="$T/nobody" XDG_RUNTIME_DIR=
        chmod 777 "$APPDIR"
    else
        start_app
    fi
    fail_through_gui "$T/unreadable.dxf" unreadable-box
    assert_app_files "" "after the failure"
}

# Files dragged onto the window: one file is listed as File > Open lists it, several files are
# refused with one box, a drop during a run is refused, a folder fails as Open fails.
scenario_drop() {
    reference "$LF_FILE" "$T/ref"
    start_display
    start_app
    drag_files "$LF_FILE"
    ((DRAG_STATUS == 0)) || fail "the program refused the dropped file"
    wait_until 20 "the box about unix.dxf" dialog_shown
    answer Return
    wait_until 30 "the listing to equal dxflist-batch's" listing_done "$T/ref/output.txt"
    assert_app_files "$(dir_files "$T/ref")" "after the run"

    local before
    before=$(stat -c %Y.%s "$APPDIR/output.txt")
    drag_files "$CRLF_FILE" "$LF_FILE"
    wait_until 20 "the box about one file at a time" dialog_shown
    shot drop-several-box "$DLG"
    answer Return
    [[ $(stat -c %Y.%s "$APPDIR/output.txt") == "$before" ]] || fail "a file of several dropped was listed"
    cmp -s "$APPDIR/output.txt" "$T/ref/output.txt" || fail "the listing changed after several files were dropped"

    # During a run the drop is ignored: the run's listing comes out whole.
    start_big_run
    drag_files "$CRLF_FILE"
    caption_progress || fail "the run ended before the drop"
    finish_big_run

    mkdir -p "$T/folder.dxf"
    drag_files "$T/folder.dxf"
    wait_until 20 "the failure box" dialog_shown
    shot drop-folder-box "$DLG"
    answer Return
    wait_exit_quietly 10
    ((STATUS != 0)) || fail "the program ended with status 0 after a dropped folder"
}

declare -F "scenario_$SCENARIO" >/dev/null || { echo "unknown scenario: $SCENARIO" >&2; exit 64; }
"scenario_$SCENARIO"
note "passed"
