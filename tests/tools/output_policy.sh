#!/usr/bin/env bash
# What encode and decode do with every kind of output, as a table: an existing file is replaced
# only with --force and never when the user could not write it or when it is the input; links
# are written through; devices and FIFOs are written directly; directories are refused before any
# work; a temporary file never stays behind, not even after a signal.
. "$(dirname "$0")/test_lib.sh"
cx=$1
corpus=$2
chmod 755 "$work"
sox "$corpus/d3_tracker_music.wav" "$work/in.wav" trim 0 100000s
"$cx" encode "$work/in.wav" "$work/in.cx" 2>/dev/null
cp "$work/in.cx" "$work/want.cx"
"$cx" decode "$work/in.cx" "$work/want.wav"
# Owners, other users and device nodes need root; elsewhere those rows are skipped.
root=$([ "$(id -u)" -eq 0 ] && echo yes || echo no)
[ "$root" = yes ] || echo "not root: the rows of owners, other users and devices are skipped"
nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }

# run CMD OUT STATUS FRAGMENT [OPTION...]: runs the command on its input, checks the status and
# the message, and that no temporary file was left anywhere in the work folder.
run() {
  local cmd=$1 out=$2 status=$3 fragment=$4
  shift 4
  local in=$work/in.wav
  [ "$cmd" = decode ] && in=$work/in.cx
  ${as:-} "$cx" "$cmd" "$@" "$in" "$out" >"$work/msg" 2>&1
  local got=$?
  [ "$got" -eq "$status" ] || fail "$cmd $* -> $out: status $got, want $status: $(cat "$work/msg")"
  [ -z "$fragment" ] || grep -qF -- "$fragment" "$work/msg" ||
    fail "$cmd -> $out: no '$fragment' in: $(cat "$work/msg")"
  find "$work" -name '.sonocap-cx-*' | grep -q . && fail "$cmd -> $out: a temporary file was left"
}

# same FILE CMD: FILE holds exactly what CMD writes.
same() { cmp -s "$1" "$work/want.$([ "$2" = encode ] && echo cx || echo wav)" || fail "$2: $1 does not hold the output"; }

for cmd in encode decode; do
  echo "group: $cmd"
  ext=$([ "$cmd" = encode ] && echo cx || echo wav)
  in=$work/in.wav; [ "$cmd" = decode ] && in=$work/in.cx
  d=$work/$cmd; mkdir -m 777 "$d"

  # An existing plain file: kept without --force, replaced with it, keeping mode, owner, group.
  echo precious >"$d/old.$ext"; chmod 640 "$d/old.$ext"
  [ "$root" = yes ] && chown 65534:65534 "$d/old.$ext"
  run "$cmd" "$d/old.$ext" 3 "exists (--force replaces it)"
  grep -q precious "$d/old.$ext" || fail "$cmd: an existing file was replaced without --force"
  run "$cmd" "$d/old.$ext" 0 "" --force
  same "$d/old.$ext" "$cmd"
  [ "$root" = no ] || [ "$(stat -c '%a %u %g' "$d/old.$ext")" = "640 65534 65534" ] ||
    fail "$cmd --force: mode, owner or group changed: $(stat -c '%a %u %g' "$d/old.$ext")"
  run "$cmd" "$d/old.$ext" 0 "" -f

  # A file with another hard link: replacing it would separate the two names.
  echo precious >"$d/linked.$ext"; ln "$d/linked.$ext" "$d/other-name.$ext"
  run "$cmd" "$d/linked.$ext" 3 "has 1 other hard link(s), which replacing it would separate" --force
  grep -q precious "$d/other-name.$ext" || fail "$cmd: a file with another hard link was replaced"

  # A file size limit below the output's size: the write fails, also where decode's workers write
  # the samples, and is told; nothing is left.
  as="prlimit --fsize=65536" run "$cmd" "$d/limited.$ext" 3 "File too large" --threads 3
  [ -e "$d/limited.$ext" ] && fail "$cmd: an output beyond the size limit was left"

  # A write-protected file, for a user who may write the folder but not the file.
  echo precious >"$d/ro.$ext"; chmod 444 "$d/ro.$ext"
  if [ "$root" = yes ]; then
    chown 65534:65534 "$d/ro.$ext"
    as=nobody run "$cmd" "$d/ro.$ext" 3 "Permission denied: not replaced" --force
  else
    run "$cmd" "$d/ro.$ext" 3 "Permission denied: not replaced" --force
  fi
  grep -q precious "$d/ro.$ext" || fail "$cmd: a write-protected file was replaced"

  # The input itself, through a symbolic link, a hard link and another spelling.
  cp "$in" "$d/self"
  ln -s "$in" "$d/symlink-to-input"
  ln "$in" "$d/hardlink-to-input"
  for out in "$d/symlink-to-input" "$d/hardlink-to-input" "$work/./$cmd/../$(basename "$in")"; do
    run "$cmd" "$out" 3 "is the input file: refused" --force
    cmp -s "$in" "$d/self" || fail "$cmd: the input was changed through $out"
  done

  # A symbolic link is written through; a dangling one creates its target.
  echo old >"$d/target.$ext"; ln -s target.$ext "$d/link.$ext"
  run "$cmd" "$d/link.$ext" 0 "" --force
  [ -L "$d/link.$ext" ] || fail "$cmd: the symbolic link was replaced"
  same "$d/target.$ext" "$cmd"
  ln -s "new-target.$ext" "$d/dangling.$ext"
  run "$cmd" "$d/dangling.$ext" 0 ""
  [ -L "$d/dangling.$ext" ] && [ -f "$d/new-target.$ext" ] || fail "$cmd: dangling link not written through"

  # Devices: private copies of /dev/null and /dev/full.
  if [ "$root" = yes ]; then
    mknod "$d/null" c 1 3 && mknod "$d/full" c 1 7
    run "$cmd" "$d/null" 0 ""
    [ -c "$d/null" ] || fail "$cmd: the null device became a $(stat -c %F "$d/null")"
    run "$cmd" "$d/full" 3 "No space left on device"
    [ -c "$d/full" ] || fail "$cmd: the full device was replaced"
  fi

  # A FIFO: its reader gets the bytes (decode), or a clear refusal (encode needs to seek).
  mkfifo "$d/fifo"
  if [ "$cmd" = decode ]; then
    cat "$d/fifo" >"$d/from-fifo" &
    run "$cmd" "$d/fifo" 0 ""
    wait
    same "$d/from-fifo" "$cmd"
  else
    run "$cmd" "$d/fifo" 3 "cannot go back to write the header's sizes here"
  fi
  [ -p "$d/fifo" ] || fail "$cmd: the FIFO was replaced"

  # A directory, or a name ending in /, is refused before the input is read: here it never ends.
  mkdir "$d/dir"
  mkfifo "$d/never"
  exec 9<>"$d/never"
  for out in "$d/dir" "$d/new/"; do
    timeout 10 "$cx" "$cmd" - "$out" <&9 >"$work/msg" 2>&1
    [ $? -eq 3 ] || fail "$cmd -> $out: not refused at once: $(cat "$work/msg")"
  done
  exec 9>&-
  grep -qF "Is a directory" "$work/msg" || grep -qF "ends in /" "$work/msg" || fail "$cmd: $(cat "$work/msg")"
  [ -z "$(ls -A "$d/dir")" ] && [ ! -e "$d/new" ] || fail "$cmd: something was written for a directory"

  # The longest name the file system allows.
  long=$(printf 'n%.0s' $(seq 251)).$ext
  run "$cmd" "$d/$long" 0 ""
  same "$d/$long" "$cmd"

  # A signal in the middle: the input comes from a FIFO that stalls; the temporary file goes.
  for signal in INT TERM HUP PIPE ALRM USR1 USR2; do
    mkfifo "$d/slow"
    # Job control, so that the command does not start with SIGINT ignored as background jobs do.
    ( set -m; "$cx" "$cmd" - "$d/cut.$ext" <"$d/slow" 2>"$work/msg" & echo $! >"$d/pid"; wait ) 2>/dev/null &
    ( head -c 300000 "$in"; exec sleep 30 ) >"$d/slow" &
    feeder=$!
    for _ in $(seq 100); do [ -s "$d/pid" ] && find "$d" -name '.sonocap-cx-*' | grep -q . && break; sleep 0.05; done
    find "$d" -name '.sonocap-cx-*' | grep -q . || fail "$cmd: no temporary file while it works"
    pid=$(cat "$d/pid")
    kill -"$signal" "$pid"
    # The command is the subshell's child, not ours: wait until it has gone, however slow the
    # machine, before looking for what it left.
    for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -0 "$pid" 2>/dev/null && fail "$cmd: SIG$signal did not end it"
    wait %1 2>/dev/null
    kill "$feeder" 2>/dev/null; wait "$feeder" 2>/dev/null
    find "$d" -name '.sonocap-cx-*' | grep -q . && fail "$cmd: SIG$signal left the temporary file"
    [ -e "$d/cut.$ext" ] && fail "$cmd: SIG$signal left a partial output"
    rm -f "$d/slow" "$d/pid"
  done

  # A name that appears while the command runs (the recorder saves a take under it) is kept.
  mkfifo "$d/slow"
  ( head -c 300000 "$in"; while [ ! -e "$d/go" ]; do sleep 0.05; done; tail -c +300001 "$in" ) >"$d/slow" &
  feeder=$!
  "$cx" "$cmd" - "$d/race.$ext" <"$d/slow" >"$work/msg" 2>&1 &
  worker=$!
  for _ in $(seq 100); do find "$d" -name '.sonocap-cx-*' | grep -q . && break; sleep 0.05; done
  echo "the recorder's take" >"$d/race.$ext"
  touch "$d/go"
  wait "$worker"
  status=$?
  wait "$feeder"
  [ "$status" -eq 3 ] || fail "$cmd: a name that appeared meanwhile: status $status: $(cat "$work/msg")"
  grep -q "appeared while the output was being written" "$work/msg" || fail "$cmd: race: $(cat "$work/msg")"
  [ "$(cat "$d/race.$ext")" = "the recorder's take" ] || fail "$cmd: a name that appeared meanwhile was replaced"
  find "$d" -name '.sonocap-cx-*' | grep -q . && fail "$cmd: race: the temporary file was left"
  rm -f "$d/slow" "$d/go" "$d/race.$ext"
done

finish
