#!/usr/bin/env bash
# The recorder as a new user meets it: the real program from a fresh copy of its directory on a
# private X server, recording from the PulseAudio test server's source while corpus music is
# fed to it at real time, driven only through the X server (clicks at the controls' positions,
# keys, a file name typed into the save dialog). A screenshot of every step goes to OUTPUT_DIR.
#
#   recorder_e2e_test.sh BUILD_DIR OUTPUT_DIR CORPUS_DIR
#
# BUILD_DIR holds sonocap, sonocap.hlp and sonocap-cx, and tests/e2e/ the feeder and the
# matcher; CORPUS_DIR the test clips. Uses the audio server of test.sh (SONOCAP_AUDIO_TEST_DIR) or starts its own.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
out=$2
corpus=$(cd "$3" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-e2e-XXXXXX")
feeder=$build_dir/tests/e2e/fifo_feeder
matcher=$build_dir/tests/e2e/signal_match
cx=$build_dir/sonocap-cx
. "$source_dir/tests/e2e/x_session.sh"
. "$source_dir/tests/e2e/recorder_controls.sh"
. "$source_dir/tests/e2e/interrupted_takes.sh"
mounted_disk=""
trap 'session_cleanup; [ -z "$mounted_disk" ] || umount -l "$mounted_disk"; cp "$work/sonocap.log" "$out/" 2>/dev/null; rm -rf "$work"' EXIT
# A test run that is cut short (ctest's timeout, Ctrl+C) still stops what it started.
trap 'exit 1' TERM INT HUP

for tool in Xvfb xdotool xclip import convert sox soxi; do
    command -v "$tool" >/dev/null || fail "$tool is missing: scripts/bootstrap.sh installs it"
done
rm -rf "$out"
mkdir -p "$out"
app=$work/app
recordings=$work/recordings
mkdir -p "$recordings" "$work/home"
fresh_copy "$app"
# The save dialog keeps its history in the user's configuration: a clean one for the test.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config

use_audio_server
start_x_server
# Every take that ends by itself is also told through the desktop's notification service.
start_notification_service
notified=0
read -r screen_w screen_h < <(xdotool getdisplaygeometry)
signal=$work/signal.raw
sox -D "$corpus/d2_game_score.wav" -t raw "$signal"
start_feeder "$signal"

# Polls for up to $1 seconds until the control at x y w h dialog units of the recorder window
# looks as in $2 (a digest).
wait_control_look() {
    local timeout=$1 digest=$2
    shift 2
    for _ in $(seq $((timeout * 5))); do
        import -window root "$work/poll.png"
        [ "$(control_digest "$work/poll.png" "$@")" = "$digest" ] && return 0
        sleep 0.2
    done
    return 1
}

# How bright the two meters are in screenshot $1, from 0 to 1: about 0.2 when they are down
# (every segment dark), about 0.4 with music playing.
meters_brightness() {
    control_at 21 34 125 14
    convert "$1" -crop "${RW}x${RH}+$((WX + RX))+$((WY + RY))" +repage -colorspace gray \
        -format '%[fx:mean]' info:
}
meters_up() { awk -v b="$(meters_brightness "$1")" 'BEGIN { exit !(b > 0.3) }'; }
meters_down() { awk -v b="$(meters_brightness "$1")" 'BEGIN { exit !(b < 0.25) }'; }

# The recorder window alone, cut from the screenshot $1, as $2.
window_picture() {
    convert "$1" -crop "${WW}x${WH}+${WX}+${WY}" +repage "$2"
}

# Keeps the pointer off the controls, so that no control is drawn hovered in a screenshot.
park_pointer() {
    xdotool mousemove --window "$recorder" 4 4
}

expect_text() {
    local what=$1 actual=$2 expected=$3
    [ "$actual" = "$expected" ] || fail "$what shows '$actual', expected '$expected'"
}

# Fails unless the field at x y w h dialog units of the recorder shows exactly $2 ($1 names it).
expect_field() {
    local what=$1 expected=$2
    shift 2
    for _ in 1 2 3 4 5; do
        FIELD=$(field_text "$recorder" "$@")
        [ "$FIELD" = "$expected" ] && return 0
        sleep 0.3
    done
    fail "$what shows '$FIELD', expected '$expected'"
}

# Gives the recorder the keyboard focus with a click on its border, where no control is.
focus_recorder() {
    xdotool mousemove --window "$recorder" 1 1 click 1
    wait_focus "$recorder" 10 || fail "the recorder does not take the keyboard focus"
}

# Presses Record and answers the WAV save dialog with the name $1, after a screenshot named $2
# when one is given.
start_wave_take() {
    click_control "$recorder" $RECORD_BUTTON
    save=$(wait_window "$WAVE_SAVE_TITLE" 30) || fail "no save dialog for $1"
    wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
    [ -z "${2:-}" ] || screenshot "$2"
    type_and_enter "$1"
}

# Fails unless message box $1 holds the text $2, read up to three times.
expect_message() {
    local win=$1 expected=$2 text
    for _ in 1 2 3; do
        text=$(message_text "$win")
        [ "$text" = "$expected" ] && return 0
        sleep 0.3
    done
    fail "the message box says '$text', expected '$expected'"
}

# Polls for up to $1 seconds until the control at x y w h dialog units looks different from
# $2 (a digest); the screenshot that shows it in POLL.
wait_control_change() {
    local timeout=$1 digest=$2
    shift 2
    POLL=$work/poll.png
    for _ in $(seq $((timeout * 5))); do
        import -window root "$POLL"
        [ "$(control_digest "$POLL" "$@")" != "$digest" ] && return 0
        sleep 0.2
    done
    return 1
}

# Milliseconds since the epoch.
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# Waits up to $2 seconds for a line matching the regular expression $1 in the recorder's log;
# FOUND_MS is when the log was last written, at or after the line (this script may have been
# busy elsewhere when the line came).
wait_log_line() {
    local pattern=$1 timeout=$2
    for _ in $(seq $((timeout * 100))); do
        if grep -qE "$pattern" "$work/sonocap.log"; then
            FOUND_MS=$(date -r "$work/sonocap.log" +%s%3N)
            return 0
        fi
        sleep 0.01
    done
    return 1
}

# The id of the tooltip that process $1 shows, waiting up to $2 seconds.
wait_tooltip() {
    local pid=$1 timeout=$2 id
    for _ in $(seq $((timeout * 20))); do
        for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            if xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.05
    done
    return 1
}

# Sets TX, TY, TW, TH to the position and size of tooltip $1, and fails unless it is at most
# two lines high (one_line_tip_h is the height of one) and 400 pixels wide; $2 names it.
expect_short_tip() {
    local recorder_at="$WX $WY $WW $WH"
    window_geometry "$1"
    TX=$WX TY=$WY TW=$WW TH=$WH
    read -r WX WY WW WH <<<"$recorder_at"
    note "   $2: a tooltip of ${TW}x${TH} pixels (one line is $one_line_tip_h high)"
    [ "$TW" -le 400 ] || fail "$2 is $TW pixels wide"
    [ "$TH" -le $((2 * one_line_tip_h)) ] || fail "$2 is $TH pixels high: more than two lines"
}

# ---------------------------------------------------------------------------------------
note "1. first start: the parameter file message, then the recorder, centred"
start_recorder "$app" "$recordings"
box=$(wait_window "$PARAMETER_MESSAGE_TITLE" 30) || fail "no parameter file message"
window_shown "$RECORDER_TITLE" && fail "the recorder window came before the message"
screenshot parameter-file-message
expect_message "$box" "$(printf '\n%s\n%s' \
    "    The parameter File is invalid. The program   " \
    "      will start with a set of default parameter.")"
press_until_gone Return "$PARAMETER_MESSAGE_TITLE" || fail "the message does not go"
recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window after the message"
window_geometry "$recorder"
read -r size_w size_h <<<"$WINDOW_SIZE"
[ "$WW" -eq "$(dux "$size_w")" ] && [ "$WH" -eq "$(duy "$size_h")" ] ||
    fail "the window is ${WW}x${WH} pixels"
off_x=$((2 * WX + WW - screen_w)) off_y=$((2 * WY + WH - screen_h))
[ "${off_x#-}" -le 2 ] && [ "${off_y#-}" -le 2 ] ||
    fail "the window at $WX,$WY (${WW}x${WH}) is not centred on the ${screen_w}x${screen_h} screen"
park_pointer
# Within one display tick the peak readouts change from "-inf" to "-inf dB".
sleep 0.5
screenshot idle
idle=$SHOT
window_picture "$idle" "$out/recorder-idle.png"
expect_field RecordedField "recorded" $RECORDED_FIELD
expect_field RemainingField "remaining" $REMAINING_FIELD
expect_field LeftPeakField "-inf dB" $LEFT_PEAK_FIELD
expect_field RightPeakField "-inf dB" $RIGHT_PEAK_FIELD
idle_record_button=$(control_digest "$idle" $RECORD_BUTTON)
idle_compression=$(control_digest "$idle" $COMPRESSION_CHECK)
meters_down "$idle" || fail "the meters are up before a recording"
idle_peaks=$(control_digest "$idle" 148 33 26 15)
# The About box on Alt+A, over the recorder; Escape ends it.
focus_recorder
xdotool key alt+a
about=$(wait_window "$ABOUT_TITLE" 10) || fail "no About box on Alt+A"
sleep 0.3
screenshot about
window_geometry "$about"
window_picture "$SHOT" "$out/about-box.png"
press_until_gone Escape "$ABOUT_TITLE" || fail "the About box does not go on Escape"
window_shown "$RECORDER_TITLE" || fail "the recorder went with the About box"
window_geometry "$recorder"
# A tooltip of one line, Pause's, against which the reasons' lines are counted.
focus_recorder
control_at $PAUSE_BUTTON
xdotool mousemove --window "$recorder" "$CX" "$CY"
tip=$(wait_tooltip "$app_pid" 5) || fail "Pause shows no tooltip"
one_line_tip_h=$(xdotool getwindowgeometry --shell "$tip" | sed -n 's/^HEIGHT=//p')
park_pointer

# ---------------------------------------------------------------------------------------
note "2. compression on, record into take1: the save dialog offers cx"
click_control "$recorder" $COMPRESSION_CHECK
park_pointer
wait_control_change 5 "$idle_compression" $COMPRESSION_CHECK || fail "the compression box stays"
screenshot compression-ticked
ticked_compression=$(control_digest "$SHOT" $COMPRESSION_CHECK)
click_control "$recorder" $RECORD_BUTTON
save=$(wait_window "$COMPAXA_SAVE_TITLE" 30) || fail "no save dialog for a Compaxa file"
wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
screenshot save-dialog-cx
# No extension typed: the dialog's default extension names the file.
type_and_enter take1
wait_window_gone "$COMPAXA_SAVE_TITLE" 10 || fail "the save dialog stayed open"
take1=$recordings/take1.cx
wait_file_size "$take1" 0 10 || fail "no file $take1: the dialog did not offer cx"
recording_started=$(date +%s%N)
park_pointer
sleep 1
screenshot recording-early
early=$SHOT
[ "$(control_digest "$early" $RECORD_BUTTON)" != "$idle_record_button" ] ||
    fail "the record button still shows the record image"
sleep 2.5
screenshot recording
later=$SHOT
window_picture "$later" "$out/recorder-recording.png"
[ "$(control_digest "$early" $RECORDED_FIELD)" != "$(control_digest "$later" $RECORDED_FIELD)" ] ||
    fail "the elapsed time did not advance"
[ "$(control_digest "$early" 21 34 125 14)" != "$(control_digest "$later" 21 34 125 14)" ] ||
    fail "the meters did not move"
meters_up "$early" && meters_up "$later" || fail "the meters stay down"
[ "$(control_digest "$later" 148 33 26 15)" != "$idle_peaks" ] || fail "the peak readouts stay"
field_matches "$recorder" '^00:0[3-9] min$' $RECORDED_FIELD ||
    fail "elapsed time '$FIELD' after about 4 s"
elapsed=$FIELD
field_matches "$recorder" '^[0-9]+:[0-5][0-9] min$' $REMAINING_FIELD || fail "time left '$FIELD'"
left=$FIELD
[[ "$left" =~ ^([0-9]+):([0-9]+) ]]
left_s=$((10#${BASH_REMATCH[1]} * 60 + 10#${BASH_REMATCH[2]}))
free_bytes=$(df -B1 --output=avail "$recordings" | tail -n 1 | tr -d ' ')
# Compressed, the time left lies between that of plain samples and four times it, and never
# beyond the 24 347 s that the file's 32-bit sizes allow.
plain_s=$((free_bytes / 176400))
low=$((plain_s * 9 / 10)) high=$((plain_s * 4))
[ "$low" -le 24000 ] || low=24000
[ "$high" -le 24347 ] || high=24347
[ "$left_s" -ge "$low" ] && [ "$left_s" -le "$high" ] ||
    fail "time left $left_s s, for $free_bytes free bytes (plain samples: $plain_s s)"
for field in LEFT_PEAK_FIELD RIGHT_PEAK_FIELD; do
    field_matches "$recorder" '^ *-[0-9]+\.[0-9]dB$' ${!field} || fail "$field shows '$FIELD'"
done
note "   elapsed '$elapsed', left '$left' for $free_bytes free bytes"
park_pointer
sleep_until_recorded() {
    local until_ns=$((recording_started + $1 * 1000000))
    while [ "$(date +%s%N)" -lt "$until_ns" ]; do sleep 0.05; done
}
sleep_until_recorded 5000

# ---------------------------------------------------------------------------------------
note "3. pause 2 s, resume, stop; record again into take1: the overwrite question"
click_control "$recorder" $PAUSE_BUTTON
park_pointer
sleep 0.5
field_matches "$recorder" '^[0-9]+:[0-9]+ min$' $RECORDED_FIELD || fail "elapsed time '$FIELD'"
paused_at=$FIELD
park_pointer
sleep 1.5
screenshot paused
meters_down "$SHOT" || fail "the meters are up in the pause"
expect_field "RecordedField in the pause" "$paused_at" $RECORDED_FIELD
click_control "$recorder" $PAUSE_BUTTON
park_pointer
sleep 1.5
screenshot resumed
meters_up "$SHOT" || fail "the meters stay down after the pause"
click_control "$recorder" $RECORD_BUTTON
park_pointer
wait_control_look 5 "$idle_record_button" $RECORD_BUTTON || fail "the record image did not return"
screenshot stopped
expect_field "RecordedField after the stop" "recorded" $RECORDED_FIELD
expect_field "RemainingField after the stop" "remaining" $REMAINING_FIELD
# Kept for the file checks: the next recording replaces it.
cp "$take1" "$work/take1-paused.cx"

click_control "$recorder" $RECORD_BUTTON
save=$(wait_window "$COMPAXA_SAVE_TITLE" 30) || fail "no save dialog the second time"
wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
type_and_enter take1
question=$(wait_window "$OVERWRITE_TITLE" 10) || fail "no overwrite question"
screenshot overwrite-question
# The text ends with a line break, which the shell's $(...) drops.
expect_message "$question" " File exist, do you want to overwrite it ? "
press_until_gone Return "$OVERWRITE_TITLE" || fail "the overwrite question stays"
park_pointer
for _ in $(seq 50); do
    [ "$(stat -c %s "$take1")" -lt "$(stat -c %s "$work/take1-paused.cx")" ] && break
    sleep 0.1
done
[ "$(stat -c %s "$take1")" -lt "$(stat -c %s "$work/take1-paused.cx")" ] ||
    fail "take1.cx was not replaced"
sleep 2.5
screenshot recording-again
[ "$(control_digest "$SHOT" $RECORD_BUTTON)" != "$idle_record_button" ] ||
    fail "the second recording does not run"

note "   a second copy chooses take1.cx, which the first records: the reason at once, no question"
first_pid=$app_pid first_recorder=$recorder
start_recorder "$app" "$recordings"
second_pid=$app_pid
# No settings were saved yet: the second copy meets the parameter file message too.
wait_window "$PARAMETER_MESSAGE_TITLE" 30 "$second_pid" >/dev/null ||
    fail "no parameter file message for the second copy"
press_until_gone Return "$PARAMETER_MESSAGE_TITLE" || fail "the message does not go"
recorder=$(wait_window "$RECORDER_TITLE" 30 "$second_pid") || fail "no second recorder window"
window_geometry "$recorder"
park_pointer
start_wave_take take1.cx
entered_ms=$(now_ms)
tip=$(wait_tooltip "$second_pid" 5) || fail "the second copy shows no reason"
note "   the reason shown $(($(now_ms) - entered_ms)) ms after the file was chosen"
sleep 1
window_shown "$OVERWRITE_TITLE" && fail "the second copy asks whether to overwrite a take in progress"
xdotool search --onlyvisible --pid "$second_pid" 2>/dev/null | grep -qx "$tip" ||
    fail "the reason did not stay"
expect_short_tip "$tip" "the second copy's reason"
screenshot second-copy-refused
grep -q "^sonocap: $take1: recording not started: another program holds this file locked" \
    "$work/sonocap.log" || fail "no log line of the refusal: $(grep 'not started' "$work/sonocap.log")"
# Ended as Escape does; a click for the focus could land on the first copy's window beneath.
kill -TERM "$second_pid"
wait_recorder_exit 20
[ "$app_status" -eq 0 ] || fail "the second copy ended with status $app_status"
app_pid=$first_pid recorder=$first_recorder
window_geometry "$recorder"

# ---------------------------------------------------------------------------------------
note "4. SIGTERM while recording ends the program as Escape does; the settings are saved"
kill -TERM "$app_pid"
wait_recorder_exit 20
[ "$app_status" -eq 0 ] || fail "the recorder ended with status $app_status"
grep -q '^sonocap: Terminated: ending; a running recording is finished first$' "$work/sonocap.log" ||
    fail "no log line of the signal"
screenshot ended
window_shown "$RECORDER_TITLE" && fail "the recorder window is still shown"
par=$app/sonocap.par
[ -f "$par" ] || fail "no sonocap.par beside the program"
[ "$(stat -c %s "$par")" -eq 272 ] || fail "sonocap.par has $(stat -c %s "$par") bytes"
expect_text "the magic" "$(od -An -tx1 -N4 "$par" | tr -d ' ')" "67190423"
expect_text "lastDirectory" "$(dd if="$par" bs=1 skip=4 count=260 2>/dev/null | tr '\0' '\n' |
    head -n 1)" "$recordings"
expect_text "compression" "$(od -An -td4 -j264 -N4 "$par" | tr -d ' ')" "1"
expect_text "dcFilter" "$(od -An -td4 -j268 -N4 "$par" | tr -d ' ')" "0"

# ---------------------------------------------------------------------------------------
note "5. second start: no message, compression ticked; a WAV recording"
start_recorder "$app" "$recordings"
recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window at the second start"
# A parameter file message would have come first, and the window only after it.
window_geometry "$recorder"
park_pointer
sleep 0.5
screenshot second-start
[ "$(control_digest "$SHOT" $COMPRESSION_CHECK)" = "$ticked_compression" ] ||
    fail "the compression box is not ticked at the second start"
click_control "$recorder" $COMPRESSION_CHECK
park_pointer
start_wave_take take2 save-dialog-wav
take2=$recordings/take2.wav
wait_file_size "$take2" 0 10 || fail "no file $take2"
wav_started=$(date +%s%N)
park_pointer
sleep 2.6
click_control "$recorder" $RECORD_BUTTON
wav_stopped=$(date +%s%N)
park_pointer
wait_control_look 5 "$idle_record_button" $RECORD_BUTTON || fail "the record image did not return"
# A take shorter than one capture buffer.
start_wave_take take3
take3=$recordings/take3.wav
wait_file_size "$take3" 0 10 || fail "no file $take3"
sleep 0.3
click_control "$recorder" $RECORD_BUTTON
park_pointer
wait_control_look 5 "$idle_record_button" $RECORD_BUTTON || fail "the record image did not return"

# ---------------------------------------------------------------------------------------
note "6. a take into a disk that fills ends by itself, with a finished file and its reason"
full_disk=$work/full-disk
mkdir -p "$full_disk"
if mount -t tmpfs -o size=1m tmpfs "$full_disk" 2>"$work/mount.txt"; then
    mounted_disk=$full_disk
    start_wave_take "$full_disk/full"
    park_pointer
    full=$full_disk/full.wav
    wait_file_size "$full" 0 10 || fail "no file $full"
    # 1 MiB holds about 6 s.
    wait_control_look 20 "$idle_record_button" $RECORD_BUTTON ||
        fail "the recording into a full disk did not end by itself"
    tip=$(wait_tooltip "$app_pid" 5) || fail "the full disk's reason is not shown"
    screenshot disk-full
    expect_short_tip "$tip" "the full disk's reason"
    # The window and its reason, for the README.
    left=$((WX < TX ? WX : TX)) top=$((WY < TY ? WY : TY))
    right=$((WX + WW > TX + TW ? WX + WW : TX + TW)) bottom=$((WY + WH > TY + TH ? WY + WH : TY + TH))
    convert "$SHOT" -crop "$((right - left + 16))x$((bottom - top + 16))+$((left - 8))+$((top - 8))" \
        +repage "$out/reason.png"
    "$cx" verify "$full" >"$out/verify-full.wav.txt" || fail "the file on the full disk does not verify"
    grep -q "^sonocap: $full: recording stopped after .*: the file could not be written: No space left on device; the file holds everything up to then\$" \
        "$work/sonocap.log" || fail "no log line of the full disk: $(grep full.wav "$work/sonocap.log")"
    note "   $(grep "$full: recording stopped" "$work/sonocap.log")"
    notified=$((notified + 1))
    expect_notifications "$notified" 5
    tail -n 1 "$NOTIFICATIONS" >"$out/notification-full-disk.json"
    expect_text "the notification's summary" "$(last_notification summary)" "Sonocap: recording stopped"
    # The body is the plain reason, its time the file's length.
    [[ "$(last_notification body)" =~ ^Stopped\ after\ ([0-9]+):([0-9][0-9]\.[0-9]):\ the\ disk\ is\ full\.\ Everything\ up\ to\ then\ is\ saved\.$ ]] ||
        fail "the notification's body: $(last_notification body)"
    awk -v m="${BASH_REMATCH[1]}" -v s="${BASH_REMATCH[2]}" -v d="$(soxi -D "$full")" \
        'BEGIN { t = m * 60 + s; exit !(t - d < 0.051 && d - t < 0.051) }' ||
        fail "the notification says ${BASH_REMATCH[1]}:${BASH_REMATCH[2]}, the file holds $(soxi -D "$full") s"
    expect_text "the notification's icon" "$(last_notification app_icon)" "org.sonocap.Sonocap"
    expect_text "the notification's timeout" "$(last_notification expire_timeout)" "0"
    expect_text "the notification's urgency" "$(last_notification hints.urgency)" "2"
    note "   notified: $(last_notification body)"
    note "   a start on the full disk fails at the header and leaves no file"
    second=$full_disk/second.wav
    start_wave_take "$full_disk/second"
    wait_log_line "^sonocap: $second: recording not started: the file's header could not be written: No space left on device\$" 10 ||
        fail "no log line of the failed start: $(tail -n 2 "$work/sonocap.log")"
    tip=$(wait_tooltip "$app_pid" 5) || fail "the failed start's reason is not shown"
    expect_short_tip "$tip" "the failed start's reason"
    [ ! -e "$second" ] || fail "the failed start left $(stat -c '%s bytes' "$second") in $second"
    park_pointer
    note "   the disk made read-only: full.wav is refused before the overwrite question"
    mount -o remount,ro "$full_disk" || fail "the full disk cannot be made read-only"
    start_wave_take "$full_disk/full"
    wait_log_line "^sonocap: $full: recording not started: the file could not be created: Read-only file system\$" 10 ||
        fail "no log line of the read-only disk: $(tail -n 2 "$work/sonocap.log")"
    tip=$(wait_tooltip "$app_pid" 5) || fail "the read-only disk's reason is not shown"
    expect_short_tip "$tip" "the read-only disk's reason"
    window_shown "$OVERWRITE_TITLE" && fail "the overwrite question came for a file on a read-only disk"
    park_pointer
else
    note "   SKIPPED: no tmpfs can be mounted here ($(head -c 200 "$work/mount.txt"))"
fi

note "   the input stops delivering (feeder gone): the take ends by itself after 3 s"
start_wave_take "$recordings/silent"
park_pointer
silent=$recordings/silent.wav
wait_file_size "$silent" 44 10 || fail "silent.wav does not grow"
stop_pid "$feeder_pid"
forget_pid "$feeder_pid"
wait_control_look 10 "$idle_record_button" $RECORD_BUTTON ||
    fail "the take did not end when the input stopped delivering"
grep -q "^sonocap: $silent: recording stopped after .*: the input device stopped delivering audio; the file holds everything up to then\$" \
    "$work/sonocap.log" || fail "no log line of the silent device: $(grep silent "$work/sonocap.log")"
notified=$((notified + 1))
expect_notifications "$notified" 5
"$cx" verify "$silent" >"$out/verify-silent.wav.txt" || fail "silent.wav does not verify"
start_feeder "$signal"
focus_recorder
xdotool key Escape
wait_recorder_exit 20
[ "$app_status" -eq 0 ] || fail "the recorder ended with status $app_status"

# ---------------------------------------------------------------------------------------
note "6b. killed with SIGKILL at several moments (tests/e2e/interrupted_takes.sh)"
interrupted_takes

# ---------------------------------------------------------------------------------------
note "7. the X server dies while recording: the take is finished, the settings are saved"
start_recorder "$app" "$recordings"
recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window at the third start"
window_geometry "$recorder"
start_wave_take "$recordings/take4"
take4=$recordings/take4.wav
wait_file_size "$take4" 44 10 || fail "take4.wav does not grow"
rm -f "$par"
stop_pid "$xvfb_pid"
forget_pid "$xvfb_pid"
wait_recorder_exit 20
[ "$app_status" -eq 1 ] || fail "the recorder ended with status $app_status when the display went"
grep -q "^sonocap: $take4: recording stopped after .* captured)\$" "$work/sonocap.log" ||
    fail "take4.wav was not finished: $(grep take4 "$work/sonocap.log")"
[ "$(stat -c %s "$par" 2>/dev/null)" = 272 ] || fail "the settings were not saved"
"$cx" verify "$take4" >"$out/verify-take4.wav.txt" || fail "take4.wav does not verify"

# ---------------------------------------------------------------------------------------
# The sound server's own cases: what the stream tells the server, moves between two sources
# (with pactl and from the window's Input menu), an unplugged source, and the server killed in
# the middle of a take. The recorder chooses libpulse when the server answers, PortAudio when
# SONOCAP_AUDIO=portaudio; the cases that need libpulse run only through it.
backend=${SONOCAP_AUDIO:-pulse}

# Opens the window's context menu and its Input submenu, then goes $1 items down from the
# default input and takes that item.
choose_input_from_menu() {
    xdotool mousemove --window "$recorder" 4 4 click 3
    sleep 0.4
    xdotool key i
    sleep 0.3
    local _i
    for ((_i = 0; _i < $1; _i++)); do xdotool key Down; done
    xdotool key Return
}

# Starts the recorder again on a new X server (the last one was killed in section 7).
restart_recorder_on_new_display() {
    start_x_server
    start_recorder "$app" "$recordings"
    recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window on the new display"
    window_geometry "$recorder"
}

# How long, in ms, the recorder takes to answer a click on the control at x y w h: the click
# is sent, then the clipboard (a field's text that the recorder copied) is asked of it; the
# recorder answers the request only after the click has been handled.
answer_ms() {
    local t0
    t0=$(now_ms)
    click_control "$recorder" "$@"
    timeout 5 xclip -o -selection clipboard >/dev/null 2>&1 || true
    echo $(($(now_ms) - t0))
}

sound_server_properties_and_moves() {
    note "8. libpulse: the stream's properties; moved between two sources by pactl and the menu"
    # Where a desktop's server remembers each program's input.
    restore_module=$(pactl load-module module-stream-restore)
    restart_recorder_on_new_display
    local src2_fifo=$SONOCAP_AUDIO_TEST_DIR/src2.fifo
    src2_module=$(pactl load-module module-pipe-source source_name=src2 file="$src2_fifo" \
        format=s16le rate=44100 channels=2 source_properties=device.description=Second)
    sox -D "$corpus/d3_tracker_music.wav" -t raw "$work/signal2.raw"
    cat "$signal" "$work/signal2.raw" >"$work/both.raw"
    "$feeder" "$src2_fifo" "$work/signal2.raw" &
    feeder2_pid=$!
    session_pids+=("$feeder2_pid")
    # A server that ran this before remembers src2: the default input first.
    choose_input_from_menu 0
    start_wave_take moved
    local moved=$recordings/moved.wav
    wait_file_size "$moved" 44 10 || fail "moved.wav does not grow"
    sleep 1.5
    pactl list source-outputs >"$out/source-outputs.txt"
    local property
    for property in 'application.name = "Sonocap"' 'application.id = "org.sonocap.Sonocap"' \
        'application.icon_name = "org.sonocap.Sonocap"' 'media.role = "production"' \
        'media.name = "moved.wav"'; do
        grep -qF "$property" "$out/source-outputs.txt" ||
            fail "pactl does not list $property: $(cat "$out/source-outputs.txt")"
    done
    local index
    index=$(pactl list short source-outputs | awk 'NR == 1 { print $1 }')
    pactl move-source-output "$index" src2
    sleep 2
    # Default input, Second, then the first source ("Unix FIFO source ...").
    choose_input_from_menu 2
    sleep 2
    click_control "$recorder" $RECORD_BUTTON
    park_pointer
    wait_control_look 5 "$idle_record_button" $RECORD_BUTTON || fail "the record image did not return"
    wait_log_line "^sonocap: .*the input moved from 'Unix FIFO source [^']*' to 'Second'" 5 ||
        fail "the log does not name the move to src2: $(cat "$work/sonocap.log")"
    wait_log_line "^sonocap: .*the input moved from 'Second' to 'Unix FIFO source [^']*'" 5 ||
        fail "the log does not name the move back: $(grep moved "$work/sonocap.log")"
    sox -D "$moved" -t raw "$work/moved.raw"
    "$matcher" "$work/both.raw" "$work/moved.raw" 3 >"$out/match-moved.txt" ||
        fail "moved.wav is not the first signal, the second, then the first: $(cat "$out/match-moved.txt")"
    local signal_frames
    signal_frames=$(($(stat -c %s "$signal") / 4))
    awk -v n="$signal_frames" '/^run/ { src[++k] = ($9 + 0 >= n) }
        END { exit !(k == 3 && src[1] == 0 && src[2] == 1 && src[3] == 0) }' "$out/match-moved.txt" ||
        fail "the runs of moved.wav do not come from the sources in turn: $(cat "$out/match-moved.txt")"
    note "   $(tail -n 1 "$out/match-moved.txt"); $(grep -c 'input moved' "$work/sonocap.log") moves logged"
    note "   a choice made between takes is remembered by the server for the next start"
    choose_input_from_menu 1
    focus_recorder
    xdotool key Escape
    wait_recorder_exit 20
    start_recorder "$app" "$recordings"
    recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window at the restart"
    window_geometry "$recorder"
}

sound_server_unplugged_source() {
    note "   the source in use is unplugged (its module unloaded): the take ends within 0.5 s"
    start_wave_take unplugged
    local unplugged=$recordings/unplugged.wav
    wait_file_size "$unplugged" 44 10 || fail "unplugged.wav does not grow"
    sleep 1.5
    pactl list short source-outputs | grep -q "	$(pactl list short sources | awk '$2 == "src2" { print $1 }')	" ||
        fail "the take does not record from src2, chosen before the restart: $(pactl list short source-outputs)"
    local t0
    t0=$(now_ms)
    pactl unload-module "$src2_module"
    wait_log_line "^sonocap: $unplugged: recording stopped after .*: the input was lost: the input 'Second' was unplugged; the file holds everything up to then\$" 5 ||
        fail "no stop line for the unplugged source: $(grep unplugged "$work/sonocap.log")"
    note "   ended $((FOUND_MS - t0)) ms after the unload"
    notified=$((notified + 1))
    expect_notifications "$notified" 5
    [ $((FOUND_MS - t0)) -le 500 ] || fail "the take ended $((FOUND_MS - t0)) ms after the unload"
    "$cx" verify "$unplugged" >"$out/verify-unplugged.wav.txt" || fail "unplugged.wav does not verify"
    note "   the next take falls back to the default input, and the log says so"
    start_wave_take fallback
    wait_file_size "$recordings/fallback.wav" 44 10 || fail "fallback.wav does not grow"
    grep -q "^sonocap: the chosen input 'src2' is not there; recording from the default input\$" \
        "$work/sonocap.log" || fail "no log line of the fallback: $(tail -n 3 "$work/sonocap.log")"
    click_control "$recorder" $RECORD_BUTTON
    park_pointer
    wait_control_look 5 "$idle_record_button" $RECORD_BUTTON || fail "the record image did not return"
    stop_pid "$feeder2_pid"
    forget_pid "$feeder2_pid"
    pactl unload-module "$restore_module"
    focus_recorder
    xdotool key Escape
    wait_recorder_exit 20
}

# A server of this section's own, killed in the middle of a take; $1 names the take, $2 the
# keys that end it: "pause-stop" (Pause, then Stop) or "escape".
sound_server_killed() {
    local name=$1 how=$2
    local own
    own=$(XDG_RUNTIME_DIR= SONOCAP_AUDIO_TEST_DIR= "$source_dir/scripts/audio-test-server.sh" start)
    local own_dir own_pid own_xdg
    own_dir=$(sed -n "s/^export SONOCAP_AUDIO_TEST_DIR='\(.*\)'$/\1/p" <<<"$own")
    own_pid=$(sed -n "s/^export SONOCAP_AUDIO_TEST_PID='\(.*\)'$/\1/p" <<<"$own")
    own_xdg=$(sed -n "s/^export XDG_RUNTIME_DIR='\(.*\)'$/\1/p" <<<"$own")
    session_pids+=("$own_pid")
    XDG_RUNTIME_DIR=$own_xdg "$feeder" "$own_dir/testsrc.fifo" "$signal" &
    local own_feeder=$!
    session_pids+=("$own_feeder")
    XDG_RUNTIME_DIR=$own_xdg start_recorder "$app" "$recordings"
    recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window for the killed server"
    window_geometry "$recorder"
    start_wave_take "$name"
    local take=$recordings/$name.wav
    wait_file_size "$take" 44 10 || fail "$name.wav does not grow"
    sleep 1
    # A field's text copied: the recorder owns the clipboard that answer_ms asks for, whatever
    # its fields show later.
    field_text "$recorder" $RECORDED_FIELD >/dev/null
    xdotool key ctrl+c
    sleep 0.5
    local t0 stopped_line="^sonocap: $take: recording stopped after" floor_ms
    # The same question about a click on a label, with the server alive: what xdotool, xclip and
    # the X server take by themselves on this machine, the slower of two tries.
    floor_ms=$(answer_ms 75 20 36 8)
    local again
    again=$(answer_ms 75 20 36 8)
    [ "$again" -le "$floor_ms" ] || floor_ms=$again
    t0=$(now_ms)
    kill -KILL "$own_pid"
    forget_pid "$own_pid"
    if [ "$how" = pause-stop ]; then
        local pause_ms stop_ms=""
        if [ "$backend" = pulse ]; then
            # Through libpulse the take ends by itself at once; the window answers meanwhile.
            pause_ms=$(answer_ms $PAUSE_BUTTON)
            wait_log_line "$stopped_line .*: the input was lost: the sound server stopped; the file holds everything up to then\$" 5 ||
                fail "no stop line naming the server: $(grep "$name" "$work/sonocap.log")"
            note "   the take ended by itself $((FOUND_MS - t0)) ms after the kill"
            [ $((FOUND_MS - t0)) -le 500 ] || fail "the take ended $((FOUND_MS - t0)) ms after the kill"
        else
            pause_ms=$(answer_ms $PAUSE_BUTTON)
            stop_ms=$(answer_ms $RECORD_BUTTON)
        fi
        note "   $backend, server killed: Pause answered in $pause_ms ms, Stop in" \
            "${stop_ms:-(no take left)} ms; a click on a label in $floor_ms ms before the kill"
        [ $((pause_ms - floor_ms)) -le 100 ] && [ $((${stop_ms:-$floor_ms} - floor_ms)) -le 100 ] ||
            fail "the window took $pause_ms ms (Pause) and ${stop_ms:-0} ms (Stop) to answer," \
                "$floor_ms ms for a label"
        focus_recorder
        xdotool key Escape
        wait_recorder_exit 20
    else
        focus_recorder
        t0=$(now_ms)
        xdotool key Escape
        wait_recorder_exit 20
        note "   $backend, server killed: Escape ended the program in $(($(now_ms) - t0)) ms"
    fi
    stop_pid "$own_feeder"
    forget_pid "$own_feeder"
    rm -rf "$own_dir"
    grep -q "^sonocap: $take: recording stopped after" "$work/sonocap.log" ||
        fail "$name.wav was not finished: $(grep "$name" "$work/sonocap.log")"
    "$cx" verify "$take" >"$out/verify-$name.wav.txt" || fail "$name.wav does not verify"
    note "   $(grep "^sonocap: $take: recording stopped" "$work/sonocap.log")"
    # What PortAudio's ALSA code prints when the server goes reaches the log as one line.
    if grep -v '^sonocap: the audio system reported: ' "$work/sonocap.log" | grep -q 'pa_linux_alsa'; then
        fail "ALSA's own traces reach standard error: $(grep pa_linux_alsa "$work/sonocap.log")"
    fi
}

if [ "$backend" = pulse ]; then
    sound_server_properties_and_moves
    sound_server_unplugged_source
else
    restart_recorder_on_new_display
    focus_recorder
    xdotool key Escape
    wait_recorder_exit 20
fi
note "9. the sound server killed in the middle of a take ($backend), no notification service"
# A bus without the service: an end nobody asked for is told in the window alone, and the
# window never waits for the bus (the answer times above).
stop_notification_service
sound_server_killed killed-paused pause-stop
sound_server_killed killed-escaped escape
! grep -i 'dbus' "$work/sonocap.log" || fail "the recorder complained about the bus"

# ---------------------------------------------------------------------------------------
note "files: verified, the fed music sample for sample, the WAV's duration"
for take in "$work/take1-paused.cx" "$take1"; do
    "$cx" verify "$take" >"$out/verify-$(basename "$take").txt" || fail "$take does not verify"
done
# The paused take is two stretches of the music; the others one each. The DC filter is off,
# so every sample is the fed one.
match() {
    local name=$1 file=$2 runs=$3
    sox -D "$file" -t raw "$work/$name.raw"
    "$matcher" "$signal" "$work/$name.raw" "$runs" >"$out/match-$name.txt" ||
        fail "$name is not the fed music: $(tail -n 1 "$out/match-$name.txt")"
    note "   $name: $(tail -n 1 "$out/match-$name.txt")"
}
"$cx" decode "$work/take1-paused.cx" "$work/take1-paused.wav" >/dev/null
"$cx" decode "$take1" "$work/take1.wav" >/dev/null
match take1-paused "$work/take1-paused.wav" 2
match take1 "$work/take1.wav" 1
match take2 "$take2" 1
[ "$(soxi -r "$take2") $(soxi -c "$take2") $(soxi -b "$take2")" = "44100 2 16" ] ||
    fail "take2.wav is not 16-bit stereo at 44100 Hz"
frames=$(soxi -s "$take2")
[ "$frames" -eq $((($(stat -c %s "$take2") - 44) / 4)) ] ||
    fail "the header of take2.wav counts $frames frames, its data holds other"
wall=$(((wav_stopped - wav_started) * 441 / 10000000))
# 0.5 s either way for the time between this script's clicks and the program's reactions on a
# busy machine.
note "   take2.wav: $frames frames, $wall frames between the clicks"
[ "$frames" -ge $((wall - 22050)) ] && [ "$frames" -le $((wall + 22050)) ] ||
    fail "take2.wav holds $frames frames for $wall frames of recording"
# Every frame the device captured up to the Stop is in the file, also the last part-filled
# buffer: the count the log gives for the device is the file's.
match take3 "$take3" 1
for take in "$take2" "$take3"; do
    line=$(grep "^sonocap: $take: recording stopped after" "$work/sonocap.log") ||
        fail "no stop line for $take in the log"
    [[ "$line" =~ \(([0-9]+)\ frames\ stored\ of\ ([0-9]+)\ captured\)$ ]] ||
        fail "the stop line says: $line"
    in_file=$(soxi -s "$take")
    note "   $(basename "$take"): $in_file frames in the file; the log: ${BASH_REMATCH[0]}"
    [ "$in_file" -gt 0 ] && [ "$in_file" -eq "${BASH_REMATCH[1]}" ] &&
        [ "$in_file" -eq "${BASH_REMATCH[2]}" ] ||
        fail "$take holds $in_file frames; the log: $line"
done
echo "recorder end to end: passed; screenshots in $out"
