#!/usr/bin/env bash
# Each corpus clip through sonocap-cx encode and decode gives back every stored sample, and sox
# reads the decoded file as a valid WAV of the right length.
set -euo pipefail
cx=$1
corpus=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for clip in "$corpus"/*.wav; do
  name=$(basename "$clip" .wav)
  "$cx" encode "$clip" "$work/$name.cx" 2>"$work/$name.err"
  "$cx" decode "$work/$name.cx" "$work/$name.wav"

  frames=$(sox --i -s "$clip")
  # Whole capture buffers of 16384 frames, then eight equal sub-blocks of the rest.
  stored=$(( frames / 16384 * 16384 + frames % 16384 / 8 * 8 ))
  got=$(sox --i -s "$work/$name.wav")
  if [ "$got" -ne "$stored" ]; then
    echo "FAIL $name: decoded $got frames, expected $stored" >&2
    exit 1
  fi
  dropped=$(( frames - stored ))
  if [ "$dropped" -gt 0 ] && ! grep -q "the last $dropped frame" "$work/$name.err"; then
    echo "FAIL $name: no note about the $dropped dropped frames" >&2
    cat "$work/$name.err" >&2
    exit 1
  fi
  sox -D "$clip" -t raw "$work/in.raw"
  sox -D "$work/$name.wav" -t raw "$work/out.raw"
  if ! cmp -n $(( stored * 4 )) "$work/in.raw" "$work/out.raw"; then
    echo "FAIL $name: decoded samples differ from the input" >&2
    exit 1
  fi
  [ "$(stat -c %s "$work/out.raw")" -eq $(( stored * 4 )) ]
  echo "ok $name: $stored frames ($dropped dropped), $(stat -c %s "$work/$name.cx") bytes compressed from $(stat -c %s "$clip")"
done
