#!/usr/bin/env bash
# Times sonocap-cx encode and decode, with its default threads and with --threads 1, against flac
# (-0 --no-md5-sum, and -d) and WavPack (its fastest mode, wavpack -f, and wvunpack), as whole
# processes, each replacing its existing output, on the corpus clips and on a long file (the clips
# joined). cp of the same WAV into the same folder is timed alongside: the I/O bound of a
# whole-process conversion; "cx/cp" is sonocap-cx's time over cp's. The commands take turns
# within every round, so that the load of the machine falls on all alike; the figures are medians
# of the rounds, and every ratio comes from the same run.
# Usage: bench/compare-peers.sh [build/sonocap-cx] [corpus folder] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
cx=$(realpath "${1:-build/sonocap-cx}")
corpus=${2:-build/corpus}
rounds=${3:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_us COMMAND...: wall time of one run in microseconds, without starting a process of its own.
run_us() {
  local start end
  start=${EPOCHREALTIME/./}
  "$@" >/dev/null 2>&1
  end=${EPOCHREALTIME/./}
  echo $((end - start))
}
median_ms() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {m=(NR%2)?a[(NR+1)/2]:(a[NR/2]+a[NR/2+1])/2; printf "%.3f", m/1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
share() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f%%", 100 * a / b}'; }

names=()
for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  cp "$clip" "$work/$name.wav"   # every program reads the same copy from the page cache
  names+=("$name")
done
sox $(printf "$work/%s.wav " "${names[@]}") "$work/long.wav"
names+=(long)

enc_rows=() dec_rows=() size_rows=()
for name in "${names[@]}"; do
  w=$work/$name
  "$cx" encode -f "$w.wav" "$w.cx" 2>/dev/null
  flac -0 -f -s --no-md5-sum -o "$w.flac" "$w.wav" 2>/dev/null
  wavpack -f -q -y "$w.wav" -o "$w.wv" 2>/dev/null
  commands=(
    "$cx encode -f $w.wav $w.cx"
    "$cx encode --threads 1 -f $w.wav $w.cx"
    "flac -0 -f -s --no-md5-sum -o $w.flac $w.wav"
    "wavpack -f -q -y $w.wav -o $w.wv"
    "$cx decode -f $w.cx $w.cx.wav"
    "$cx decode --threads 1 -f $w.cx $w.cx.wav"
    "flac -d -f -s -o $w.flac.wav $w.flac"
    "wvunpack -q -y $w.wv -o $w.wv.wav"
    "cp -f $w.wav $w.cp.wav"
  )
  declare -A times=()
  for _ in $(seq "$rounds"); do
    for i in "${!commands[@]}"; do
      # shellcheck disable=SC2086
      times[$i]+="$(run_us ${commands[$i]}) "
    done
  done
  m=()
  for i in "${!commands[@]}"; do
    # shellcheck disable=SC2086
    m[$i]=$(median_ms ${times[$i]})
  done
  enc_rows+=("$(printf '%-20s %8sms %8sms %8sms %5sx %5sx %8sms %5sx %8sms %5s' "$name" "${m[0]}" \
    "${m[1]}" "${m[2]}" "$(ratio "${m[2]}" "${m[0]}")" "$(ratio "${m[2]}" "${m[1]}")" "${m[3]}" \
    "$(ratio "${m[3]}" "${m[0]}")" "${m[8]}" "$(ratio "${m[0]}" "${m[8]}")")")
  dec_rows+=("$(printf '%-20s %8sms %8sms %8sms %5sx %5sx %8sms %5sx %8sms %5s' "$name" "${m[4]}" \
    "${m[5]}" "${m[6]}" "$(ratio "${m[6]}" "${m[4]}")" "$(ratio "${m[6]}" "${m[5]}")" "${m[7]}" \
    "$(ratio "${m[7]}" "${m[4]}")" "${m[8]}" "$(ratio "${m[4]}" "${m[8]}")")")
  wav=$(stat -c %s "$w.wav")
  cxb=$(stat -c %s "$w.cx") flb=$(stat -c %s "$w.flac") wvb=$(stat -c %s "$w.wv")
  size_rows+=("$(printf '%-20s %10s %10s %7s %10s %7s %10s %7s' "$name" "$wav" "$cxb" \
    "$(share "$cxb" "$wav")" "$flb" "$(share "$flb" "$wav")" "$wvb" "$(share "$wvb" "$wav")")")
  unset times
done
echo "encode, median ms (x = peer time / sonocap-cx time; cx1 = --threads 1)"
printf '%-20s %10s %10s %10s %6s %6s %10s %6s %10s %5s\n' clip cx cx1 "flac -0" "x" "x cx1" "wavpack -f" "x" cp cx/cp
printf '%s\n' "${enc_rows[@]}"
echo
echo "decode, median ms"
printf '%-20s %10s %10s %10s %6s %6s %10s %6s %10s %5s\n' clip cx cx1 "flac -d" "x" "x cx1" wvunpack "x" cp cx/cp
printf '%s\n' "${dec_rows[@]}"
echo
echo "sizes, bytes and share of the WAV file"
printf '%-20s %10s %10s %7s %10s %7s %10s %7s\n' clip wav cx "" "flac -0" "" "wavpack -f" ""
printf '%s\n' "${size_rows[@]}"
echo "median of $rounds interleaved rounds per command, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); x above 1: sonocap-cx is faster"
