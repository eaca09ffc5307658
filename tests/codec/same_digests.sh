#!/bin/sh
# Runs each digest program given and fails unless all print the same digest.
first=""
for program in "$@"; do
  out=$("$program") || { echo "$program failed: $out"; exit 1; }
  echo "$(basename "$program"): $out"
  [ -z "$first" ] && first=$out
  [ "$out" = "$first" ] || exit 1
done
