# Shared by the GUI tests and the GUI benchmark: display, polling, clean-up, failure with a
# screenshot. The caller sets T (a private folder), SHOTS and NAME, then sources a backend
# (gtk.sh, wine.sh) that knows the program's windows.
XVFB="" WM="" APP="" MAIN="" EXTRA_PIDS=() AT_EXIT=() APPDIR=$T/app
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
STARTED_MS=$(now_ms)
note() { echo "[$NAME $(($(now_ms) - STARTED_MS))ms] $*"; }
# poll SECONDS COMMAND...: whether COMMAND succeeds within SECONDS, tried every 20 ms.
poll() {
    local end=$(($(now_ms) + $1 * 1000))
    until "${@:2}"; do
        (($(now_ms) < end)) || return 1
        sleep 0.02
    done
}
wait_until() { poll "$1" "${@:3}" || fail "timed out after $1 s waiting for $2"; }
fail() {
    echo "FAIL [$NAME]: $*" >&2
    [[ -n $XVFB ]] && mkdir -p "$SHOTS" && import -window root "$SHOTS/failed-$NAME.png" 2>/dev/null &&
        echo "screen at the failure: $SHOTS/failed-$NAME.png" >&2
    local log
    for log in "$T"/*.log; do [[ -s $log ]] && { echo "--- $log" && tail -n 15 "$log"; } >&2; done
    exit 1
}
# gone PID: ended, or a zombie not yet waited for.
gone() {
    local stat
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
    stat=${stat##*) }
    [[ ${stat%% *} == Z ]]
}
# stop PID: SIGTERM, then SIGKILL (said so) if still there after 5 s: clean-up never hangs.
stop() {
    kill "$1" 2>/dev/null || return 0
    poll 5 gone "$1" || { echo "process $1 ($(cat "/proc/$1/comm" 2>/dev/null)) ignored SIGTERM; killed" >&2 && kill -KILL "$1"; }
    wait "$1" 2>/dev/null || true
}
cleanup() {
    local status=$? pid
    set +e
    full_speed
    for pid in $APP "${EXTRA_PIDS[@]}" $WM $XVFB; do stop "$pid"; done
    local undo
    for undo in "${AT_EXIT[@]}"; do eval "$undo"; done # what a backend changed for the test
    rm -rf "$T"
    exit "$status"
}
trap cleanup EXIT
# Xvfb on a display number of our own away from :0, where the rare failures were all seen, and
# openbox; both again when the number is taken or openbox is turned away (seen once in 30 starts).
start_display() {
    mkdir -p "$T/home" "$T/run" && chmod 700 "$T/run"
    export HOME=$T/home XDG_RUNTIME_DIR=$T/run XDG_CONFIG_HOME=$T/home/.config XDG_DATA_HOME=$T/home/.local \
        XDG_CACHE_HOME=$T/home/.cache NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
    unset GDK_SCALE GDK_DPI_SCALE GTK_THEME
    local attempt
    for attempt in 1 2 3 4 5 6; do
        rm -f "$T/display"
        Xvfb ":$((100 + RANDOM % 900))" -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp \
            3>"$T/display" >"$T/xvfb.log" 2>&1 &
        XVFB=$!
        poll 20 eval '[[ -s $T/display ]] || gone $XVFB'
        if [[ -s $T/display ]]; then
            export DISPLAY=":$(head -n 1 "$T/display")"
            openbox --sm-disable >"$T/openbox.log" 2>&1 &
            WM=$!
            poll 30 eval 'gone $WM || xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
            gone "$WM" || return 0
            echo "openbox turned away from $DISPLAY (attempt $attempt): $(cat "$T/openbox.log")" >&2
        fi
        stop "$XVFB"
        XVFB="" WM=""
    done
    fail "no display after 6 attempts: $(tail -n 3 "$T/xvfb.log")"
}
# slow_app: the program stopped for 45 ms of every 50 (SIGSTOP, SIGCONT), so that a run of the big
# drawing lasts seconds on any machine and leaves the harness a core to poll with. At full speed it
# ends within 1.5 s, too short to act in: CI once saw it end between two reads of the caption.
# full_speed ends that.
SLOWER=""
slow_app() {
    (while kill -STOP "$APP" 2>/dev/null; do
        sleep 0.045
        kill -CONT "$APP" 2>/dev/null
        sleep 0.005
    done) &
    SLOWER=$!
}
full_speed() {
    [[ -n $SLOWER ]] || return 0
    kill "$SLOWER" 2>/dev/null || true # the loop ends by itself once the program has
    wait "$SLOWER" 2>/dev/null || true
    kill -CONT "$APP" 2>/dev/null || true
    SLOWER=""
}
# press KEY...: sent to the window that has the keyboard (see the backend's focus); SENT_MS says
# when, for a test that times what a key does.
SENT_MS=0
press() {
    xdotool key --delay 40 "$@"
    SENT_MS=$(now_ms)
}
app_gone() { gone "$APP"; }
assert_running() { app_gone && fail "the program ended: $*"; return 0; }
# ends STATUS [BOXES]: the program ends within 10 s with that exit status (0, or 1 after a
# failure), without any further box; with BOXES, that many boxes may show while it ends (a box the
# keys typed ahead answer), but no other.
ends() {
    local end=$(($(now_ms) + 10000)) status=0 seen=" " w
    until app_gone; do
        if [[ -z ${2:-} ]]; then
            box_shown && fail "a box appeared while the program was ending"
        else
            for w in $(boxes); do [[ $seen == *" $w "* ]] || seen+="$w "; done
            (($(wc -w <<<"$seen") <= $2)) || fail "boxes$seen appeared while the program was ending, not $2"
        fi
        (($(now_ms) < end)) || fail "the program did not end within 10 s"
    done
    wait "$APP" || status=$?
    APP=""
    ((status == $1)) || fail "the program ended with status $status, expected $1"
}
app_files() { ls -A "$APPDIR" | grep -vxF "$EXE${EXT:-}" | tr '\n' ' '; }
assert_app_files() { [[ $(app_files) == "$1" ]] || fail "$2: the application folder holds [$(app_files)], expected [$1]"; }
