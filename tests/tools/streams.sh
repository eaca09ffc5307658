#!/usr/bin/env bash
# sonocap-cx with - for standard input and output, as a pipeline uses it: the bytes are those of
# the same command on files, a WAV from a pipe may say "length unknown", and a Compaxa file is
# never written where its header could not be rewritten.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2
clip=$corpus/d2_game_score.wav
"$cx" encode "$clip" "$work/want.cx" 2>/dev/null
"$cx" decode "$work/want.cx" "$work/want.wav"
frames=$(sox --i -s "$work/want.wav")

# decode to standard output: a complete WAV on a pipe, of the right length.
got=$("$cx" decode "$work/want.cx" - | sox -t wav - -n stat 2>&1 | awk '/Samples read/ {print $3}')
[ "$got" = $((2 * frames)) ] || fail "decode - | sox: $got samples, want $((2 * frames))"
"$cx" decode "$work/want.cx" - | cmp -s - "$work/want.wav" || fail "decode IN -: other bytes"
"$cx" decode - "$work/from-pipe.wav" <"$work/want.cx" || fail "decode - OUT"
cmp -s "$work/from-pipe.wav" "$work/want.wav" || fail "decode - OUT: other bytes"
cat "$work/want.cx" | "$cx" decode - - | cmp -s - "$work/want.wav" || fail "decode - -: other bytes"

# encode from a pipe: a WAV of known length, and each way of saying "length unknown".
sox "$clip" -t wav - | "$cx" encode - "$work/piped.cx" 2>/dev/null || fail "encode - OUT"
cmp -s "$work/piped.cx" "$work/want.cx" || fail "encode - OUT: other bytes"
sox -D "$clip" -t raw "$work/samples.raw"
for unknown in '\xff\xff\xff\xff' '\x00\xf0\xff\x7f' '\x00\x00\x00\x00'; do
  cp "$clip" "$work/unknown.wav"
  printf "$unknown" | dd of="$work/unknown.wav" bs=1 seek=4 conv=notrunc status=none
  printf "$unknown" | dd of="$work/unknown.wav" bs=1 seek=40 conv=notrunc status=none
  cat "$work/unknown.wav" | "$cx" encode -f - "$work/unknown.cx" 2>/dev/null || fail "encode - with data size $unknown"
  cmp -s "$work/unknown.cx" "$work/want.cx" || fail "encode - with data size $unknown: other bytes"
done
# A stream that ends inside a frame: the whole frames are kept, and the rest is told.
{ head -c 44 "$work/unknown.wav"; head -c 400006 "$work/samples.raw"; } | "$cx" encode - "$work/torn.cx" 2>"$work/err" ||
  fail "encode - of a stream ending inside a frame"
grep -q "the stream ended inside a frame: its last 2 bytes were dropped" "$work/err" || fail "no word of the torn frame: $(cat "$work/err")"
[ "$("$cx" decode "$work/torn.cx" - | sox -t wav - -n stat 2>&1 | awk '/Samples read/ {print $3}')" = 200000 ] ||
  fail "a stream ending inside a frame: not its 100000 whole frames"
# The same sizes in a regular file are an unfinished recording, not a stream.
"$cx" encode "$work/unknown.wav" "$work/x.cx" >"$work/err" 2>&1
[ $? -eq 1 ] && grep -q "an unfinished recording" "$work/err" || fail "data size 0 in a file: $(cat "$work/err")"
cp "$clip" "$work/large.wav"
printf '\x00\x00\x00\x10' | dd of="$work/large.wav" bs=1 seek=40 conv=notrunc status=none
"$cx" encode "$work/large.wav" "$work/x.cx" >"$work/err" 2>&1
[ $? -eq 1 ] && grep -q "data chunk declares 268435456 bytes but the file holds only" "$work/err" ||
  fail "a file's data size larger than the file: $(cat "$work/err")"
# A pipe that ends before the data size it declared.
head -c 100044 "$clip" | "$cx" encode - "$work/x.cx" >"$work/err" 2>&1
[ $? -eq 1 ] && grep -q "data chunk declares 4410000 bytes but the input holds only 100000" "$work/err" ||
  fail "a pipe shorter than its data size: $(cat "$work/err")"
[ -e "$work/x.cx" ] && fail "a partial .cx was left"

# encode to standard output: only where it can go back to the header, never to a pipe.
"$cx" encode "$clip" - >"$work/stdout.cx" 2>/dev/null || fail "encode IN - > file"
cmp -s "$work/stdout.cx" "$work/want.cx" || fail "encode IN - > file: other bytes"
# ... also where the file's position is not at its start, nor in step with the tool's buffers.
{ printf 'abc'; "$cx" encode "$clip" - 2>/dev/null; } >"$work/after.cx" || fail "encode IN - after 3 bytes"
{ printf 'abc'; cat "$work/want.cx"; } | cmp -s - "$work/after.cx" || fail "encode IN - after 3 bytes: other bytes"
"$cx" encode "$clip" - 2>"$work/err" | cat >"$work/piped-out.cx"
grep -q "standard output: cannot go back to write the header's sizes here" "$work/err" || fail "encode to a pipe: $(cat "$work/err")"
[ -s "$work/piped-out.cx" ] && fail "encode to a pipe wrote bytes"

# info and verify read standard input.
"$cx" info --json - <"$work/want.cx" | python3 -c 'import json, sys; d = json.load(sys.stdin); assert d["file"] == "-" and d["format"] == "Compaxa"' ||
  fail "info -"
cat "$work/want.cx" | "$cx" verify - --against "$clip" >"$work/out" 2>&1 || fail "verify -: $(cat "$work/out")"
cat "$clip" | "$cx" verify "$work/want.cx" --against - >"$work/out" 2>&1 || fail "verify --against -: $(cat "$work/out")"
"$cx" verify - --against - </dev/null >/dev/null 2>&1; [ $? -eq 2 ] || fail "verify - --against - is not a usage error"

# Inputs larger than the memory the commands may use: a sparse 4 GiB unfinished WAV (the
# recorder's longest take) and a 262 MB Compaxa file, under a 200 MB limit of address space.
printf 'RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0' >"$work/take.wav"
truncate -s 4G "$work/take.wav"
sox -n -b 16 -r 44100 -c 2 "$work/noise.wav" synth 16384s whitenoise 2>/dev/null
"$cx" encode "$work/noise.wav" "$work/noise.cx" 2>/dev/null
tail -c +41 "$work/noise.cx" >"$work/records"
for _ in $(seq 12); do cat "$work/records" "$work/records" >"$work/records2"; mv "$work/records2" "$work/records"; done
pcm=$("$cx" info --json "$work/noise.cx" | sed 's/.*"sampleBytes": \([0-9]*\).*/\1/')
{ head -c 4 "$work/noise.cx"
  printf '%08x%08x' $((40 + $(stat -c %s "$work/records"))) $((4096 * pcm)) |
    sed 's/\(..\)\(..\)\(..\)\(..\)\(..\)\(..\)\(..\)\(..\)/\\x\4\\x\3\\x\2\\x\1\\x\8\\x\7\\x\6\\x\5/' | xargs -0 printf
  head -c 40 "$work/noise.cx" | tail -c 28
  cat "$work/records"; } >"$work/long.cx"
rm "$work/records"
(
  ulimit -v 200000
  "$cx" verify "$work/take.wav" >"$work/out" 2>&1
  [ $? -eq 1 ] && grep -q "4294967252 bytes follow: the recording was never finished" "$work/out" ||
    fail "verify of a 4 GiB take: $(cat "$work/out")"
  "$cx" info "$work/take.wav" >"$work/out" 2>&1
  [ $? -eq 1 ] && grep -q "never finished" "$work/out" || fail "info of a 4 GiB take: $(cat "$work/out")"
  "$cx" repair --dry-run "$work/take.wav" >"$work/out" 2>&1 &&
    grep -q "would set size field at byte 40: 0 -> 4294967252" "$work/out" ||
    fail "repair --dry-run of a 4 GiB take: $(cat "$work/out")"
  "$cx" verify "$work/long.cx" >"$work/out" 2>&1 || fail "verify of a long .cx: $(cat "$work/out")"
  bytes=$(cat "$work/long.cx" | "$cx" decode - - 2>"$work/out" | wc -c)
  [ "$bytes" -eq $((44 + 4096 * pcm)) ] || fail "decode - - of a long .cx: $bytes bytes: $(cat "$work/out")"
  "$cx" decode "$work/long.cx" /dev/null 2>"$work/out" || fail "decode of a long .cx: $(cat "$work/out")"
  # More threads than the limit allows: a message and status 1, nothing left behind.
  "$cx" decode --threads 64 "$work/long.cx" "$work/oom.wav" 2>"$work/out"
  [ $? -eq 1 ] && grep -q "^sonocap-cx: " "$work/out" || fail "decode --threads 64 under the limit: $(cat "$work/out")"
  ls -A "$work" | grep -q "sonocap-cx-\|oom.wav" && fail "decode under the limit left a file behind"
)
rm -f "$work/take.wav" "$work/long.cx"

finish
