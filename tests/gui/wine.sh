# GUI harness backend for dxflist.exe under Wine: window and control texts read with
# WINDOW_TEXT (window_text.exe). Wine takes the focus the window manager gives in its own time and
# loses a key sent before: keys go only to the window Wine itself says has them.
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
# boxes: the X windows of the boxes (and the file dialog) that are up, one a line.
boxes() { xdotool search --onlyvisible --name '^(dxflist|開く)$' 2>/dev/null | grep -vx "$MAIN" || true; }
# The X window of the box (or the file dialog) that is up.
box_window() {
    local w
    wait_until 10 "a box" box_shown
    wait_until 10 "the box's window" eval 'w=$(xdotool search --name "^$(box_title)\$" 2>/dev/null | grep -vx "$MAIN" | head -n 1) && [[ -n $w ]]'
    echo "$w"
}
# focus WINDOW [CLASS]: asks the window manager to activate WINDOW (an X window) and waits till
# Wine sends keys to a window of that class (an awk pattern; default: the program's own, not a box
# or a menu) that is captioned as WINDOW is.
focus() {
    local window=$1 class=${2:-^[^#]}
    xdotool windowactivate "$window" 2>/dev/null || true
    wait_until 20 "the focus on window $window" eval 'takes_keys "$window" "$class"'
}
takes_keys() {
    local name
    name=$(xdotool getwindowname "$1" 2>/dev/null) && windows >"$T/windows.txt" &&
        awk -F'\t' -v class="$2" -v name="$name" '$1 == "foreground" && $2 ~ class && $3 == name { found = 1 }
            END { exit !found }' "$T/windows.txt"
}
# The box's Static control with a text (the other one is its icon).
box_text() {
    awk -F'\t' '$1 == "window" { box = $3 == "#32770" } $1 == "control" && box && $2 == "Static" && $3 != "" { t = $3 } END { print t }' "$T/windows.txt"
}
answer() {
    focus "$(box_window)" '^#32770$'
    press "$1"
    wait_until 10 "the box to close" eval '! box_shown'
}
menu() {
    focus "$MAIN"
    press "alt+$1"
    wait_until 10 "the menu to open" eval 'windows | grep -q $'"'"'^window\t[0-9]*\t#32768\t'"'"
    press "$2"
}
open_dialog() {
    menu f o
    wait_until 30 "the open-file dialog" eval 'windows | grep -qxF $'"'"'control\tComboBox\tDXF(*.dxf)'"'"
}
# choose PATH: typed into the file name box once it has the keyboard, and Return once it reads
# PATH. Non-ASCII characters get keys of their own first: xdotool maps each to a spare key just for
# the keystroke, and Wine may read the key after it has been mapped back.
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
    focus "$(box_window)" '^#32770$'
    wait_until 20 "the file name box to have the keyboard" eval 'windows | grep -q $'"'"'^focus\tEdit\t'"'"
    press ctrl+a BackSpace
    xdotool type --delay 10 "$want"
    wait_until 20 "the file name box to read $want" eval 'windows | grep -qxF $'"'"'control\tEdit\t'"'"'"$want"'
    press Return
    wait_until 30 "the open-file dialog to close" eval '! windows | grep -qxF $'"'"'control\tComboBox\tDXF(*.dxf)'"'"
}
close_window() {
    focus "$MAIN"
    press alt+F4
}
# drop FILE...: as Explorer drops files on a program: WM_DROPFILES to the window under the middle
# of the main window that accepts dropped files (DROP_HELPER, drop_files.exe).
drop() {
    local f native_paths=()
    for f in "$@"; do native_paths+=("$(native "$f")"); done
    wine "$DROP_HELPER" "$EXE" "${native_paths[@]}" || fail "no window took the dropped files"
}
# WM_DROPFILES tells the source nothing back: an ignored drop looks like any other from there.
drop_ignored() { drop "$@"; }
