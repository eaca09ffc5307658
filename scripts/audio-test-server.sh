#!/usr/bin/env bash
# A private PulseAudio server for the audio tests, with a source that a test feeds through a
# FIFO (raw s16le, stereo, 44 100 Hz) and that ALSA's default device (and so PortAudio) records.
#
#   eval "$(scripts/audio-test-server.sh start)"   # prints the variables the tests need
#   scripts/audio-test-server.sh stop "$SONOCAP_AUDIO_TEST_DIR"
#
# start prints: XDG_RUNTIME_DIR (a client must share it to see the server),
# SONOCAP_AUDIO_TEST_DIR (the server's folder; the FIFO is testsrc.fifo in it) and
# SONOCAP_AUDIO_TEST_PID.
set -euo pipefail

start() {
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-audio-XXXXXX")
  export XDG_RUNTIME_DIR=$dir/xdg
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  # Keep the server's own files (cookie, cache) out of the user's home.
  export HOME=$dir PULSE_STATE_PATH=$dir/state PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
  # A simple command, so that $! is the server itself.
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --log-target=file:"$dir/pulse.log" \
    -L "module-native-protocol-unix auth-anonymous=1" \
    -L "module-null-sink sink_name=testsink rate=44100 channels=2" \
    -L "module-pipe-source source_name=testsrc file=$dir/testsrc.fifo format=s16le rate=44100 channels=2" \
    </dev/null >/dev/null 2>&1 &
  local pid=$!
  echo "$pid" >"$dir/pulse.pid"
  local ready=0
  for _ in $(seq 200); do
    if pactl info >/dev/null 2>&1; then ready=1; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ "$ready" -ne 1 ]; then
    echo "audio-test-server: the server did not come up; see $dir/pulse.log" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  pactl set-default-source testsrc
  pactl set-default-sink testsink
  echo "export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR'"
  echo "export SONOCAP_AUDIO_TEST_DIR='$dir'"
  echo "export SONOCAP_AUDIO_TEST_PID='$pid'"
}

stop() {
  local dir=${1:-${SONOCAP_AUDIO_TEST_DIR:-}}
  [ -n "$dir" ] && [ -f "$dir/pulse.pid" ] || { echo "audio-test-server: no server folder given" >&2; exit 2; }
  local pid
  pid=$(cat "$dir/pulse.pid")
  if kill "$pid" 2>/dev/null; then
    # Shutting down takes one to two seconds.
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  start) start ;;
  stop) stop "${2:-}" ;;
  *) echo "usage: $0 start | stop [folder]" >&2; exit 2 ;;
esac
