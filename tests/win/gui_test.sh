#!/usr/bin/env bash
# The real dxflist.exe under Wine, Xvfb and openbox, driven with xdotool as a user would:
# start, File > Open through the Windows dialog on a file with Japanese folder and file names
# (its unix.dxf message), a large file (the progress caption), the Version box, and Exit
# answered No, then Yes. Window texts are read with window_text.exe; listings are compared
# with the Linux build's dxflist-batch. Screenshots of the open File menu and the Version box
# go to SHOT_DIR.
#
#   gui_test.sh DXFLIST_EXE WINDOW_TEXT_EXE LINUX_BATCH GEN_BENCH CORPUS_DIR CACHE_DIR SHOT_DIR VERSION
set -euo pipefail

(($# == 8)) || {
    echo "usage: $0 DXFLIST_EXE WINDOW_TEXT_EXE LINUX_BATCH GEN_BENCH CORPUS_DIR CACHE_DIR SHOT_DIR VERSION" >&2
    exit 64
}
EXE=$1 WINDOW_TEXT=$2 LINUX=$3 GEN_BENCH=$4 CORPUS=$5 VERSION=$8
CACHE=$(realpath -m "$6") SHOTS=$(realpath -m "$7")   # typed into the dialog: full paths
for tool in "$LINUX" "$GEN_BENCH"; do
    [[ -x $tool ]] || { echo "FAIL: $tool is missing (build the Linux tree first)" >&2; exit 1; }
done
source "$(dirname "$0")/../../scripts/wine-prefix.sh"
# Without address space randomisation: see cmake/mingw-w64-x86_64.cmake.
wine() { setarch -R wine "$@"; }
# One locale whatever the caller's: window names are UTF-8, Wine's own texts English.
export LC_ALL=C.UTF-8
unset LANG LANGUAGE

PROGRESS_RE='^dxflist [0-9]+:　-- 変換中　--$'
T=$(mktemp -d "${TMPDIR:-/tmp}/dxflist-wingui.XXXXXX")
APPDIR=$T/アプリ
SRC=$T/図面/平面図.dxf
XVFB="" WM="" APP="" MAIN=""
rm -f "$SHOTS/failed.png"

# A killed process's status must not end the clean-up half way: set -e is off here.
cleanup() {
    local status=$? pid
    set +e
    for pid in $APP $WM $XVFB; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$T"
    exit "$status"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [[ -n $XVFB ]]; then
        mkdir -p "$SHOTS"
        import -window root "$SHOTS/failed.png" 2>/dev/null && echo "screen: $SHOTS/failed.png" >&2
        echo "--- windows ---" >&2
        windows >&2 || true
    fi
    exit 1
}
note() { echo "[$((SECONDS))s] $*"; }

# shellcheck source=../gui/poll.sh
source "$(dirname "$0")/../gui/poll.sh"

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# What Windows shows: window and control texts, line breaks as \r \n (see window_text.cpp).
windows() { wine "$WINDOW_TEXT" | tr -d '\r'; }
shows() { windows | grep -qxF -- "$1"; }
caption() { xdotool getwindowname "$MAIN" 2>/dev/null; }
caption_is() { [[ $(caption) == "$1" ]]; }
menu_open() { windows | grep -q $'^window\t[0-9]*\t#32768\t'; }
# A message box is a #32770 dialog with a Static control holding the message.
box_says() { shows $'control\tStatic\t'"$1"; }
no_box() { ! windows | grep -q $'^window\t[0-9]*\t#32770\t'; }
running() { kill -0 "$APP" 2>/dev/null; }

# Keys go to the focused window. Wine can miss a key that comes before it has taken the focus
# the window manager gave a window, so a key that shows no effect is pressed again.

# open_menu KEY: Alt+KEY on the main window until a menu shows.
open_menu() {
    local attempt
    for attempt in 1 2 3 4 5; do
        xdotool windowactivate --sync "$MAIN" 2>/dev/null || true
        xdotool key "alt+$1"
        poll 4 menu_open && return
        xdotool key Escape
    done
    fail "Alt+$1 opens no menu"
}

# answer KEY COMMAND...: KEY in the message box until COMMAND holds.
answer() {
    local key=$1 attempt box
    shift
    for attempt in 1 2 3; do
        box=$(xdotool search --name '^dxflist$' 2>/dev/null | grep -vx "$MAIN" | head -n 1)
        [[ -n $box ]] && xdotool windowactivate --sync "$box" 2>/dev/null
        xdotool key "$key"
        poll 5 "$@" && return
    done
    fail "the message box does not take $key"
}

# The screen trimmed to the windows on it: the desktop is plain black.
screenshot() {
    mkdir -p "$SHOTS"
    import -window root "$T/screen.png"
    convert "$T/screen.png" -trim +repage "$SHOTS/$1"
}

# open_file PATH: File > Open, types PATH into the dialog's file name box (again if a key got
# lost), and opens it.
open_file() {
    local want
    want=$(winpath "$1")
    open_menu f
    xdotool key o
    wait_until 30 "the open-file dialog" shows $'control\tComboBox\tDXF(*.dxf)'
    local attempt
    for attempt in 1 2 3; do
        xdotool key ctrl+a BackSpace
        xdotool type --delay 10 "$want"
        shows $'control\tEdit\t'"$want" && break
        ((attempt < 3)) || fail "the file name box does not read $want"
    done
    xdotool key Return
}

# --- the display, with the Japanese characters of our paths on keys of their own ---------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 3>"$T/display" \
    >"$T/xvfb.log" 2>&1 &
XVFB=$!
wait_until 20 "Xvfb" test -s "$T/display"
export DISPLAY=":$(head -n 1 "$T/display")"
openbox --sm-disable >"$T/openbox.log" 2>&1 &
WM=$!
# xdotool would map each of them to a spare key just for the keystroke, and Wine may read the
# key after it has been mapped back: characters get lost.
spare=($(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }'))
i=0
for c in $(printf '%s' "$APPDIR$SRC" | grep -o '[^ -~]' | sort -u); do
    sym=$(printf 'U%04X' "'$c")
    xmodmap -e "keycode ${spare[i]} = $sym $sym"
    i=$((i + 1))
done

# --- the large file and its listing, made once and kept in CACHE_DIR -------------------------
mkdir -p "$CACHE"
BIG=$CACHE/big400-crlf.dxf
if [[ ! -s $BIG ]]; then
    note "making $BIG"
    "$GEN_BENCH" "$BIG.part" 400 crlf >/dev/null && mv "$BIG.part" "$BIG"
fi
if [[ ! -s $BIG.sha256 || $BIG.sha256 -ot $BIG || $BIG.sha256 -ot $LINUX ]]; then
    mkdir -p "$T/bigref"
    "$LINUX" "$BIG" "$T/bigref" 2>/dev/null
    sha256sum <"$T/bigref/output.txt" >"$BIG.sha256"
    rm -rf "$T/bigref"
fi

# --- start --------------------------------------------------------------------------------------
mkdir -p "$APPDIR" "$(dirname "$SRC")" "$T/ref"
cp "$EXE" "$APPDIR/dxflist.exe"
cp "$CORPUS/derived_lf_final_nl__ezdxf_R12_ansi932_crlf.dxf" "$SRC"
"$LINUX" "$SRC" "$T/ref" 2>/dev/null

setarch -R wine "$APPDIR/dxflist.exe" >"$T/app.log" 2>&1 &
APP=$!
find_main() { MAIN=$(xdotool search --name '^dxflist$' 2>/dev/null | head -n 1) && [[ -n $MAIN ]]; }
wait_until 60 "the main window" find_main
wait_until 10 'the caption "dxflist"' caption_is dxflist
note "started: caption \"$(caption)\""

# --- File > Open on the LF file with Japanese names -------------------------------------------
open_menu f
screenshot file-menu.png
xdotool key Escape Escape
wait_until 10 "the File menu to close" eval '! menu_open'

open_file "$SRC"
message='\r\n\r\n指定されたファイルはUNIXの改行コード(0A)が使用されていたので、一時ファイルを作成しました。'
message+="\\r\\n\\r\\n一時ファイル名 : $(winpath "$APPDIR")\\unix.dxf"
wait_until 30 "the unix.dxf message" box_says "$message"
note "unix.dxf message names $(winpath "$APPDIR")\\unix.dxf"
answer Return no_box
same_listing() { cmp -s "$T/ref/output.txt" "$APPDIR/output.txt"; }
wait_until 30 "the listing of $SRC" same_listing
cmp "$T/ref/unix.dxf" "$APPDIR/unix.dxf" || fail "unix.dxf differs from the Linux build's"
wait_until 10 'the caption "dxflist"' caption_is dxflist
note "listing and unix.dxf identical to the Linux build's"

# --- the large file: the caption counts the lines read -----------------------------------------
open_file "$BIG"
progress=""
seen_progress() {
    local now
    now=$(caption)
    [[ $now =~ $PROGRESS_RE ]] && progress=$now
}
wait_until 60 "the progress caption" seen_progress
screenshot progress.png
note "during the run: \"$progress\""
wait_until 300 'the caption "dxflist" after the large file' caption_is dxflist
[[ $(sha256sum <"$APPDIR/output.txt") == "$(cat "$BIG.sha256")" ]] ||
    fail "the large file's listing differs from the Linux build's"
note "large file listed, identical to the Linux build's"

# --- the Version box --------------------------------------------------------------------------
open_menu h
xdotool key v
version="dxflist Ver $VERSION\\r\\n\\r\\ndxflist contributors\\r\\n\\r\\n"
version+="アプリケーションフォルダ \\r\\n\\r\\n$(winpath "$APPDIR")\\r\\n\\r\\n製品名 : dxflist\\r\\n\\r\\n"
wait_until 20 "the Version box" box_says "$version"
screenshot version.png
note "Version box: $version"
answer Return no_box

# --- Exit: No keeps the program, Yes ends it --------------------------------------------------
open_menu f
xdotool key x
wait_until 20 "the question" box_says '終了しますか？'
answer n no_box
running || fail "the program ended after No"
caption_is dxflist || fail "caption \"$(caption)\" after No"
note "Exit, No: still running"

open_menu f
xdotool key x
wait_until 20 "the question" box_says '終了しますか？'
answer y no_box
wait_until 30 "the program to end" eval '! running'
status=0
wait "$APP" || status=$?
APP=""
((status == 0)) || fail "exit status $status after Yes"
note "Exit, Yes: ended with status 0"
echo "dxflist.exe under Wine: all checks passed"
