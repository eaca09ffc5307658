#!/usr/bin/env bash
# What the recorder costs the machine, as a whole process: the real program from a fresh copy
# of its directory with a valid parameter file (compression and DC filter on), on a private X
# server, recording from the test audio server's source while corpus music is fed at real time.
# Each run measures the window at rest, then a recording through libpulse, then the recorder
# again recording through PortAudio (SONOCAP_AUDIO=portaudio), then three peers in the same
# conditions: bench/idle_window_peer (a bare dialog with the window's three 55 ms timers, the
# floor at rest), the same peer with "paint" (two bars the meters' size moved and repainted
# every tick: the floor of the window's display while recording) and bench/capture_peer
# (PortAudio alone, recording as the recorder does, the floor of PortAudio's audio path). The
# medians of all runs and the recorder's ratios close the report.
#
#   bench/recorder-cpu.sh [BUILD_DIR=build] [RUNS=3] [REST_S=30] [RECORD_S=60] [PIECE=441]
#                         [SOURCE=pipe]
#
# SOURCE pipe: the music reaches the test source (a pipe) in pieces of PIECE frames (441: every
# 10 ms). The audio server hands each piece on to the recorder as it comes, whatever latency
# the recorder asks for, so PIECE sets how often the recorder's audio threads wake: 1024 is
# the pace at which a device source delivers what PortAudio asks for (1024-frame periods).
# SOURCE monitor: the music is played into the test server's null sink at real time, and the
# recorders and peers record the sink's monitor, a source that delivers at the latency its
# client asks for, as a device source does (PULSE_SOURCE=testsink.monitor).
#
# CPU is the time the scheduler counted on a CPU for all the recorder's threads
# (/proc/PID/task/*/schedstat, in ns) as a share of one core, with utime + stime of
# /proc/PID/stat (counted in 10 ms ticks) beside it; wake-ups are the voluntary context
# switches of all its threads per second; each figure is also given thread by thread; peak
# memory is VmHWM. The load average is printed beside each figure: other work on the machine
# slows the recorder's own work down too.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$source_dir/build}" && pwd)
runs=${2:-3}
rest_s=${3:-30}
record_s=${4:-60}
piece=${5:-441}
source_kind=${6:-pipe}
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-cpu-XXXXXX")
out=$work/shots
feeder=$build_dir/tests/e2e/fifo_feeder
idle_peer=$build_dir/bench/idle_window_peer
capture_peer=$build_dir/bench/capture_peer
. "$source_dir/tests/e2e/x_session.sh"
. "$source_dir/tests/e2e/recorder_controls.sh"
# A failed run shows what the recorder and the X server said before the folder goes.
trap 'status=$?; [ "$status" -ne 0 ] && tail -n 5 "$work/sonocap.log" "$work/xvfb.log" 2>/dev/null
    session_cleanup; rm -rf "$work"' EXIT
trap 'exit 1' TERM INT HUP

[ -x "$build_dir/sonocap" ] && [ -x "$feeder" ] && [ -x "$idle_peer" ] && [ -x "$capture_peer" ] ||
    fail "build the recorder, the feeder and the peers first: cmake --build $build_dir --target" \
        "sonocap fifo_feeder idle_window_peer capture_peer"
mkdir -p "$out" "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config
ticks_per_s=$(getconf CLK_TCK)

use_audio_server
start_x_server
corpus=$(sed -n 's/^SONOCAP_CORPUS_DIR:PATH=//p' "$build_dir/CMakeCache.txt")
sox -D "$corpus/d2_game_score.wav" -t raw "$work/signal.raw"
case $source_kind in
    pipe) start_feeder "$work/signal.raw" "$piece" ;;
    monitor)
        # The player reads a FIFO of its own, opened for reading and writing so that neither
        # end waits for the other; the feeder keeps it at real time.
        mkfifo "$work/play.fifo"
        pacat --playback --device=testsink --raw --format=s16le --rate=44100 --channels=2 \
            <>"$work/play.fifo" >>"$work/peer.log" 2>&1 &
        session_pids+=("$!")
        "$feeder" "$work/play.fifo" "$work/signal.raw" "$piece" &
        session_pids+=("$!")
        export PULSE_SOURCE=testsink.monitor
        ;;
    *) fail "SOURCE is pipe or monitor, not $source_kind" ;;
esac

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
load1() { cut -d' ' -f1 /proc/loadavg; }

# One line per thread: its id, CPU time in ns (exact, from the scheduler), voluntary context
# switches and name.
threads() {
    local task
    for task in /proc/"$1"/task/*; do
        { read -r ns _ <"$task/schedstat" &&
            awk -v t="${task##*/}" -v ns="$ns" '/^voluntary_ctxt_switches/ { w = $2 }
                /^Name:/ { n = $2 } END { printf "%s %s %s %s\n", t, ns, w, n }' "$task/status"
        } 2>/dev/null || true
    done
}

# Measures process $1 for $2 seconds. Sets CPU (percent of one core, exact), TICKS_CPU (the
# same from the kernel's 10 ms ticks, utime + stime), WAKE (per second), and prints where they
# went, thread by thread. Threads that start during the measurement count from zero.
measure() {
    local pid=$1 seconds=$2 before after t0 t1 s0 s1
    before=$(threads "$pid") t0=$(cpu_ticks "$pid") s0=${EPOCHREALTIME/./}
    sleep "$seconds"
    after=$(threads "$pid") t1=$(cpu_ticks "$pid") s1=${EPOCHREALTIME/./}
    kill -0 "$pid" 2>/dev/null || fail "the measured program ended during the measurement"
    local us=$((s1 - s0))
    awk -v us="$us" 'NR == FNR { ns[$1] = $2; w[$1] = $3; next }
        { dn = $2 - ns[$1]; dw = $3 - w[$1]
          if (dn > 0 || dw > 0)
              printf "    thread %-16s %5.2f %% of a core, %6.1f wake-ups/s\n", $4, dn / 10 / us, dw * 1e6 / us }' \
        <(printf '%s\n' "$before") <(printf '%s\n' "$after")
    read -r CPU WAKE < <(awk -v us="$us" 'NR == FNR { ns[$1] = $2; w[$1] = $3; next }
        { dn += $2 - ns[$1]; dw += $3 - w[$1] }
        END { printf "%.2f %.1f\n", dn / 10 / us, dw * 1e6 / us }' \
        <(printf '%s\n' "$before") <(printf '%s\n' "$after"))
    TICKS_CPU=$(awk -v t=$((t1 - t0)) -v hz="$ticks_per_s" -v us="$us" \
        'BEGIN { printf "%.2f", 100 * t / hz / (us / 1e6) }')
}

# Runs peer $1 for $2 seconds of measurement after $3 seconds of settling, with the arguments
# that follow; sets CPU and WAKE.
measure_peer() {
    local program=$1 seconds=$2 settle=$3 pid
    "$program" "${@:4}" 2>>"$work/peer.log" &
    pid=$!
    session_pids+=("$pid")
    sleep "$settle"
    measure "$pid" "$seconds"
    stop_pid "$pid"
    forget_pid "$pid"
}

rest_cpu=() rest_wake=() peak_kb=() idle_cpu=() paint_cpu=() capture_cpu=()
declare -A rec_cpu rec_wake
for run in $(seq "$runs"); do
    for backend in pulse portaudio; do
        app=$work/app$run-$backend recordings=$work/recordings$run-$backend
        mkdir -p "$recordings"
        fresh_copy "$app"
        write_parameters "$app/sonocap.par" "$recordings"
        SONOCAP_AUDIO=$backend start_recorder "$app" "$recordings"
        recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window"
        window_geometry "$recorder"
        xdotool mousemove --window "$recorder" 4 4
        # The bars start full and fall for a few seconds: the window at rest comes after that.
        sleep 5
        if [ "$backend" = pulse ]; then
            measure "$app_pid" "$rest_s"
            rest_cpu+=("$CPU") rest_wake+=("$WAKE")
            note "run $run at rest:   $CPU % of a core ($TICKS_CPU % in ticks), $WAKE wake-ups/s, load $(load1)"
        fi

        click_control "$recorder" $RECORD_BUTTON
        save=$(wait_window "$COMPAXA_SAVE_TITLE" 30) || fail "no save dialog for a Compaxa file"
        wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
        type_and_enter take
        wait_file_size "$recordings/take.cx" 40 30 || fail "the recording did not start"
        xdotool mousemove --window "$recorder" 4 4
        sleep 2
        measure "$app_pid" "$record_s"
        rec_cpu[$backend]+="$CPU " rec_wake[$backend]+="$WAKE "
        peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$app_pid/status")
        [ "$backend" = pulse ] && peak_kb+=("$peak")
        note "run $run recording through $backend: $CPU % of a core ($TICKS_CPU % in ticks), $WAKE wake-ups/s, peak RSS $peak kB, load $(load1)"

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

    measure_peer "$idle_peer" "$rest_s" 5
    idle_cpu+=("$CPU")
    note "run $run idle window peer:  $CPU % of a core, $WAKE wake-ups/s, load $(load1)"
    measure_peer "$idle_peer" "$record_s" 5 paint
    paint_cpu+=("$CPU")
    note "run $run painting peer:     $CPU % of a core, $WAKE wake-ups/s, load $(load1)"
    measure_peer "$capture_peer" "$record_s" 2
    capture_cpu+=("$CPU")
    note "run $run capture peer:      $CPU % of a core, $WAKE wake-ups/s, load $(load1)"
done

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2; print m }'; }
echo "medians of $runs runs (CPU as a share of one core; $source_kind source, music in pieces of $piece frames):"
printf '  at rest (%s s):                                  %6s %%  %7s wake-ups/s\n' "$rest_s" \
    "$(median "${rest_cpu[@]}")" "$(median "${rest_wake[@]}")"
for backend in pulse portaudio; do
    # shellcheck disable=SC2086
    printf '  recording through %-9s (%s s, compression + filter): %6s %%  %7s wake-ups/s\n' \
        "$backend" "$record_s" "$(median ${rec_cpu[$backend]})" "$(median ${rec_wake[$backend]})"
done
echo "  peak RSS through libpulse $(median "${peak_kb[@]}") kB"
idle=$(median "${idle_cpu[@]}") paint=$(median "${paint_cpu[@]}")
capture=$(median "${capture_cpu[@]}")
printf '  peers: idle window %s %%, painting window %s %%, capture (PortAudio) %s %%\n' "$idle" \
    "$paint" "$capture"
# shellcheck disable=SC2086
awk -v rest="$(median "${rest_cpu[@]}")" -v pulse="$(median ${rec_cpu[pulse]})" \
    -v pa="$(median ${rec_cpu[portaudio]})" -v idle="$idle" -v paint="$paint" \
    -v capture="$capture" 'BEGIN {
        printf "  at rest %.2f x the idle window; recording through libpulse %.2f x through PortAudio;\n", rest / idle, pulse / pa
        printf "  above the idle window: libpulse +%.2f %%, PortAudio +%.2f %% (PortAudio alone: %.2f %%)\n",
            pulse - idle, pa - idle, capture
        printf "  above the painting window: libpulse +%.2f %%, PortAudio +%.2f %%\n", pulse - paint, pa - paint }'
