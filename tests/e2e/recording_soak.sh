#!/usr/bin/env bash
# A long recording as a person makes it, run by hand (not part of the test run): the recorder
# from a fresh copy of its directory on a private X server, the test audio server's source fed
# with corpus music at real time, compression and the DC filter on. It notes the memory of
# the recorder every minute, ends the recording with Escape and checks the file.
#
#   tests/e2e/recording_soak.sh BUILD_DIR [MINUTES=30] [OUTPUT_DIR]
#
# BUILD_DIR holds sonocap, sonocap.hlp, sonocap-cx and tests/e2e/fifo_feeder. Prints, per
# minute, VmHWM (peak resident memory) and VmRSS of the recorder, and at the end the file's
# duration against the time recorded, less what the feeder, held up by a busy machine, could
# not feed in time (feeder.log in the output folder). A recording that stopped by itself shows
# as a record button back in its idle image and a short file; the recorder's log (sonocap.log
# in the output folder) must name no lost input and no end but the one asked for.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
minutes=${2:-30}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
out=${3:-$build_dir/tests/e2e/soak}
# The test clips are where the build tree's configuration put them.
corpus=$(sed -n 's/^SONOCAP_CORPUS_DIR:PATH=//p' "$build_dir/CMakeCache.txt")
mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-soak-XXXXXX")
feeder=$build_dir/tests/e2e/fifo_feeder
cx=$build_dir/sonocap-cx
. "$source_dir/tests/e2e/x_session.sh"
. "$source_dir/tests/e2e/recorder_controls.sh"
trap 'session_cleanup; rm -rf "$work"' EXIT
trap 'exit 1' TERM INT HUP

# The recording lands in the output folder, so that it outlives the run.
recordings=$out/recordings
rm -rf "$recordings"
mkdir -p "$recordings"
app=$work/app
fresh_copy "$app"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME"

use_audio_server
start_x_server
sox -D "$corpus/d2_game_score.wav" -t raw "$work/signal.raw"
feeder_log=$out/feeder.log
: >"$feeder_log"
start_feeder "$work/signal.raw"

start_recorder "$app" "$recordings"
box=$(wait_window "$PARAMETER_MESSAGE_TITLE" 30) || fail "no parameter file message"
xdotool mousemove --window "$box" 5 5 key Return
recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window"
window_geometry "$recorder"
click_control "$recorder" $COMPRESSION_CHECK
click_control "$recorder" $DC_FILTER_CHECK
click_control "$recorder" $RECORD_BUTTON
wait_window "$COMPAXA_SAVE_TITLE" 30 >/dev/null || fail "no save dialog for a Compaxa file"
type_and_enter soak
file=$recordings/soak.cx
wait_file_size "$file" 40 30 || fail "the recording did not start"
started=$(date +%s.%N)
held_before=$(wc -l <"$feeder_log")
note "recording into $file for $minutes min (recorder PID $app_pid)"
sleep 1
screenshot recording-started
stop_button=$(control_digest "$SHOT" $RECORD_BUTTON)

log=$out/memory.log
: >"$log"
for minute in $(seq "$minutes"); do
    while [ "$(date +%s)" -lt $((${started%.*} + 60 * minute)) ]; do sleep 1; done
    kill -0 "$app_pid" 2>/dev/null || fail "the recorder ended by itself"
    line="minute $minute: $(memory_of "$app_pid") file $(stat -c %s "$file") bytes"
    echo "$line" | tee -a "$log"
done
screenshot recording-end
[ "$(control_digest "$SHOT" $RECORD_BUTTON)" = "$stop_button" ] ||
    fail "the record button no longer shows the stop image: the recording stopped by itself"
elapsed=$(field_text "$recorder" $RECORDED_FIELD)
# The audio the feeder could not feed in time during the take never reached the source.
not_fed=$(awk -v skip="$held_before" 'NR > skip && /held up/ { n += $4 } END { print n + 0 }' \
    "$feeder_log")
xdotool mousemove --window "$recorder" 5 5 key Escape
stopped=$(date +%s.%N)
wait_recorder_exit 30
note "recorder ended with status $app_status; the window showed '$elapsed'"

"$cx" verify "$file" || fail "the recording does not verify"
"$cx" info "$file" | tee "$out/info.txt"
frames=$("$cx" info "$file" | awk '/^frames:/ { print $2 }')
wall=$(awk -v a="$started" -v b="$stopped" -v n="$not_fed" 'BEGIN { printf "%d", (b - a) * 44100 - n }')
cp "$work/sonocap.log" "$out/sonocap.log"
grep '^sonocap: ' "$out/sonocap.log" | tee -a "$log"
! grep -q 'input lost' "$out/sonocap.log" || fail "the recorder reported lost input"
grep -q "^sonocap: $file: recording stopped after [0-9:.]* ([0-9]* frames stored of [0-9]* captured)\$" \
    "$out/sonocap.log" || fail "the recording did not end as asked"
# What waited in the FIFO at the start comes at once (up to 16 384 frames more); 0.5 s either
# way for the time between the program's actions and this script seeing them. An overrun would
# have stopped the recording long before.
echo "recorded $frames frames in $wall frames of wall time less $not_fed that the feeder," \
    "held up by the machine, did not feed (difference $((wall - frames)))" |
    tee -a "$log"
[ $((wall - frames)) -ge $((-16384 - 22050)) ] && [ $((wall - frames)) -le 22050 ] ||
    fail "the recording lost time: an overrun or a gap"
echo "soak passed: $minutes min, output in $out"
