# GUI harness backend for dxflist.exe under Wine: window and control texts read with
# WINDOW_TEXT (window_text.exe). Wine can miss a key sent before it has taken the focus the
# window manager gave, so a key without effect is sent again.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefix.sh"
EXE=dxflist EXT=.exe KEY_YES=y KEY_NO=n BOX_TEXT=yes TASKBAR=no
# Without address space randomisation: see cmake/mingw-w64-x86_64.cmake.
wine() { setarch -R wine "$@"; }
native() { local p=${1//\//\\}; echo "Z:$p"; }
# start_app [NAME=VALUE...] [-- ARG...]: as in gtk.sh.
start_app() {
    local env=()
    while (($#)) && [[ $1 != -- ]]; do env+=("$1") && shift; done
    (($#)) && shift
    rm -rf "$APPDIR" && mkdir -p "$APPDIR" && cp "$PROGRAM" "$APPDIR/$EXE.exe"
    (cd "${START_DIR:-$APPDIR}" && exec env "${env[@]}" setarch -R wine "$APPDIR/$EXE.exe" "$@") >"$T/app.log" 2>&1 &
    APP=$!
    wait_until 60 "the main window" eval 'MAIN=$(main_window) && [[ -n $MAIN ]]'
    [[ ${SLOW:-} != yes ]] || slow_app
}
# The window captioned with the program's name (and its progress), not a box of that title.
main_window() {
    local w
    for w in $(xdotool search --name "^$EXE( |\$)" 2>/dev/null); do
        xprop -id "$w" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q '_NET_WM_WINDOW_TYPE_NORMAL$' && echo "$w" && return
    done
    return 0
}
# watch_taskbar: the program's calls to its taskbar button go to taskbar_probe.dll (beside
# WINDOW_TEXT), which writes them to $T/taskbar.log: Wine takes them but shows and tells nothing.
# Wine reads the class from the machine's part of the registry only; its own entry is put back at
# the end.
TASKBAR_KEY='HKLM\Software\Classes\CLSID\{56FDF344-FD6D-11d0-958A-006097C9A090}\InprocServer32'
watch_taskbar() {
    wine reg add "$TASKBAR_KEY" /ve /d "$(native "$(dirname "$WINDOW_TEXT")/taskbar_probe.dll")" /f >/dev/null 2>&1
    AT_EXIT+=("wine reg add '$TASKBAR_KEY' /ve /d 'C:\windows\system32\explorerframe.dll' /f >/dev/null 2>&1")
    export DXFLIST_TASKBAR_LOG=$(native "$T/taskbar.log")
    TASKBAR=yes
}
# "window<TAB>pid<TAB>class<TAB>caption" and "control<TAB>class<TAB>text" lines (\r \n escaped).
windows() { wine "$WINDOW_TEXT" | tr -d '\r'; }
caption() { xdotool getwindowname "$MAIN" 2>/dev/null; }
# A box or the file dialog: a #32770 window; its texts stay in windows.txt.
box_shown() { windows >"$T/windows.txt" && grep -q $'^window\t[0-9]*\t#32770\t' "$T/windows.txt"; }
box_title() { awk -F'\t' '$1 == "window" && $3 == "#32770" { print $4; exit }' "$T/windows.txt"; }
# The X window of the box that is up.
box_window() {
    local w
    wait_until 10 "a box" eval 'w=$(xdotool search --name "^dxflist\$" 2>/dev/null | grep -vx "$MAIN" | head -n 1) && [[ -n $w ]]'
    echo "$w"
}
# The box's Static control with a text (the other one is its icon).
box_text() {
    awk -F'\t' '$1 == "window" { box = $3 == "#32770" } box && $2 == "Static" && $3 != "" { t = $3 } END { print t }' "$T/windows.txt"
}
answer() {
    local box
    for _ in 1 2 3; do
        box=$(xdotool search --name '^dxflist$' 2>/dev/null | grep -vx "$MAIN" | head -n 1 || true)
        [[ -n $box ]] && xdotool windowactivate --sync "$box" 2>/dev/null
        xdotool key "$1"
        poll 5 eval '! box_shown' && return
    done
    fail "the box does not take $1"
}
menu() {
    for _ in 1 2 3 4 5; do
        xdotool windowactivate --sync "$MAIN" 2>/dev/null || true
        xdotool key "alt+$1"
        poll 4 eval 'windows | grep -q $'"'"'^window\t[0-9]*\t#32768\t'"'" && { xdotool key "$2" && return; }
        xdotool key Escape
    done
    fail "Alt+$1 opens no menu"
}
open_dialog() {
    menu f o
    wait_until 30 "the open-file dialog" eval 'windows | grep -qxF $'"'"'control\tComboBox\tDXF(*.dxf)'"'"
}
# choose PATH: typed into the file name box (again if a key got lost). Non-ASCII characters get
# keys of their own first: xdotool maps each to a spare key just for the keystroke, and Wine may
# read the key after it has been mapped back.
declare -A MAPPED
choose() {
    local want c key
    want=$(native "$1")
    for c in $(printf '%s' "$want" | grep -o '[^ -~]' | sort -u); do
        [[ -n ${MAPPED[$c]:-} ]] && continue
        key=$(xmodmap -pke | awk 'NF == 3 && $2 > 8 && !k { k = $2 } END { print k }')
        xmodmap -e "keycode $key = $(printf 'U%04X U%04X' "'$c" "'$c")"
        MAPPED[$c]=$key
    done
    for _ in 1 2 3 4; do
        xdotool key ctrl+a BackSpace
        xdotool type --delay 10 "$want"
        # Wine takes the keys in its own time.
        poll 5 eval 'windows | grep -qxF $'"'"'control\tEdit\t'"'"'"$want"' && { xdotool key Return && return; }
    done
    fail "the file name box does not read $want"
}
close_window() { xdotool windowactivate --sync "$MAIN" key alt+F4 2>/dev/null || xdotool key alt+F4; }
# drop FILE...: as Explorer drops files on a program: WM_DROPFILES to the window under the middle
# of the main window that accepts dropped files (DROP_HELPER, drop_files.exe).
drop() {
    local f native_paths=()
    for f in "$@"; do native_paths+=("$(native "$f")"); done
    wine "$DROP_HELPER" "$EXE" "${native_paths[@]}" || fail "no window took the dropped files"
}
# WM_DROPFILES tells the source nothing back: an ignored drop looks like any other from there.
drop_ignored() { drop "$@"; }
