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
# boxes: the X windows of the boxes that are up, one a line.
boxes() { windows DIALOG; }
box_window() { wait_until 10 "a box" box_shown && echo "$DLG"; }
box_gone() { ! xdotool search --onlyvisible --pid "$APP" 2>/dev/null | grep -qx "$DLG"; }
# focus WINDOW: asks the window manager to activate WINDOW and waits till it has the keyboard: a
# key sent before goes to whichever window had it.
focus() {
    local window=$1
    xdotool windowactivate "$window" 2>/dev/null || true
    wait_until 10 "the focus on window $window" eval '[[ $(xdotool getwindowfocus 2>/dev/null) == "$window" ]]'
}
keys() {
    focus "$1"
    press "${@:2}"
}
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
# choose PATH: typed into the dialog's location field (ctrl+L opens it and empties it), which is
# then seen to hold PATH: all of it selected and read back through the X selection that the field
# then holds (a name GTK completes inline has the rest selected: Delete). Under load a dialog was
# seen with the X focus but its keyboard focus on none of its widgets: it took every key and did
# nothing with it, however often sent. A click into the file list puts the focus there, where
# ctrl+L is heard; tried again while the field is not seen to hold PATH. Return once the Open
# button is enabled: GTK enables it some time after the last change of the text, and ignores
# Return till then. With "sent" as its second word it returns once Return is sent (the benchmark
# waits for the listing instead, without polling through the run).
choose() {
    local path=$1 attempt X Y WIDTH HEIGHT
    for attempt in 1 2 3; do
        "$SELECTION_HELPER" clear
        eval "$(xdotool getwindowgeometry --shell "$DLG")"
        # Below the few rows of Recent a test's dialog shows.
        xdotool mousemove --sync $((X + WIDTH * 6 / 10)) $((Y + HEIGHT * 7 / 10)) click 1
        keys "$DLG" ctrl+l
        xdotool type --delay 12 "$path"
        xdotool key Delete ctrl+a
        poll 8 eval '[[ $("$SELECTION_HELPER" 2>/dev/null) == "$path" ]]' && break
        ((attempt < 3)) || fail "the location field did not come to hold $path in 3 tries"
        note "the location field does not hold $path: again"
    done
    wait_until 20 "the Open button to be enabled" open_enabled
    keys "$DLG" Return
    [[ ${2:-} == sent ]] || wait_until 20 "the open-file dialog to take $path" box_gone
}
# open_enabled: the file dialog's Open button, in its bottom right corner, has a dark label (grey
# while disabled).
open_enabled() {
    local darkest
    darkest=$(import -window "$DLG" png:- 2>/dev/null | convert - -gravity SouthEast -crop 60x30+20+8 +repage \
        -colorspace Gray -format '%[fx:int(255*minima)]' info:) && ((darkest < 100))
}
close_window() { keys "$MAIN" alt+F4; }
box_pixels() { import -window "$DLG" rgb:- | md5sum; }
# drop FILE...: dragged with the mouse from a file manager's window (DROP_HELPER, drag_source)
# onto the middle of the main window. GTK starts a drag once the pointer has moved with the button
# down; the button is let go once the window under the pointer has said it takes the files. The
# source must be told that the drop was taken; after drop_ignored, that it was not.
drop() { drag_and_drop 0 "$@"; }
drop_ignored() { drag_and_drop 1 "$@"; }
drag_and_drop() {
    local want=$1 status=0
    shift
    "$DROP_HELPER" "$@" >"$T/drag.log" 2>&1 &
    local source=$! from
    EXTRA_PIDS+=("$source")
    wait_until 10 "the drag source" eval 'from=$(xdotool search --onlyvisible --pid $source 2>/dev/null | head -n 1) && [[ -n $from ]]'
    xdotool windowmove --sync "$from" 900 700 2>/dev/null || true
    local S_X S_Y S_WIDTH S_HEIGHT M_X M_Y M_WIDTH M_HEIGHT
    eval "$(xdotool getwindowgeometry --shell --prefix S_ "$from")" "$(xdotool getwindowgeometry --shell --prefix M_ "$MAIN")"
    local x0=$((S_X + S_WIDTH / 2)) y0=$((S_Y + S_HEIGHT / 2)) x1=$((M_X + M_WIDTH / 2)) y1=$((M_Y + M_HEIGHT / 2))
    xdotool mousemove --sync "$x0" "$y0" mousedown 1
    # GTK's threshold is a few pixels; the source takes the moves in its own time.
    xdotool mousemove --sync $((x0 - 20)) $((y0 - 20))
    wait_until 10 "the drag to begin" grep -qx begun "$T/drag.log"
    xdotool mousemove --sync $(((x0 + x1) / 2)) $(((y0 + y1) / 2)) mousemove --sync "$x1" "$y1"
    wait_until 10 "the window to offer to take the files" grep -qx offered "$T/drag.log"
    xdotool mouseup 1
    wait_until 20 "the drag to end" gone "$source"
    wait "$source" || status=$?
    ((status == want)) || fail "the drag source ended with status $status (0: taken, 1: not taken), expected $want"
}
