# GUI harness backend for the Linux program: windows told apart by _NET_WM_WINDOW_TYPE.
EXE=dxflist KEY_YES=alt+y KEY_NO=alt+n BOX_TEXT=no TASKBAR=no
native() { echo "$1"; }
# No taskbar progress on GTK (wxAppProgressIndicator does nothing there).
watch_taskbar() { :; }
# start_app [NAME=VALUE...] [-- ARG...]: PROGRAM as EXE from a fresh application folder, started
# in START_DIR (default: that folder) with ARG... on its command line; slowed down from the moment
# its window is up when SLOW=yes.
start_app() {
    local env=()
    while (($#)) && [[ $1 != -- ]]; do env+=("$1") && shift; done
    (($#)) && shift
    rm -rf "$APPDIR" && mkdir -p "$APPDIR" && cp "$PROGRAM" "$APPDIR/$EXE"
    (cd "${START_DIR:-$APPDIR}" && exec env LANG=C.UTF-8 LC_ALL=C.UTF-8 "${env[@]}" "$APPDIR/$EXE" "$@") >"$T/app.log" 2>&1 &
    APP=$!
    wait_until 20 "the main window" eval 'MAIN=$(windows NORMAL | head -n 1) && [[ -n $MAIN ]]'
    [[ ${SLOW:-} != yes ]] || slow_app
    # Keys reach it once the window manager has given it the focus (a box the command line
    # brought up may have it instead).
    wait_until 10 "the program's focus" eval 'xdotool search --pid "$APP" 2>/dev/null | grep -qx "$(xdotool getactivewindow 2>/dev/null)"'
}
# windows TYPE: the program's visible windows of that type (NORMAL, DIALOG, POPUP_MENU).
windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q "_NET_WM_WINDOW_TYPE_$1\$" && echo "$w"
    done
    return 0
}
caption() { xdotool getwindowname "$MAIN" 2>/dev/null; }
# box_shown: exactly one dialog (a box or the file dialog) is up; it goes to DLG.
box_shown() { DLG=$(windows DIALOG) && [[ -n $DLG && $DLG != *$'\n'* ]]; }
box_title() { xdotool getwindowname "$DLG"; }
box_window() { wait_until 10 "a box" box_shown && echo "$DLG"; }
box_gone() { ! xdotool search --onlyvisible --pid "$APP" 2>/dev/null | grep -qx "$DLG"; }
keys() { xdotool windowfocus --sync "$1" key --delay 40 "${@:2}"; }
answer() {
    keys "$DLG" "$1"
    wait_until 10 "the box to close" box_gone
}
menu() {
    keys "$MAIN" "alt+$1"
    wait_until 10 "the menu to open" eval '[[ -n $(windows POPUP_MENU) ]]'
    xdotool key "$2"
}
open_dialog() {
    menu f o
    wait_until 20 "the open-file dialog" box_shown
}
# choose PATH: typed into the dialog's location field; GTK takes Return only once it has settled
# on the typed text (150 ms after the last change), so Return again while the dialog stays.
choose() {
    keys "$DLG" ctrl+l
    xdotool type --delay 12 "$1"
    for _ in 1 2 3 4 5; do
        sleep 0.3
        keys "$DLG" Return 2>/dev/null || true
        poll 2 box_gone && return 0
    done
    fail "the open-file dialog did not take the path $1"
}
close_window() { xdotool windowactivate --sync "$MAIN" key alt+F4; }
box_pixels() { import -window "$DLG" rgb:- | md5sum; }
# drop FILE...: dragged with the mouse from a file manager's window (DROP_HELPER, drag_source)
# onto the middle of the main window, at a hand's pace: GTK starts a drag only once the pointer
# has moved with the button down, and the window under it answers each step before the next.
# The source must be told that the drop was taken; after drop_ignored, that it was not.
drop() { drag_and_drop 0 "$@"; }
drop_ignored() { drag_and_drop 1 "$@"; }
drag_and_drop() {
    local want=$1 status=0
    shift
    "$DROP_HELPER" "$@" >"$T/drag.log" 2>&1 &
    local source=$! from i
    EXTRA_PIDS+=("$source")
    wait_until 10 "the drag source" eval 'from=$(xdotool search --onlyvisible --pid $source 2>/dev/null | head -n 1) && [[ -n $from ]]'
    xdotool windowmove --sync "$from" 900 700 2>/dev/null || true
    local S_X S_Y S_WIDTH S_HEIGHT M_X M_Y M_WIDTH M_HEIGHT
    eval "$(xdotool getwindowgeometry --shell --prefix S_ "$from")" "$(xdotool getwindowgeometry --shell --prefix M_ "$MAIN")"
    local x0=$((S_X + S_WIDTH / 2)) y0=$((S_Y + S_HEIGHT / 2)) x1=$((M_X + M_WIDTH / 2)) y1=$((M_Y + M_HEIGHT / 2))
    xdotool mousemove --sync "$x0" "$y0" mousedown 1
    for i in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove --sync $((x0 + (x1 - x0) * i / 10)) $((y0 + (y1 - y0) * i / 10))
        sleep 0.05
    done
    sleep 0.2
    xdotool mouseup 1
    wait_until 20 "the drag to end" gone "$source"
    wait "$source" || status=$?
    ((status == want)) || fail "the drag source ended with status $status (0: taken, 1: not taken), expected $want"
}
