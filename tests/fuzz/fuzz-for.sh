#!/usr/bin/env bash
# Fuzzes each reader of untrusted bytes for MINUTES from its committed corpus, merges what grew
# into tests/fuzz/corpus (minimised: only inputs that add coverage), and adds the executions to
# the running count in tests/fuzz/README.md. Needs the fuzz tree of test.sh (build-fuzz).
# Usage: tests/fuzz/fuzz-for.sh MINUTES [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/../.."
minutes=${1:?usage: tests/fuzz/fuzz-for.sh MINUTES [TARGET...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(compressed_file_reader wave_reader packet_decoder)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  fuzzer=build-fuzz/tests/fuzz/${target}_fuzz
  corpus=tests/fuzz/corpus/$target
  [ -x "$fuzzer" ] || { echo "no $fuzzer: build the fuzz tree first (see test.sh)" >&2; exit 2; }
  mkdir -p "$work/$target"
  nice -n 10 "$fuzzer" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target-" "$work/$target" "$corpus" \
    >"$work/$target.log" 2>&1 || { tail -30 "$work/$target.log" >&2; echo "$target: crashed" >&2; exit 1; }
  runs=$(awk '/stat::number_of_executed_units/ {print $2}' "$work/$target.log")
  # The committed corpus becomes the minimal set that covers what both found.
  mkdir "$work/$target-merged"
  "$fuzzer" -merge=1 "$work/$target-merged" "$corpus" "$work/$target" >/dev/null 2>&1
  rm -f "$corpus"/*
  cp "$work/$target-merged"/* "$corpus"/
  # The running count: "| target | executions |" in the README's table.
  before=$(awk -F'|' -v t="$target" '$2 ~ " "t" " {gsub(/ /, "", $3); print $3}' tests/fuzz/README.md)
  total=$(( ${before:-0} + runs ))
  sed -i "s/^| $target | [0-9]* |/| $target | $total |/" tests/fuzz/README.md
  echo "$target: $runs executions in $minutes min, $total in all, corpus $(ls "$corpus" | wc -l) inputs"
done
