# Shared by the end-to-end scripts (sourced, not run): a private X server, the test audio
# server with a paced feeder, the recorder started from a fresh copy of its directory, and
# the means of driving it as a person does: clicks at the controls' positions, keys, and
# reading a field by selecting its text and asking the X selection for it.
#
# Every process started here is remembered by PID and stopped by session_cleanup, which the
# calling script runs from its EXIT trap.
#
# The calling script sets source_dir (the repository), build_dir, work (a temporary folder of
# its own), out (where screenshots go) and feeder (the fifo_feeder program).

session_pids=()      # stopped in reverse order by session_cleanup
session_audio_dir="" # set when this session started its own audio server

fail() {
    echo "FAIL: $*" >&2
    [ -n "${out:-}" ] && [ -n "${DISPLAY:-}" ] && import -window root "$out/failure.png" 2>/dev/null
    exit 1
}
note() { echo "[$(date +%T.%3N)] $*"; }

# Ends one process started by this session: SIGTERM, then SIGKILL after two seconds.
stop_pid() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 40); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

session_cleanup() {
    local i
    for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do
        stop_pid "${session_pids[i]}"
    done
    session_pids=()
    if [ -n "$session_audio_dir" ]; then
        "$source_dir/scripts/audio-test-server.sh" stop "$session_audio_dir" || true
        session_audio_dir=""
    fi
}

# A private X server on a free display, 1024 x 768 at 24 bits. -noreset: left to itself the
# server resets whenever its last client goes, which is exactly when the scripts start the next
# recorder (right after the previous one ended, nothing else connected); the reset need not be
# met by the next client's connection.
start_x_server() {
    local displayfile=$work/display
    : >"$displayfile"
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    session_pids+=("$xvfb_pid")
    for _ in $(seq 200); do
        [ -s "$displayfile" ] && break
        sleep 0.05
    done
    [ -s "$displayfile" ] || fail "the X server did not start (see $work/xvfb.log)"
    export DISPLAY=:$(cat "$displayfile")
    for _ in $(seq 100); do
        xdotool getmouselocation >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    fail "the X server on $DISPLAY does not answer"
}

# A private session bus for the recorder (DBUS_SESSION_BUS_ADDRESS) with a stand-in notification
# service on it, which appends every notification it gets to NOTIFICATIONS (one JSON object a
# line).
start_notification_service() {
    local address
    {
        read -r address
        read -r bus_pid
    } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    [ -n "$bus_pid" ] || fail "no session bus"
    session_pids+=("$bus_pid")
    export DBUS_SESSION_BUS_ADDRESS=$address
    NOTIFICATIONS=$work/notifications.jsonl
    : >"$NOTIFICATIONS"
    /usr/bin/python3 "$source_dir/tests/e2e/notification_stand_in.py" "$NOTIFICATIONS" \
        "$work/notifications-ready" 2>"$work/notification-service.log" &
    notification_pid=$!
    session_pids+=("$notification_pid")
    for _ in $(seq 100); do
        [ -f "$work/notifications-ready" ] && return 0
        sleep 0.05
    done
    fail "the stand-in notification service did not start: $(cat "$work/notification-service.log")"
}

# Ends the stand-in service; the bus stays, with nobody to take a notification.
stop_notification_service() {
    stop_pid "$notification_pid"
    forget_pid "$notification_pid"
}

# Waits up to $2 seconds until the stand-in service has received $1 notifications in all, and
# fails when it received more or fewer.
expect_notifications() {
    local count=$1 timeout=$2 got
    for _ in $(seq $((timeout * 10))); do
        got=$(wc -l <"$NOTIFICATIONS")
        [ "$got" -ge "$count" ] && break
        sleep 0.1
    done
    sleep 0.3
    got=$(wc -l <"$NOTIFICATIONS")
    [ "$got" -eq "$count" ] ||
        fail "$got notifications, expected $count: $(cat "$NOTIFICATIONS")"
}

# Field $1 of the last notification received (summary, body, app_icon, expire_timeout,
# hints.urgency, ...).
last_notification() {
    tail -n 1 "$NOTIFICATIONS" | /usr/bin/python3 -c '
import json, sys
value = json.load(sys.stdin)
for key in sys.argv[1].split("."):
    value = value[key]
print(value)' "$1"
}

# The audio server that test.sh runs, or one of this session's own.
use_audio_server() {
    if [ -z "${SONOCAP_AUDIO_TEST_DIR:-}" ]; then
        eval "$("$source_dir/scripts/audio-test-server.sh" start)"
        session_audio_dir=$SONOCAP_AUDIO_TEST_DIR
    fi
    fifo=$SONOCAP_AUDIO_TEST_DIR/testsrc.fifo
    [ -p "$fifo" ] || fail "no FIFO at $fifo"
}

# Empties the FIFO of what an earlier writer left, then feeds $1 (raw s16le stereo) at real
# time, looping, until the session ends; $2, if given, is the size of the pieces in frames.
# What the feeder says (the audio it could not feed in time) goes to the file $feeder_log if
# that is set.
start_feeder() {
    dd if="$fifo" iflag=nonblock of=/dev/null bs=1M count=16 2>/dev/null || true
    "$feeder" "$fifo" "$1" ${2:+"$2"} 2>>"${feeder_log:-/dev/stderr}" &
    feeder_pid=$!
    session_pids+=("$feeder_pid")
}

# Copies the recorder and its help file into a fresh directory $1, without the build folder's
# parameter file: the copy starts as a folder without settings does, with the parameter-file
# message.
fresh_copy() {
    mkdir -p "$1"
    cp "$build_dir/sonocap" "$build_dir/sonocap.hlp" "$1/"
}

# Starts the recorder of directory $1 with the working directory $2 (where its save dialog
# opens the first time); app_pid is its PID.
start_recorder() {
    (cd "$2" && exec "$1/sonocap") >>"$work/sonocap.log" 2>&1 &
    app_pid=$!
    session_pids+=("$app_pid")
}

# Drops PID $1 from the processes to stop: it has ended and been reaped, and its number may
# soon belong to another process.
forget_pid() {
    local kept=() pid
    for pid in "${session_pids[@]}"; do
        [ "$pid" = "$1" ] || kept+=("$pid")
    done
    session_pids=("${kept[@]}")
}

# Waits until the recorder process has ended; its exit status in app_status.
wait_recorder_exit() {
    local timeout=$1
    for _ in $(seq $((timeout * 20))); do
        kill -0 "$app_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$app_pid" 2>/dev/null && fail "the recorder did not end within $timeout s"
    app_status=0
    wait "$app_pid" || app_status=$?
    forget_pid "$app_pid"
}

# The id of the visible window whose title matches the regular expression $1, waiting up to
# $2 seconds for it; of process $3 alone when given (two copies have the same titles).
wait_window() {
    local pattern=$1 timeout=$2 id
    for _ in $(seq $((timeout * 10))); do
        id=$(xdotool search --onlyvisible ${3:+--pid "$3"} --name "$pattern" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds until window $1 has the keyboard focus: keys sent before that are lost.
wait_focus() {
    local win=$1 timeout=$2
    for _ in $(seq $((timeout * 10))); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$win" ] && return 0
        sleep 0.1
    done
    return 1
}

window_shown() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ]; }

wait_window_gone() {
    local pattern=$1 timeout=$2
    for _ in $(seq $((timeout * 10))); do
        window_shown "$pattern" || return 0
        sleep 0.1
    done
    return 1
}

# Sets WX, WY, WW, WH to the position and size of window $1.
window_geometry() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$1")"
    WX=$X WY=$Y WW=$WIDTH WH=$HEIGHT
}

# Dialog units of the recorder's layout in pixels: 1 unit across = 1.5 px, 1 unit down =
# 1.625 px, rounded to the nearest pixel (the layout rounds both corners of a control).
dux() { echo $(((${1} * 6 + 2) / 4)); }
duy() { echo $(((${1} * 13 + 4) / 8)); }

# Sets CX, CY (window coordinates) to the centre of the control at x y w h dialog units,
# and RX RY RW RH to its pixel rectangle.
control_at() {
    RX=$(dux "$1") RY=$(duy "$2")
    RW=$(($(dux $(($1 + $3))) - RX)) RH=$(($(duy $(($2 + $4))) - RY))
    CX=$((RX + RW / 2)) CY=$((RY + RH / 2))
}

# Clicks the centre of the control at x y w h dialog units of window $1.
click_control() {
    local win=$1
    shift
    control_at "$@"
    xdotool mousemove --window "$win" "$CX" "$CY" click 1
}

# The text of a line-edit control at x y w h dialog units of window $1: a triple click selects
# all of it, and the X primary selection hands it over.
field_text() {
    local win=$1
    shift
    control_at "$@"
    xdotool mousemove --window "$win" "$CX" "$CY" click --repeat 3 --delay 40 1
    sleep 0.15
    timeout 5 xclip -o -selection primary 2>/dev/null || true
}

# Reads the field at x y w h dialog units of window $1 until its text matches the regular
# expression $2 (a busy program may not have taken the clicks yet), up to five times; the last
# text read in FIELD.
field_matches() {
    local win=$1 pattern=$2
    shift 2
    for _ in 1 2 3 4 5; do
        FIELD=$(field_text "$win" "$@")
        [[ "$FIELD" =~ $pattern ]] && return 0
        sleep 0.3
    done
    return 1
}

# The text of the message box $1: a click into its text, select all, copy, read the clipboard.
message_text() {
    local win=$1
    window_geometry "$win"
    xdotool mousemove --window "$win" $((WW / 2)) 26 click 1 key ctrl+a ctrl+c
    sleep 0.15
    timeout 5 xclip -o -selection clipboard 2>/dev/null || true
}

# Presses key $1 until no window titled like $2 is shown, up to three times.
press_until_gone() {
    local key=$1 pattern=$2
    for _ in 1 2 3; do
        xdotool key "$key"
        wait_window_gone "$pattern" 3 && return 0
    done
    return 1
}

# Types $1 into the focused window, then presses Return.
type_and_enter() {
    xdotool type --delay 25 "$1"
    xdotool key Return
}

shot_number=0
# A screenshot of the whole screen into the output folder: NN-name.png; its path in SHOT.
screenshot() {
    shot_number=$((shot_number + 1))
    SHOT=$(printf '%s/%02d-%s.png' "$out" "$shot_number" "$1")
    import -window root "$SHOT" || fail "no screenshot $SHOT"
}

# A digest of the pixels of rectangle x y w h (screen pixels) of screenshot $1.
pixels_digest() {
    convert "$1" -crop "${4}x${5}+${2}+${3}" +repage rgb:- | md5sum | cut -d' ' -f1
}

# A digest of the control at x y w h dialog units, in screenshot $1 of the window at WX WY.
control_digest() {
    local file=$1
    shift
    control_at "$@"
    pixels_digest "$file" $((WX + RX)) $((WY + RY)) "$RW" "$RH"
}

# Polls the size of file $1 until it exists and has grown past $2 bytes, for up to $3 seconds.
wait_file_size() {
    local file=$1 size=$2 timeout=$3
    for _ in $(seq $((timeout * 20))); do
        [ -f "$file" ] && [ "$(stat -c %s "$file")" -gt "$size" ] && return 0
        sleep 0.05
    done
    return 1
}

# VmHWM and VmRSS of process $1 in kB.
memory_of() {
    awk '/^VmHWM|^VmRSS/ { printf "%s %s kB  ", $1, $2 }' "/proc/$1/status"
}
