#!/usr/bin/env bash
# sonocap-cx reports bad usage with status 2 and bad input with status 1, names the file and the
# offset of a fault, and never leaves a partial output under the output's name.
set -uo pipefail
cx=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect STATUS MESSAGE-FRAGMENT command...
expect() {
  local status=$1 fragment=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  if [ "$got" -ne "$status" ] || ! grep -qF -- "$fragment" "$work/out" "$work/err"; then
    echo "FAIL: $* -> status $got (want $status), output:" >&2
    cat "$work/out" "$work/err" >&2
    failures=$((failures + 1))
  fi
}

expect 2 "no command given" "$cx"
expect 2 "unknown command 'squash'" "$cx" squash a b
expect 2 "encode takes IN.wav and OUT.cx" "$cx" encode only-one.wav
expect 2 "unknown option --fast" "$cx" decode --fast a.cx b.wav
expect 2 "--threads takes a count from 1 to 64" "$cx" encode --threads 0 a.wav b.cx
expect 2 "--threads needs a count" "$cx" decode a.cx b.wav --threads
expect 0 "usage: sonocap-cx encode" "$cx" encode --help
expect 0 "usage: sonocap-cx decode" "$cx" decode --help
expect 0 "commands:" "$cx" --help

expect 1 "sonocap-cx: $work/missing.wav: No such file or directory" \
  "$cx" encode "$work/missing.wav" "$work/x.cx"
expect 1 "not a RIFF/WAVE file" "$cx" encode "$corpus/README.md" "$work/x.cx"

sox -n -e floating-point -b 32 -r 44100 -c 2 "$work/float.wav" trim 0 0.01
expect 1 "IEEE float, 2 channels, 44100 Hz, 32 bits: only PCM" "$cx" encode "$work/float.wav" "$work/x.cx"
sox -n -b 16 -r 44100 -c 1 "$work/mono.wav" trim 0 0.01
expect 1 "PCM, 1 channel, 44100 Hz, 16 bits" "$cx" encode "$work/mono.wav" "$work/x.cx"
sox -n -b 16 -r 48000 -c 2 "$work/48k.wav" trim 0 0.01
expect 1 "PCM, 2 channels, 48000 Hz, 16 bits" "$cx" encode "$work/48k.wav" "$work/x.cx"

# A WAV whose data chunk claims more than the file holds.
head -c 10044 "$corpus/d2_game_score.wav" >"$work/cut.wav"
expect 1 "offset 40: data chunk declares 4410000 bytes but the file holds only 10000" \
  "$cx" encode "$work/cut.wav" "$work/x.cx"
[ -e "$work/x.cx" ] && { echo "FAIL: x.cx left behind" >&2; failures=$((failures + 1)); }

# A recording that never reached its stop: data size 0 with samples behind it.
head -c 10044 "$corpus/d2_game_score.wav" >"$work/unfinished.wav"
printf '\0\0\0\0' | dd of="$work/unfinished.wav" bs=1 seek=40 conv=notrunc status=none
expect 1 "offset 40: data chunk of 0 bytes with 10000 bytes behind it: an unfinished recording? sonocap-cx repair" \
  "$cx" encode "$work/unfinished.wav" "$work/x.cx"

# Nine frames: one sub-block frame each, the ninth dropped with a note.
head -c $((44 + 36)) "$corpus/d3_tracker_music.wav" >"$work/nine.wav"
printf '\x24\x00\x00\x00' | dd of="$work/nine.wav" bs=1 seek=40 conv=notrunc status=none
expect 0 "the last 1 frame was dropped" "$cx" encode "$work/nine.wav" "$work/nine.cx"

# Damaged Compaxa files: a clear message with the offset, nothing under OUT's name (decoded on
# worker threads, the default, and the same as on one thread).
"$cx" encode "$corpus/d3_tracker_music.wav" "$work/good.cx"
size=$(stat -c %s "$work/good.cx")
head -c $((size - 100)) "$work/good.cx" >"$work/short.cx"
expect 1 "offset 4: file size field $size does not match the file's length $((size - 100))" \
  "$cx" decode "$work/short.cx" "$work/short.wav"
cp "$work/good.cx" "$work/zero.cx"
printf '\x00\x00' | dd of="$work/zero.cx" bs=1 seek=40 conv=notrunc status=none
expect 1 "offset 40: record length 0" "$cx" decode "$work/zero.cx" "$work/zero.wav"
cp "$work/good.cx" "$work/torn.cx"
printf '\x05' | dd of="$work/torn.cx" bs=1 seek=$((size - 1)) conv=notrunc status=none
expect 1 "record's closing word count" "$cx" decode "$work/torn.cx" "$work/torn.wav"
for f in zero torn; do
  "$cx" decode --threads 1 "$work/$f.cx" "$work/$f.wav" 2>"$work/one"
  "$cx" decode --threads 3 "$work/$f.cx" "$work/$f.wav" 2>"$work/three"
  cmp -s "$work/one" "$work/three" || { echo "FAIL: $f.cx: threads change the message" >&2; failures=$((failures + 1)); }
done
for f in short zero torn; do
  [ -e "$work/$f.wav" ] && { echo "FAIL: $f.wav left behind" >&2; failures=$((failures + 1)); }
done
# A failing decode leaves an existing output file as it was.
echo "keep me" >"$work/existing.wav"
expect 1 "record length 0" "$cx" decode --force "$work/zero.cx" "$work/existing.wav"
grep -q "keep me" "$work/existing.wav" || { echo "FAIL: existing output touched" >&2; failures=$((failures + 1)); }
if ls "$work"/*partial* >/dev/null 2>&1; then
  echo "FAIL: temporary files left behind" >&2
  failures=$((failures + 1))
fi
# Writing into a directory that does not exist: the output's fault, status 3.
expect 3 "sonocap-cx: $work/no/such/dir/x.wav: cannot create a file in $work/no/such/dir: No such file or directory" \
  "$cx" decode "$work/good.cx" "$work/no/such/dir/x.wav"

# decode of a WAV says what it is; decode of an unfinished recording points to repair.
expect 1 "offset 0: a WAV file, not a Compaxa file" "$cx" decode "$corpus/d2_game_score.wav" "$work/w.wav"
cp "$work/good.cx" "$work/unfinished.cx"
printf '\0\0\0\0\0\0\0\0' | dd of="$work/unfinished.cx" bs=1 seek=4 conv=notrunc status=none
expect 1 "never finished (sonocap-cx repair rebuilds the header)" "$cx" decode "$work/unfinished.cx" "$work/u.wav"

# Conventions: --option=value, -h after a command, --version, one line and the hint for a usage
# error, no binary on a terminal.
expect 2 "--threads takes a count from 1 to 64" "$cx" decode --threads=0 "$work/good.cx" "$work/eq.wav"
expect 0 "usage: sonocap-cx repair" "$cx" repair -h
expect 0 "Compaxa format: magic 0x05031997" "$cx" --version
expect 2 "Try 'sonocap-cx decode --help' for more information." "$cx" decode --bogus a b
[ "$(wc -l <"$work/err")" -eq 2 ] || { echo "FAIL: a usage error is not one line and the hint: $(cat "$work/err")" >&2; failures=$((failures + 1)); }
script -qec "$cx decode $work/good.cx -" /dev/null >"$work/tty" 2>&1
[ $? -eq 3 ] && grep -q "is a terminal: binary output refused" "$work/tty" ||
  { echo "FAIL: binary output to a terminal: $(head -c 300 "$work/tty")" >&2; failures=$((failures + 1)); }

# Standard output is checked before success: a full disk is status 3, for every command.
for args in "info --json $work/good.cx" "verify $work/good.cx" "repair --dry-run $work/unfinished.cx" "--help" "encode --help"; do
  "$cx" $args >/dev/full 2>"$work/err"
  status=$?
  [ "$status" -eq 3 ] && grep -q "standard output: No space left on device" "$work/err" ||
    { echo "FAIL: $args >/dev/full: status $status: $(cat "$work/err")" >&2; failures=$((failures + 1)); }
done

echo "$failures failures"
[ "$failures" -eq 0 ]
