#!/usr/bin/env bash
# Times sonocap-cx encode and decode against flac (-0, and -d) on the corpus clips, as whole
# processes, in one run: several rounds each, median wall time, and the compressed sizes.
# Usage: bench/compare-peers.sh [build/sonocap-cx] [corpus folder] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
cx=${1:-build/sonocap-cx}
corpus=${2:-../shared/corpus}
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

printf '%-22s %9s %9s %6s %9s %9s %6s %10s %10s\n' clip "cx enc" "flac -0" ratio "cx dec" "flac -d" ratio "cx bytes" "flac bytes"
for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  cp "$clip" "$work/$name.wav"   # both read the same copy from the page cache
  "$cx" encode "$work/$name.wav" "$work/$name.cx" 2>/dev/null
  flac -0 -f -s --no-md5-sum -o "$work/$name.flac" "$work/$name.wav" 2>/dev/null

  cx_enc=$(median_ms "$cx" encode "$work/$name.wav" "$work/$name.cx")
  flac_enc=$(median_ms flac -0 -f -s --no-md5-sum -o "$work/$name.flac" "$work/$name.wav")
  cx_dec=$(median_ms "$cx" decode "$work/$name.cx" "$work/$name.cx.wav")
  flac_dec=$(median_ms flac -d -f -s -o "$work/$name.flac.wav" "$work/$name.flac")

  printf '%-22s %7sms %7sms %5sx %7sms %7sms %5sx %10s %10s\n' "$name" \
    "$cx_enc" "$flac_enc" "$(ratio "$flac_enc" "$cx_enc")" \
    "$cx_dec" "$flac_dec" "$(ratio "$flac_dec" "$cx_dec")" \
    "$(stat -c %s "$work/$name.cx")" "$(stat -c %s "$work/$name.flac")"
done
echo "ratio = flac time / sonocap-cx time (above 1: sonocap-cx is faster); median of $rounds rounds"
