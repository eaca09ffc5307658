#!/usr/bin/env bash
# sonocap-cx verify: a one-line verdict, status 0 only when the file is whole and, with
# --against, equal to the WAV sample for sample; encode --verify writes the same bytes as encode.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2

# expect STATUS FRAGMENT command...: the status, and FRAGMENT in what it printed.
expect() {
  local status=$1 fragment=$2
  shift 2
  "$@" >"$work/out" 2>&1
  local got=$?
  [ "$got" -eq "$status" ] && grep -qF -- "$fragment" "$work/out" ||
    fail "$* -> status $got (want $status), output: $(cat "$work/out")"
}

for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  "$cx" encode "$clip" "$work/$name.cx" 2>/dev/null
  "$cx" encode --verify "$clip" "$work/$name.verified.cx" 2>/dev/null || fail "encode --verify $name"
  cmp -s "$work/$name.cx" "$work/$name.verified.cx" || fail "encode --verify $name wrote other bytes"
  frames=$(sox --i -s "$clip")
  stored=$((frames / 16384 * 16384 + frames % 16384 / 8 * 8))
  expect 0 "$work/$name.cx: ok: " "$cx" verify "$work/$name.cx"
  expect 0 "$stored frames" "$cx" verify "$work/$name.cx"
  expect 0 "identical to $clip sample for sample" "$cx" verify "$work/$name.cx" --against "$clip"
  [ "$(wc -l <"$work/out")" -eq 1 ] || fail "verdict of $name is not one line"
  expect 0 "$work/$name.cx: ok" "$cx" verify --against "$clip" "$work/$name.cx"
  expect 0 "ok: WAV, $frames frames" "$cx" verify "$clip"
done
expect 0 "(its last 1 frame is dropped, as a recording drops them)" \
  "$cx" verify "$work/d1_speech_english.cx" --against "$corpus/d1_speech_english.wav"

good=$work/d2_game_score.cx
wav=$corpus/d2_game_score.wav
# One sample changed in the WAV: found, with its frame and channel.
cp "$wav" "$work/changed.wav"
printf '\x01\x02' | dd of="$work/changed.wav" bs=1 seek=$((44 + 4 * 500000 + 2)) conv=notrunc status=none
expect 1 "at frame 500000 (0:00:11.34) right: decoded" "$cx" verify "$good" --against "$work/changed.wav"
expect 1 "differs from $corpus/d3_tracker_music.wav at frame 0" "$cx" verify "$good" --against "$corpus/d3_tracker_music.wav"
# Lengths that differ: a longer WAV, a shorter one.
sox "$wav" "$work/longer.wav" pad 0 16384s
expect 1 "holds 1102496 frames where $work/longer.wav gives 1118880 stored frames" \
  "$cx" verify "$good" --against "$work/longer.wav"
sox "$wav" "$work/shorter.wav" trim 0 100000s
expect 1 "the records hold more frames than the 100000 of $work/shorter.wav" \
  "$cx" verify "$good" --against "$work/shorter.wav"
sox -n -b 16 -r 44100 -c 1 "$work/mono.wav" trim 0 0.1
expect 1 "PCM, 1 channel, 44100 Hz, 16 bits is not a recording's format" \
  "$cx" verify "$good" --against "$work/mono.wav"

# Damage the structural check finds.
size=$(stat -c %s "$good")
cp "$good" "$work/flip.cx"
printf '\xff' | dd of="$work/flip.cx" bs=1 seek=45 conv=notrunc status=none
expect 1 "offset 40: bad packet" "$cx" verify "$work/flip.cx"
head -c $((size - 10)) "$good" >"$work/short.cx"
expect 1 "offset 4: file size field $size does not match" "$cx" verify "$work/short.cx"
cp "$good" "$work/unfinished.cx"
printf '\0\0\0\0\0\0\0\0' | dd of="$work/unfinished.cx" bs=1 seek=4 conv=notrunc status=none
expect 1 "never finished (sonocap-cx repair rebuilds the header)" "$cx" verify "$work/unfinished.cx"
cp "$good" "$work/frames.cx"
printf '\x00' | dd of="$work/frames.cx" bs=1 seek=8 conv=notrunc status=none
expect 1 "offset 8: uncompressed size field" "$cx" verify "$work/frames.cx"
cp "$wav" "$work/unfinished.wav"
printf '\0\0\0\0' | dd of="$work/unfinished.wav" bs=1 seek=40 conv=notrunc status=none
expect 1 "offset 40: data size field is 0 but 4410000 bytes follow: the recording was never finished (sonocap-cx repair" \
  "$cx" verify "$work/unfinished.wav"
cp "$wav" "$work/riff.wav"
printf '\0\0\0\0' | dd of="$work/riff.wav" bs=1 seek=4 conv=notrunc status=none
expect 1 "offset 4: RIFF size field 0 does not match the file's length 4410044" "$cx" verify "$work/riff.wav"
expect 1 "neither a Compaxa nor a WAV file" "$cx" verify "$corpus/README.md"
expect 1 "this is a WAV file" "$cx" verify "$wav" --against "$wav"

expect 2 "verify takes one FILE" "$cx" verify
expect 2 "--against needs a WAV file" "$cx" verify "$good" --against
expect 2 "unknown option --fast" "$cx" verify --fast "$good"
expect 2 "unknown option --check" "$cx" encode --check "$wav" "$work/x.cx"
expect 0 "usage: sonocap-cx verify" "$cx" verify --help

finish
