#!/usr/bin/env bash
# What the recorder costs the machine, as a whole process: the real program from a fresh copy
# of its directory with a valid parameter file (compression and DC filter on), on a private X
# server, recording from the test audio server's source while corpus music is fed at real time.
# Each run measures the window at rest, then a recording; the medians of all runs close the
# report.
#
#   bench/recorder-cpu.sh [BUILD_DIR=build] [RUNS=3] [REST_S=30] [RECORD_S=60]
#
# CPU is utime + stime of /proc/PID/stat (all threads, also ended ones) as a share of one core;
# wake-ups are the voluntary context switches of all the recorder's threads per second; peak
# memory is VmHWM. The load average is printed beside each figure: other work on the machine
# slows the recorder's own work down too.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build}" && pwd)
runs=${2:-3}
rest_s=${3:-30}
record_s=${4:-60}
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-cpu-XXXXXX")
out=$work/shots
feeder=$build_dir/tests/e2e/fifo_feeder
. "$source_dir/tests/e2e/x_session.sh"
. "$source_dir/tests/e2e/recorder_controls.sh"
# A failed run shows what the recorder and the X server said before the folder goes.
trap 'status=$?; [ "$status" -ne 0 ] && tail -n 5 "$work/sonocap.log" "$work/xvfb.log" 2>/dev/null
    session_cleanup; rm -rf "$work"' EXIT
trap 'exit 1' TERM INT HUP

[ -x "$build_dir/sonocap" ] && [ -x "$feeder" ] ||
    fail "build sonocap and fifo_feeder first: cmake --build $build_dir --target sonocap fifo_feeder"
mkdir -p "$out" "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
ticks_per_s=$(getconf CLK_TCK)

use_audio_server
start_x_server
corpus=$(sed -n 's/^SONOCAP_CORPUS_DIR:PATH=//p' "$build_dir/CMakeCache.txt")
sox -D "$corpus/d2_game_score.wav" -t raw "$work/signal.raw"
start_feeder "$work/signal.raw"

# A 272-byte parameter file: the magic, the recordings folder as last directory, compression
# and DC filter on.
write_parameters() {
    local file=$1 directory=$2
    {
        printf '\x67\x19\x04\x23'
        printf '%s' "$directory"
        head -c $((260 - ${#directory})) /dev/zero
        printf '\x01\x00\x00\x00\x01\x00\x00\x00'
    } >"$file"
    [ "$(stat -c %s "$file")" -eq 272 ] || fail "the parameter file has the wrong size"
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n }'; }
load1() { cut -d' ' -f1 /proc/loadavg; }

# Measures process $1 for $2 seconds; sets CPU (percent of one core) and WAKE (per second).
measure() {
    local pid=$1 seconds=$2 t0 w0 s0 t1 w1 s1
    t0=$(cpu_ticks "$pid") w0=$(wakeups "$pid") s0=${EPOCHREALTIME/./}
    sleep "$seconds"
    t1=$(cpu_ticks "$pid") w1=$(wakeups "$pid") s1=${EPOCHREALTIME/./}
    kill -0 "$pid" 2>/dev/null || fail "the recorder ended during the measurement"
    CPU=$(awk -v t=$((t1 - t0)) -v hz="$ticks_per_s" -v us=$((s1 - s0)) \
        'BEGIN { printf "%.2f", 100 * t / hz / (us / 1e6) }')
    WAKE=$(awk -v w=$((w1 - w0)) -v us=$((s1 - s0)) 'BEGIN { printf "%.1f", w / (us / 1e6) }')
    TICKS=$((t1 - t0))
}

rest_cpu=() rest_wake=() rec_cpu=() rec_wake=() peak_kb=()
for run in $(seq "$runs"); do
    app=$work/app$run recordings=$work/recordings$run
    mkdir -p "$recordings"
    fresh_copy "$app"
    write_parameters "$app/sonocap.par" "$recordings"
    start_recorder "$app" "$recordings"
    recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window"
    window_geometry "$recorder"
    xdotool mousemove --window "$recorder" 4 4
    # The bars start full and fall for a few seconds: the window at rest comes after that.
    sleep 5
    measure "$app_pid" "$rest_s"
    rest_cpu+=("$CPU") rest_wake+=("$WAKE")
    note "run $run at rest:   $CPU % of a core ($TICKS ticks in $rest_s s), $WAKE wake-ups/s, load $(load1)"

    click_control "$recorder" $RECORD_BUTTON
    save=$(wait_window "$COMPAXA_SAVE_TITLE" 30) || fail "no save dialog for a Compaxa file"
    wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
    type_and_enter take
    wait_file_size "$recordings/take.cx" 40 30 || fail "the recording did not start"
    xdotool mousemove --window "$recorder" 4 4
    sleep 2
    measure "$app_pid" "$record_s"
    rec_cpu+=("$CPU") rec_wake+=("$WAKE")
    peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$app_pid/status")
    peak_kb+=("$peak")
    note "run $run recording: $CPU % of a core ($TICKS ticks in $record_s s), $WAKE wake-ups/s, peak RSS $peak kB, load $(load1)"

    xdotool mousemove --window "$recorder" 1 1 click 1
    wait_focus "$recorder" 10 || fail "the recorder does not take the keyboard focus"
    xdotool key Escape
    wait_recorder_exit 20
    [ "$app_status" -eq 0 ] || fail "the recorder ended with status $app_status"
    [ "$(stat -c %s "$recordings/take.cx")" -gt 1000000 ] || fail "the recording is too short"
    # Whatever the recorder said on stderr (a lost take would be told there).
    if [ -s "$work/sonocap.log" ]; then sed 's/^/  recorder: /' "$work/sonocap.log"; fi
    : >"$work/sonocap.log"
    rm -rf "$recordings"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; print m }'; }
echo "medians of $runs runs (CPU as a share of one core):"
printf '  at rest (%s s):                      %6s %%  %7s wake-ups/s\n' "$rest_s" \
    "$(median "${rest_cpu[@]}")" "$(median "${rest_wake[@]}")"
printf '  recording, compression + filter (%s s): %6s %%  %7s wake-ups/s  peak RSS %s kB\n' \
    "$record_s" "$(median "${rec_cpu[@]}")" "$(median "${rec_wake[@]}")" "$(median "${peak_kb[@]}")"
