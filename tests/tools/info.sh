#!/usr/bin/env bash
# sonocap-cx info: the numbers agree with the file and with sox's measurements, as text and as
# JSON, for .cx and WAV files.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2

# peak_db WAV CHANNEL: sox's peak of one channel in dB relative to full scale.
peak_db() {
  sox "$1" -n remix "$2" stat 2>&1 | awk '/Maximum amplitude/ {mx=$3} /Minimum amplitude/ {mn=-$3}
    END {p = mx > mn ? mx : mn; printf "%.2f", 20 * log(p) / log(10)}'
}

for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  "$cx" encode "$clip" "$work/$name.cx" 2>/dev/null
  "$cx" decode "$work/$name.cx" "$work/$name.wav"
  frames=$(sox --i -s "$work/$name.wav")
  left=$(peak_db "$work/$name.wav" 1)
  right=$(peak_db "$work/$name.wav" 2)
  for file in "$work/$name.cx" "$work/$name.wav"; do
    "$cx" info --json "$file" >"$work/info.json" || { fail "info --json $file"; continue; }
    python3 -c '
import json, sys
path, frames, left, right, size = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
d = json.load(sys.stdin)
assert d["file"] == path, d["file"]
assert d["format"] == ("Compaxa" if path.endswith(".cx") else "WAV"), d["format"]
assert d["frames"] == frames, (d["frames"], frames)
assert abs(d["seconds"] - frames / 44100) < 1e-5, d["seconds"]
assert d["fileBytes"] == size and d["sampleBytes"] == 4 * frames, d
assert abs(d["ratio"] - 4 * frames / size) < 1e-5, d["ratio"]
assert abs(d["peakDb"]["left"] - left) < 0.02 and abs(d["peakDb"]["right"] - right) < 0.02, (d["peakDb"], left, right)
if d["format"] == "Compaxa":
    for ch in ("left", "right"):
        assert sum(d[ch]["codeLengths"].values()) == d["records"], d[ch]
        assert d[ch]["orders"]["2"] + d[ch]["orders"]["3"] == d["records"], d[ch]
' "$file" "$frames" "$left" "$right" "$(stat -c %s "$file")" <"$work/info.json" || fail "info --json $file"
  done
  "$cx" info "$work/$name.cx" >"$work/info.txt" || fail "info $name.cx"
  grep -q "^frames: *$frames$" "$work/info.txt" || fail "$name: text frames"
  grep -q "^format: *Compaxa, PCM, 2 channels, 44100 Hz, 16 bits$" "$work/info.txt" || fail "$name: text format"
  grep -q "^duration: *0:00:2[45]\.[0-9][0-9]$" "$work/info.txt" || fail "$name: text duration"
  grep -q "^code length *left *right$" "$work/info.txt" || fail "$name: no code length table"
  "$cx" info "$work/$name.wav" >"$work/info.txt" || fail "info $name.wav"
  grep -q "^format: *WAV, PCM" "$work/info.txt" || fail "$name.wav: text format"
  grep -q "code length" "$work/info.txt" && fail "$name.wav: a WAV has no code lengths"
done

# Digital silence: every record k = 1, order 2; peaks are -inf (null in JSON).
sox -D -r 44100 -c 2 -n -b 16 "$work/silence.wav" trim 0 16384s
"$cx" encode "$work/silence.wav" "$work/silence.cx"
"$cx" info "$work/silence.cx" >"$work/info.txt"
grep -q "^peak: *left -inf dB, right -inf dB$" "$work/info.txt" || fail "silence: peaks"
grep -q "^   1 bits *8 100.0 % *8 100.0 %$" "$work/info.txt" || fail "silence: code lengths: $(cat "$work/info.txt")"
grep -q "^duration: *0:00:00.37$" "$work/info.txt" || fail "silence: 16384 frames are 0.3715 s"
"$cx" info --json "$work/silence.cx" | python3 -c '
import json, sys
d = json.load(sys.stdin)
assert d["peakDb"] == {"left": None, "right": None}, d["peakDb"]
assert d["left"]["codeLengths"]["1"] == 8 and d["left"]["orders"] == {"2": 8, "3": 0}, d["left"]
assert d["records"] == 8 and d["fileBytes"] == 40 + 8 * 520, d
' || fail "silence: JSON"

# A file name that is not UTF-8 still gives valid JSON, from which the name comes back.
odd=$work/$'take-\xff\xc3(-\xe2\x82\xac'.cx
cp "$work/silence.cx" "$odd"
"$cx" info --json "$odd" | python3 -c '
import json, os, sys
d = json.loads(sys.stdin.buffer.read().decode("utf-8"))
assert os.fsencode(d["file"]) == os.fsencode(sys.argv[1]), (d["file"], sys.argv[1])
' "$odd" || fail "JSON for a file name that is not UTF-8"

# A file that is not whole is refused with the reason, and an unfinished one points to repair.
cp "$work/silence.cx" "$work/unfinished.cx"
printf '\0\0\0\0\0\0\0\0' | dd of="$work/unfinished.cx" bs=1 seek=4 conv=notrunc status=none
"$cx" info "$work/unfinished.cx" >"$work/out" 2>&1 && fail "info of an unfinished file succeeded"
grep -q "never finished (sonocap-cx repair rebuilds the header)" "$work/out" || fail "no hint: $(cat "$work/out")"
"$cx" info "$corpus/README.md" >/dev/null 2>&1; [ $? -eq 1 ] || fail "info of a text file"
"$cx" info >/dev/null 2>&1; [ $? -eq 2 ] || fail "info without a file"
"$cx" info --xml "$work/silence.cx" >/dev/null 2>&1; [ $? -eq 2 ] || fail "info --xml"

finish
