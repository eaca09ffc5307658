#!/usr/bin/env bash
# sonocap-cx repair, grouped by what happened to the file: cut inside its last record or frame
# (every offset), garbage appended, a header never finished, a file that is fine, and files that
# are not recordings. A repair keeps every valid record, verifies, and keeps what it changed or
# cut in the backups, from which the original comes back byte for byte.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2

# unfinish FILE: give a recording the provisional header the recorder starts with.
unfinish() {
  case "$1" in
    *.cx) printf '\0\0\0\0\0\0\0\0' | dd of="$1" bs=1 seek=4 conv=notrunc status=none ;;
    *.wav) printf '\x24\0\0\0' | dd of="$1" bs=1 seek=4 conv=notrunc status=none
           printf '\0\0\0\0' | dd of="$1" bs=1 seek=40 conv=notrunc status=none ;;
  esac
}

# repaired NAME FILE FRAMES FRAGMENT [RESTORE [OPTION]]: repair succeeds with FRAGMENT in its report, the result
# verifies and holds FRAMES frames, and the backups restore the file it was given.
repaired() {
  local name=$1 file=$2 frames=$3 fragment=$4 check_restore=${5:-yes} option=${6:-}
  cp "$file" "$work/before"
  if ! "$cx" repair $option "$file" >"$work/out" 2>&1; then
    fail "$name: repair failed: $(cat "$work/out")"; return
  fi
  grep -qF -- "$fragment" "$work/out" || fail "$name: no '$fragment' in: $(cat "$work/out")"
  "$cx" verify "$file" >"$work/verify" 2>&1 || fail "$name: does not verify: $(cat "$work/verify")"
  grep -q " $frames frames" "$work/verify" || fail "$name: not $frames frames: $(cat "$work/verify")"
  if [ "$check_restore" = yes ]; then
    cp "$file" "$work/restored"
    dd if="$file.header-backup" of="$work/restored" conv=notrunc status=none
    [ -e "$file.tail-backup" ] && cat "$file.tail-backup" >>"$work/restored"
    cmp -s "$work/before" "$work/restored" || fail "$name: the backups do not restore the original"
  fi
  rm -f "$file.header-backup" "$file.tail-backup"
}

# untouched NAME FILE STATUS FRAGMENT [options]: repair leaves the file and makes no backup.
untouched() {
  local name=$1 file=$2 status=$3 fragment=$4
  shift 4
  cp "$file" "$work/before"
  "$cx" repair "$@" "$file" >"$work/out" 2>&1
  local got=$?
  [ "$got" -eq "$status" ] || fail "$name: status $got, want $status: $(cat "$work/out")"
  grep -qF -- "$fragment" "$work/out" || fail "$name: no '$fragment' in: $(cat "$work/out")"
  cmp -s "$work/before" "$file" || fail "$name: the file was changed"
  [ -e "$file.header-backup" ] && fail "$name: a backup was made"
  [ -e "$file.tail-backup" ] && fail "$name: a tail backup was made"
}

# One buffer of music and one of silence: the last record is small enough to cut everywhere.
sox "$corpus/d3_tracker_music.wav" "$work/source.wav" trim 0 16384s pad 0 16384s
"$cx" encode "$work/source.wav" "$work/good.cx"
sox "$work/source.wav" "$work/good.wav"   # canonical 44-byte header
size=$(stat -c %s "$work/good.cx")
last_record=$((size - 520))   # a record of silence: W = 129, 4 + 4 * 129 bytes
frames_before_last=$((32768 - 2048))

echo "group: cut at every offset inside the last record of an unfinished .cx"
cp "$work/good.cx" "$work/unfinished-whole.cx"
unfinish "$work/unfinished-whole.cx"
for cut in $(seq "$last_record" $((size - 1))); do
  head -c "$cut" "$work/unfinished-whole.cx" >"$work/cut.cx"
  if [ $(((cut - last_record) % 64)) -eq 1 ]; then
    # The full check, restoring from the backups included, at a sample of the offsets.
    repaired "cut .cx at $cut" "$work/cut.cx" "$frames_before_last" "torn last record"
    continue
  fi
  # Elsewhere the same check without restoring, in as few processes as it takes.
  report=$("$cx" repair "$work/cut.cx" 2>&1) || fail "cut .cx at $cut: repair failed: $report"
  if [ "$cut" -eq "$last_record" ]; then want="never finished"; else want="torn last record"; fi
  [[ $report == *"$want"* ]] || fail "cut .cx at $cut: no '$want' in: $report"
  verdict=$("$cx" verify "$work/cut.cx" 2>&1) || fail "cut .cx at $cut: does not verify: $verdict"
  [[ $verdict == *" $frames_before_last frames"* ]] || fail "cut .cx at $cut: $verdict"
  rm -f "$work/cut.cx.header-backup" "$work/cut.cx.tail-backup"
done

echo "group: cut at every offset inside the last frame of an unfinished WAV"
wsize=$(stat -c %s "$work/good.wav")
for extra in 0 1 2 3; do
  head -c $((wsize - 4 + extra)) "$work/good.wav" >"$work/cut.wav"
  unfinish "$work/cut.wav"
  case $extra in
    0) fragment="never finished" ;;
    1) fragment="cutting 1 byte from byte $((wsize - 4)): a torn last frame" ;;
    *) fragment="cutting $extra bytes from byte $((wsize - 4)): a torn last frame" ;;
  esac
  repaired "cut WAV +$extra" "$work/cut.wav" 32767 "$fragment"
  [ "$(sox --i -s "$work/cut.wav")" -eq 32767 ] || fail "cut WAV +$extra: sox reads a different length"
done

echo "group: garbage appended"
# Garbage whose first two bytes cannot be a record's word count (above any packet's), so that it
# is never taken for a torn record whatever the random bytes behind them.
{ printf '\xff\xff'; head -c 2998 /dev/urandom; } >"$work/garbage"
cat "$work/good.cx" "$work/garbage" >"$work/appended.cx"
repaired "garbage after a finished .cx" "$work/appended.cx" 32768 "cutting 3000 bytes from byte $size: not a record"
cmp -s "$work/appended.cx" "$work/good.cx" || fail "garbage after a finished .cx: the records changed"
cat "$work/good.cx" "$work/garbage" >"$work/appended.cx"
unfinish "$work/appended.cx"
repaired "garbage after an unfinished .cx" "$work/appended.cx" 32768 "cutting 3000 bytes"
head -c 8192 /dev/zero >"$work/zeros"
cat "$work/good.cx" "$work/zeros" >"$work/zeros.cx"
unfinish "$work/zeros.cx"
repaired "zeros after an unfinished .cx" "$work/zeros.cx" 32768 "not a record (offset $size: record length 0)"

echo "group: a WAV data size short of its samples"
# Bytes after the declared samples are samples to a recorder, which writes nothing else there:
# the data size is extended to them in whole frames, never the samples cut.
cat "$work/good.wav" "$work/garbage" >"$work/appended.wav"
repaired "bytes after a finished WAV" "$work/appended.wav" 33518 "setting size field at byte 40: 131072 -> 134072"
grep -q "cutting" "$work/out" && fail "bytes after a finished WAV: something was cut: $(cat "$work/out")"
cp "$work/good.wav" "$work/short.wav"
printf '\x40\x9c\0\0' | dd of="$work/short.wav" bs=1 seek=40 conv=notrunc status=none
repaired "data size 40000 of 131072" "$work/short.wav" 32768 "data size field 40000 but 131072 bytes after the data chunk's header"
cmp -s "$work/short.wav" "$work/good.wav" || fail "data size short of the samples: not the whole recording"
cp "$work/short.wav" "$work/short-encode.wav"
printf '\x40\x9c\0\0' | dd of="$work/short-encode.wav" bs=1 seek=40 conv=notrunc status=none
"$cx" encode "$work/short-encode.wav" "$work/short.cx" >"$work/out" 2>&1
[ $? -eq 1 ] || fail "encode of a WAV whose data size is short of its samples: not refused"
grep -q "sonocap-cx repair rebuilds the header" "$work/out" || fail "encode: no repair hint: $(cat "$work/out")"
[ -e "$work/short.cx" ] && fail "encode of a refused WAV left an output"

echo "group: a finished file cut short (an interrupted copy)"
head -c $((size - 100)) "$work/good.cx" >"$work/copy.cx"
untouched "copy of a .cx cut short" "$work/copy.cx" 1 "it looks cut short, 100 bytes are missing"
grep -qF -- "--salvage keeps what lies before it" "$work/out" || fail "copy cut short: no --salvage offered: $(cat "$work/out")"
repaired "copy of a .cx cut short, --salvage" "$work/copy.cx" "$frames_before_last" "salvaging: offset 4" yes --salvage
head -c $((wsize - 1000)) "$work/good.wav" >"$work/copy.wav"
untouched "copy of a WAV cut short" "$work/copy.wav" 1 "it looks cut short, 1000 bytes are missing"
repaired "copy of a WAV cut short, --salvage" "$work/copy.wav" 32518 "salvaging" yes --salvage

echo "group: never finished, nothing cut"
cp "$work/good.cx" "$work/unfinished.cx"
unfinish "$work/unfinished.cx"
repaired "unfinished .cx" "$work/unfinished.cx" 32768 "the recording was never finished"
cmp -s "$work/unfinished.cx" "$work/good.cx" || fail "unfinished .cx: not the finished file"
[ -e "$work/unfinished.cx.tail-backup" ] && fail "unfinished .cx: a tail backup of nothing"
head -c 40 "$work/good.cx" >"$work/empty.cx"
unfinish "$work/empty.cx"
repaired "header alone" "$work/empty.cx" 0 "valid records of 0 frames"

echo "group: left untouched"
untouched "finished .cx" "$work/good.cx" 0 "already verifies: nothing to repair, left untouched"
untouched "finished WAV" "$work/good.wav" 0 "already verifies"
untouched "not a recording" "$corpus/README.md" 1 "neither a WAV nor a Compaxa recording: left untouched"
cp "$work/good.cx" "$work/rate.cx"
printf '\x80\xbb\0\0' | dd of="$work/rate.cx" bs=1 seek=16 conv=notrunc status=none
unfinish "$work/rate.cx"
untouched "Compaxa header with a wrong rate" "$work/rate.cx" 1 "offset 16: sample rate 48000, expected 44100: not recognisably a Compaxa recording"
sox -n -b 16 -r 44100 -c 1 "$work/mono.wav" trim 0 0.1
unfinish "$work/mono.wav"
untouched "mono WAV" "$work/mono.wav" 1 "PCM, 1 channel, 44100 Hz, 16 bits is not a recording's format"
head -c 20 "$work/good.cx" >"$work/stub.cx"
untouched "shorter than a header" "$work/stub.cx" 1 "not recognisably a Compaxa recording"
cp "$work/good.cx" "$work/dry.cx"
unfinish "$work/dry.cx"
untouched "dry run" "$work/dry.cx" 0 "dry run: nothing written" --dry-run
echo "an earlier repair's backup" >"$work/dry.cx.header-backup"
cp "$work/dry.cx.header-backup" "$work/earlier"
"$cx" repair "$work/dry.cx" >"$work/out" 2>&1
[ $? -eq 3 ] || fail "repair over an existing backup: not status 3: $(cat "$work/out")"
grep -q "dry.cx.header-backup exists (from an earlier repair?), and a backup is never overwritten" "$work/out" || fail "no reason given: $(cat "$work/out")"
grep -q "setting" "$work/out" && fail "a refused repair announced its changes: $(cat "$work/out")"
cmp -s "$work/dry.cx.header-backup" "$work/earlier" || fail "the earlier backup was overwritten"
"$cx" verify "$work/dry.cx" >/dev/null 2>&1 && fail "the file was repaired without a backup"
"$cx" repair --dry-run "$work/dry.cx" >"$work/dry-out" 2>&1
[ $? -eq 3 ] || fail "the dry run did not predict the refusal: $(cat "$work/dry-out")"
rm "$work/dry.cx.header-backup"

echo "group: damage inside a finished recording"
# Two bytes damaged in the first record of a finished file: the header still matches the file.
cp "$work/good.cx" "$work/damaged.cx"
printf '\x55\xaa' | dd of="$work/damaged.cx" bs=1 seek=40 conv=notrunc status=none
untouched "damage at offset 40" "$work/damaged.cx" 1 "offset 40: " 
grep -qF "damage inside the recording, not an unfinished end: 0 frames (0:00:00.00) of audio lie before it and 30720 frames" "$work/out" || fail "damage at 40: extent: $(cat "$work/out")"
grep -qF -- "there is no audio before it for --salvage to keep" "$work/out" || fail "damage at 40: --salvage offered where it keeps nothing"
untouched "damage at offset 40, dry run" "$work/damaged.cx" 1 "damage inside the recording" --dry-run
untouched "damage at offset 40, --salvage" "$work/damaged.cx" 1 "no audio before it" --salvage
# Damage in the last record, with nothing valid behind it: the header still declares its frames.
cp "$work/good.cx" "$work/last.cx"
printf '\xfc' | dd of="$work/last.cx" bs=1 seek=$((last_record + 5)) conv=notrunc status=none
untouched "damage in the last record" "$work/last.cx" 1 "the header declares 2048 frames (0:00:00.05) after it"
repaired "--salvage" "$work/last.cx" "$frames_before_last" "salvaging: offset $last_record" yes --salvage
[ "$(stat -c %s "$work/last.cx")" -eq "$last_record" ] || fail "--salvage kept what lies behind the damage"

echo "group: chunks after the samples"
# A LIST chunk after the samples is part of a valid WAV: info and verify take it, repair keeps it.
printf 'LIST\x0c\0\0\0INFOISFT\0\0\0\0' >"$work/list"
cat "$work/good.wav" "$work/list" >"$work/list.wav"
printf '%08x' $(($(stat -c %s "$work/list.wav") - 8)) | sed 's/\(..\)\(..\)\(..\)\(..\)/\\x\4\\x\3\\x\2\\x\1/' |
  xargs -0 printf | dd of="$work/list.wav" bs=1 seek=4 conv=notrunc status=none
"$cx" verify "$work/list.wav" >"$work/out" 2>&1 || fail "verify of a WAV with LIST after the samples: $(cat "$work/out")"
"$cx" info "$work/list.wav" >"$work/out" 2>&1 || fail "info of a WAV with LIST after the samples: $(cat "$work/out")"
untouched "LIST after the samples" "$work/list.wav" 0 "already verifies"
printf '\0\0\0\0' | dd of="$work/list.wav" bs=1 seek=4 conv=notrunc status=none
repaired "LIST after the samples, RIFF size lost" "$work/list.wav" 32768 "setting size field at byte 4: 0 ->"
cmp -s <(tail -c 20 "$work/list.wav") "$work/list" || fail "repair lost the LIST chunk"
grep -q "size field at byte 40" "$work/out" && fail "repair printed a size field it does not change: $(cat "$work/out")"

echo "group: a repair that cannot write leaves nothing behind"
# As an unprivileged user, on a file that user may read but not write, in a folder it may write.
chmod 755 "$work"
mkdir -m 777 "$work/shared"
cp "$work/good.cx" "$work/shared/locked.cx"
unfinish "$work/shared/locked.cx"
chmod 644 "$work/shared/locked.cx"
nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
for attempt in first second; do
  nobody "$cx" repair "$work/shared/locked.cx" >"$work/out" 2>&1
  [ $? -eq 3 ] || fail "$attempt repair of a file it may not write: not status 3: $(cat "$work/out")"
  grep -q "Permission denied; left untouched" "$work/out" || fail "$attempt: reason: $(cat "$work/out")"
  ls "$work/shared/" | grep -q backup && fail "$attempt: backups left behind: $(ls "$work/shared")"
done
nobody "$cx" repair --dry-run "$work/shared/locked.cx" >"$work/out" 2>&1
[ $? -eq 3 ] || fail "the dry run did not predict the refusal: $(cat "$work/out")"

echo "group: not a plain file, names with control characters"
mkfifo "$work/fifo.cx"
timeout 10 "$cx" repair "$work/fifo.cx" >"$work/out" 2>&1
[ $? -eq 1 ] || fail "repair of a FIFO: not refused: $(cat "$work/out")"
grep -q "a FIFO, not a recording" "$work/out" || fail "repair of a FIFO: reason: $(cat "$work/out")"
odd=$work/$'odd\e]0;title\a\nname.cx'
cp "$work/good.cx" "$odd"
unfinish "$odd"
"$cx" repair "$odd" >"$work/out" 2>&1 || fail "repair of an oddly named file: $(cat "$work/out")"
grep -q $'\e' "$work/out" && fail "a name's escape sequence went to the terminal"
grep -qF "odd'\$'\\033'']0;title'\$'\\a'\$'\\n''name.cx'" "$work/out" || fail "name not quoted: $(cat -A "$work/out")"
grep -qv "^'$work/odd" "$work/out" && fail "a name's line break split the report: $(cat -A "$work/out")"
[ "$("$cx" verify "$odd" 2>&1 | wc -l)" -eq 1 ] || fail "verify's verdict split by a name"
rm -f "$odd" "$odd".*

echo "group: interrupted at each write, a repair is whole or not at all"
# strace delivers SIGINT at the Nth pwrite64: backups, then the size fields.
cp "$work/good.cx" "$work/torn.cx"
unfinish "$work/torn.cx"
head -c $((size - 100)) "$work/torn.cx" >"$work/torn-whole.cx"
for n in 1 2 3 4 5 6; do
  cp "$work/torn-whole.cx" "$work/torn.cx"
  strace -f -o /dev/null -e trace=pwrite64 -e inject=pwrite64:signal=SIGINT:when=$n \
    "$cx" repair "$work/torn.cx" >"$work/out" 2>&1
  if cmp -s "$work/torn.cx" "$work/torn-whole.cx"; then
    ls "$work" | grep -q "torn.cx.*backup" && fail "interrupted at write $n: untouched but backups left"
    grep -q "interrupted before it was written; left untouched" "$work/out" ||
      fail "interrupted at write $n: untouched without saying so"
  else
    "$cx" verify "$work/torn.cx" >/dev/null 2>&1 || fail "interrupted at write $n: half a repair"
    [ -e "$work/torn.cx.header-backup" ] && [ -e "$work/torn.cx.tail-backup" ] ||
      fail "interrupted at write $n: repaired without both backups"
    cp "$work/torn.cx" "$work/restored"
    dd if="$work/torn.cx.header-backup" of="$work/restored" conv=notrunc status=none
    cat "$work/torn.cx.tail-backup" >>"$work/restored"
    cmp -s "$work/restored" "$work/torn-whole.cx" || fail "interrupted at write $n: backups do not restore"
  fi
  rm -f "$work/torn.cx.header-backup" "$work/torn.cx.tail-backup"
done

expect_usage() { "$cx" "$@" >/dev/null 2>&1; [ $? -eq 2 ] || fail "sonocap-cx $* is not a usage error"; }
expect_usage repair
expect_usage repair a b
expect_usage repair --force a

finish
