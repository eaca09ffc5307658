#!/usr/bin/env bash
# Crash recovery for real: a recording (the capture session over the simulated device, writing a
# real file) is killed with SIGKILL in the middle. Its header follows every stored buffer, so the
# file verifies as it is, or (killed between a buffer and its header) repair mends it; either way
# verify accepts it and sox reads it, holding every buffer written before the kill, sample for sample. Both formats.
. "$(dirname "$0")/test_lib.sh"
cx=$1
recorder=$2
corpus=$3
source=$corpus/d3_tracker_music.wav

for format in wav cx; do
  out=$work/take.$format
  "$recorder" "$format" "$source" "$out" >"$work/progress" 2>"$work/recorder.err" &
  pid=$!
  # Kill it once a good number of buffers are on disk, while it is still recording.
  for _ in $(seq 500); do
    [ "$(grep -c '^buffers' "$work/progress")" -ge 20 ] && break
    sleep 0.01
  done
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null
  written=$(grep '^buffers' "$work/progress" | tail -1 | cut -d' ' -f2)
  if [ -z "$written" ] || [ "$written" -lt 20 ] || [ "$written" -ge 67 ]; then
    fail "$format: killed after ${written:-no} buffers, not in the middle: $(cat "$work/recorder.err")"
    continue
  fi

  "$cx" repair "$out" >"$work/out" 2>&1 || fail "$format: repair failed: $(cat "$work/out")"
  grep -q "already verifies\|repaired: it verifies" "$work/out" || fail "$format: repair: $(cat "$work/out")"
  "$cx" verify "$out" >"$work/out" 2>&1 || fail "$format: the repaired file does not verify: $(cat "$work/out")"

  if [ "$format" = cx ]; then
    "$cx" decode "$out" "$work/take.cx.wav" || fail "cx: decode of the repaired file"
    wav=$work/take.cx.wav
  else
    wav=$out
  fi
  frames=$(sox --i -s "$wav") || fail "$format: sox cannot read the repaired file"
  [ "$frames" -ge $((written * 16384)) ] ||
    fail "$format: $frames frames after repair, but $written buffers ($((written * 16384)) frames) were written"
  sox "$wav" -t raw "$work/got.raw"
  sox "$source" -t raw "$work/all.raw" trim 0 "${frames}s"
  cmp -s "$work/got.raw" "$work/all.raw" || fail "$format: the repaired samples differ from what was recorded"
  echo "ok $format: killed after $written buffers; repaired to $frames frames"
done

finish
