#!/usr/bin/env bash
# encode and decode draw a progress bar on standard error when it is a terminal (here a pseudo-
# terminal made by script(1)) and write nothing there when it is a file or a pipe.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2
# Whole capture buffers, so that encode has no note to print about dropped frames.
clip=$work/clip.wav
sox "$corpus/d2_game_score.wav" "$clip" trim 0 $((67 * 16384))s

for step in "encode -f $clip $work/a.cx" "decode -f $work/a.cx $work/a.wav"; do
  command=${step%% *}
  # On a terminal: the bar with its percent, rate and time left, wiped at the end.
  script -qec "$cx $step" /dev/null >"$work/tty" </dev/null || fail "$command on a terminal failed"
  grep -aq "$command \[#*\.*\] *[0-9]*% *[0-9.]* MB/s [0-9]*:[0-9][0-9] left" "$work/tty" ||
    fail "$command: no progress bar on the terminal: $(od -c "$work/tty" | head -5)"
  # Not a terminal: nothing at all on standard error.
  $cx $step 2>"$work/err" | cat
  [ -s "$work/err" ] && fail "$command wrote to a standard error that is not a terminal: $(cat "$work/err")"
done
sox "$clip" -t raw "$work/in.raw"
sox "$work/a.wav" -t raw "$work/out.raw"
cmp -s "$work/in.raw" "$work/out.raw" || fail "the round trip under a terminal changed the samples"

finish
