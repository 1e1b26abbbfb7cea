# GUI harness backend for the Linux program: windows told apart by _NET_WM_WINDOW_TYPE.
EXE=dxflist KEY_YES=alt+y KEY_NO=alt+n BOX_TEXT=no RUN_AS=()
native() { echo "$1"; }
# start_app [NAME=VALUE...]: PROGRAM as EXE from a fresh application folder (emptied when it is
# a mount point), as another user with RUN_AS.
start_app() {
    if [[ $APPDIR == "$MOUNTED" ]]; then find "$APPDIR" -mindepth 1 -delete; else rm -rf "$APPDIR" && mkdir -p "$APPDIR"; fi
    cp "$PROGRAM" "$APPDIR/$EXE"
    (cd "$APPDIR" && exec "${RUN_AS[@]}" env LANG=C.UTF-8 LC_ALL=C.UTF-8 "$@" "./$EXE") >"$T/app.log" 2>&1 &
    APP=$!
    wait_until 20 "the main window" eval 'MAIN=$(windows NORMAL | head -n 1) && [[ -n $MAIN ]]'
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
