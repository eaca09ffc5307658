#!/usr/bin/env bash
# Times sonocap-cx encode and decode against flac (-0 --no-md5-sum, and -d) and WavPack (its
# fastest mode, wavpack -f, and wvunpack) on the corpus clips, as whole processes, in one run:
# several rounds each, median wall time, and the compressed sizes as a share of the WAV.
# Usage: bench/compare-peers.sh [build/sonocap-cx] [corpus folder] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
cx=${1:-build/sonocap-cx}
corpus=${2:-build/corpus}
rounds=${3:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# median_ms COMMAND...: median wall time of $rounds runs, in milliseconds (three decimals).
median_ms() {
  local times=()
  for _ in $(seq "$rounds"); do
    local start end
    start=${EPOCHREALTIME/./}   # microseconds, without starting a process of its own
    "$@" >/dev/null 2>&1
    end=${EPOCHREALTIME/./}
    times+=($((end - start)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.3f", m/1000}'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
share() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f%%", 100 * a / b}'; }

enc_rows=() dec_rows=() size_rows=()
for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  cp "$clip" "$work/$name.wav"   # every program reads the same copy from the page cache
  "$cx" encode "$work/$name.wav" "$work/$name.cx" 2>/dev/null
  flac -0 -f -s --no-md5-sum -o "$work/$name.flac" "$work/$name.wav" 2>/dev/null
  wavpack -f -q -y "$work/$name.wav" -o "$work/$name.wv" 2>/dev/null

  cx_enc=$(median_ms "$cx" encode "$work/$name.wav" "$work/$name.cx")
  flac_enc=$(median_ms flac -0 -f -s --no-md5-sum -o "$work/$name.flac" "$work/$name.wav")
  wv_enc=$(median_ms wavpack -f -q -y "$work/$name.wav" -o "$work/$name.wv")
  cx_dec=$(median_ms "$cx" decode "$work/$name.cx" "$work/$name.cx.wav")
  flac_dec=$(median_ms flac -d -f -s -o "$work/$name.flac.wav" "$work/$name.flac")
  wv_dec=$(median_ms wvunpack -q -y "$work/$name.wv" -o "$work/$name.wv.wav")

  enc_rows+=("$(printf '%-20s %7sms %7sms %5sx %7sms %5sx' "$name" "$cx_enc" "$flac_enc" \
    "$(ratio "$flac_enc" "$cx_enc")" "$wv_enc" "$(ratio "$wv_enc" "$cx_enc")")")
  dec_rows+=("$(printf '%-20s %7sms %7sms %5sx %7sms %5sx' "$name" "$cx_dec" "$flac_dec" \
    "$(ratio "$flac_dec" "$cx_dec")" "$wv_dec" "$(ratio "$wv_dec" "$cx_dec")")")
  wav=$(stat -c %s "$clip")
  cxb=$(stat -c %s "$work/$name.cx") flb=$(stat -c %s "$work/$name.flac") wvb=$(stat -c %s "$work/$name.wv")
  size_rows+=("$(printf '%-20s %10s %10s %7s %10s %7s %10s %7s' "$name" "$wav" "$cxb" \
    "$(share "$cxb" "$wav")" "$flb" "$(share "$flb" "$wav")" "$wvb" "$(share "$wvb" "$wav")")")
done
echo "encode, median ms (x = peer time / sonocap-cx time)"
printf '%-20s %9s %9s %6s %9s %6s\n' clip "cx" "flac -0" "x" "wavpack -f" "x"
printf '%s\n' "${enc_rows[@]}"
echo
echo "decode, median ms"
printf '%-20s %9s %9s %6s %9s %6s\n' clip "cx" "flac -d" "x" "wvunpack" "x"
printf '%s\n' "${dec_rows[@]}"
echo
echo "sizes, bytes and share of the WAV file"
printf '%-20s %10s %10s %7s %10s %7s %10s %7s\n' clip wav cx "" "flac -0" "" "wavpack -f" ""
printf '%s\n' "${size_rows[@]}"
echo "median of $rounds rounds per command; x above 1: sonocap-cx is faster"
