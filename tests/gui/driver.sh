# Functions that drive the real dxflist under Xvfb and openbox with xdotool; sourced by the
# GUI tests and the GUI benchmark. The caller defines fail and note, and the variables T (a
# private temporary folder), APPDIR, DXFLIST, EXE, PROGRESS_RE, XVFB, WM, APP, MAIN, STATUS,
# MOUNTED and RUN_AS (an array, empty to run the program as the caller).
# shellcheck shell=bash
# shellcheck source=poll.sh
source "$(dirname "${BASH_SOURCE[0]}")/poll.sh"

# --- display, window manager, program --------------------------------------------------------

start_display() {
    # A home of our own, so that no settings or history of the user's reach the program.
    mkdir -p "$T/home" "$T/run"
    chmod 700 "$T/run"
    export HOME=$T/home XDG_RUNTIME_DIR=$T/run XDG_CONFIG_HOME=$T/home/.config \
        XDG_DATA_HOME=$T/home/.local/share XDG_CACHE_HOME=$T/home/.cache NO_AT_BRIDGE=1 \
        GSETTINGS_BACKEND=memory
    unset GDK_SCALE GDK_DPI_SCALE GTK_THEME
    # Rarely the display Xvfb reports has turned openbox away (seen on :0, about once in 30
    # starts, with one test's display ending just before the next one's started): then both
    # start again.
    local attempt
    for attempt in 1 2 3; do
        start_xvfb
        openbox --sm-disable >"$T/openbox.log" 2>&1 &
        WM=$!
        wait_until 30 "openbox" wm_settled
        gone "$WM" || return 0
        echo "openbox could not open $DISPLAY (attempt $attempt): $(cat "$T/openbox.log")" \
            "Xvfb: $(tail -n 3 "$T/xvfb.log")" >&2
        stop "$XVFB"
        XVFB="" WM=""
    done
    fail "no display for openbox after 3 attempts"
}
start_xvfb() {
    # A display number of our own choosing, away from :0, where the rare failures of these
    # tests were all seen. Xvfb writes the number once it accepts clients, or ends if the
    # number is taken.
    local attempt
    for attempt in 1 2 3 4 5 6 7 8; do
        rm -f "$T/display"
        Xvfb ":$((100 + RANDOM % 900))" -displayfd 3 -screen 0 1280x1024x24 -dpi 96 \
            -nolisten tcp 3>"$T/display" >"$T/xvfb.log" 2>&1 &
        XVFB=$!
        wait_until 20 "Xvfb" xvfb_settled
        if [[ -s $T/display ]]; then
            DISPLAY=":$(head -n 1 "$T/display")"
            export DISPLAY
            return
        fi
        wait "$XVFB" 2>/dev/null || true
        XVFB=""
    done
    fail "Xvfb did not start: $(tail -n 3 "$T/xvfb.log")"
}
# Xvfb has either reported its display or ended.
xvfb_settled() { [[ -s $T/display ]] || gone "$XVFB"; }
# openbox has either ended or taken charge of the screen.
wm_settled() {
    gone "$WM" || xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}

# start_app [NAME=VALUE...]: starts the program, as EXE, from a fresh application folder.
EXE=dxflist
# An application folder that is a mount point is emptied, not replaced. RUN_AS, if set, is the
# command that runs the program as another user.
start_app() {
    if [[ $APPDIR == "$MOUNTED" ]]; then
        find "$APPDIR" -mindepth 1 -delete
    else
        rm -rf "$APPDIR"
        mkdir -p "$APPDIR"
    fi
    cp "$DXFLIST" "$APPDIR/$EXE"
    (cd "$APPDIR" && exec "${RUN_AS[@]}" env LANG=C.UTF-8 LC_ALL=C.UTF-8 "$@" "./$EXE") \
        >"$T/app.log" 2>&1 &
    APP=$!
    wait_until 20 "the main window" main_window_shown
}
main_window_shown() {
    MAIN=$(windows NORMAL | head -n 1)
    [[ -n $MAIN ]]
}

# stop PID: ends a process of ours with SIGTERM and, if it is still there after 5 s, with
# SIGKILL, saying so; then reaps it. Clean-up must never hang on a stuck process.
stop() {
    kill "$1" 2>/dev/null || return 0
    local end=$(($(now_ms) + 5000))
    until gone "$1"; do
        if (($(now_ms) >= end)); then
            echo "process $1 ($(cat "/proc/$1/comm" 2>/dev/null)) did not end on SIGTERM; killed" >&2
            kill -KILL "$1" 2>/dev/null
            break
        fi
        sleep 0.02
    done
    wait "$1" 2>/dev/null
    return 0
}

# gone PID: the process has ended: no longer listed, or a zombie that was not waited for yet.
gone() {
    local stat
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
    stat=${stat##*) }
    [[ ${stat%% *} == Z ]]
}
app_gone() { gone "$APP"; }
# wait_exit SECONDS: waits for the program to end; its exit status goes to STATUS.
wait_exit() {
    wait_until "$1" "the program to end" app_gone
    STATUS=0
    wait "$APP" || STATUS=$?
    APP=""
}
assert_running() { app_gone && fail "the program ended: $*"; return 0; }

# --- windows -----------------------------------------------------------------------------------

# windows TYPE: the program's visible windows of that _NET_WM_WINDOW_TYPE (NORMAL, DIALOG,
# POPUP_MENU).
windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "_NET_WM_WINDOW_TYPE_$1\$" &&
            echo "$w"
    done
    return 0
}
# dialog_shown: exactly one dialog window is up; it goes to DLG.
dialog_shown() {
    local all
    all=$(windows DIALOG)
    [[ -n $all && $(wc -l <<<"$all") -eq 1 ]] && DLG=$all
}
no_dialog() { [[ -z $(windows DIALOG) ]]; }
dialog_gone() { ! xdotool search --onlyvisible --pid "$APP" 2>/dev/null | grep -qx "$1"; }
menu_shown() { [[ -n $(windows POPUP_MENU) ]]; }
no_menu() { ! menu_shown; }

caption() { xdotool getwindowname "$MAIN" 2>/dev/null; }
caption_is() { [[ $(caption) == "$1" ]]; }
caption_progress() { [[ $(caption) =~ $PROGRESS_RE ]]; }
caption_differs() { [[ $(caption) != "$1" ]]; }
# The line count in a progress caption; fails on any other caption.
progress_of() { [[ $1 =~ $PROGRESS_RE ]] && echo "${BASH_REMATCH[1]}"; }

# keys WINDOW KEY...: gives WINDOW the focus, then types the keys.
keys() {
    local w=$1
    shift
    xdotool windowfocus --sync "$w" key --delay 40 "$@"
}

# close_window: the window manager's Close (openbox binds it to Alt+F4), which asks the program
# to close its window. Openbox acts on the window it holds active, so that is made sure first.
close_window() {
    xdotool windowactivate --sync "$MAIN" key alt+F4
}

# answer KEY: answers the box in DLG with a key and waits for the box to go.
answer() {
    keys "$DLG" "$1"
    wait_until 10 "the box to close" dialog_gone "$DLG"
}

# menu TITLE_KEY ITEM_KEY: opens a menu with Alt+key and chooses an item by its access key.
menu() {
    keys "$MAIN" "alt+$1"
    wait_until 10 "the menu to open" menu_shown
    xdotool key "$2"
}

# File > Open; waits for the file dialog, which goes to DLG.
open_file_dialog() {
    menu f o
    wait_until 20 "the open-file dialog" dialog_shown
}
# choose_file PATH: types the full path into the open-file dialog's location field.
choose_file() {
    keys "$DLG" ctrl+l
    xdotool type --delay 12 "$1"
    # The dialog takes Return only once it has settled on the typed text (GTK waits 150 ms
    # after the last change), so Return is pressed again while the dialog stays open.
    for _ in 1 2 3 4 5; do
        sleep 0.3
        keys "$DLG" Return 2>/dev/null || true
        poll 2 dialog_gone "$DLG" && return 0
    done
    fail "the open-file dialog did not take the path $1"
}

# drag_files FILE...: drags FILE... from a file manager's window (drag_source) onto the middle
# of the program's window with the mouse, and waits for the drag to end. DRAG_STATUS: 0 if the
# program took the drop, 1 if it refused it.
DRAG_SOURCE=${DXFLIST_DRAG_SOURCE:-}
drag_files() {
    [[ -x $DRAG_SOURCE ]] || fail "no drag source program (DXFLIST_DRAG_SOURCE)"
    "$DRAG_SOURCE" "$@" >"$T/drag.log" 2>&1 &
    local source=$! window
    find_source() { window=$(xdotool search --onlyvisible --pid "$source" 2>/dev/null | head -n 1); [[ -n $window ]]; }
    wait_until 10 "the drag source window" find_source
    xdotool windowmove --sync "$window" 900 700 2>/dev/null || true
    local sx sy tx ty x y w h i
    read -r x y w h < <(geometry "$window")
    sx=$((x + w / 2)) sy=$((y + h / 2))
    read -r x y w h < <(geometry "$MAIN")
    tx=$((x + w / 2)) ty=$((y + h / 2))
    # At a hand's pace: GTK starts a drag once the pointer has moved a few pixels with the
    # button down, and the window under it answers each step before the next.
    xdotool mousemove --sync "$sx" "$sy" mousedown 1
    for i in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove --sync $((sx + (tx - sx) * i / 10)) $((sy + (ty - sy) * i / 10))
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup 1
    source_gone() { gone "$source"; }
    wait_until 20 "the drag to end" source_gone
    DRAG_STATUS=0
    wait "$source" || DRAG_STATUS=$?
}
