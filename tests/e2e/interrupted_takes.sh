# Takes that the recorder cannot stop (sourced by recorder_e2e_test.sh, which provides the
# session, the controls and the fed signal): the recorder is killed with SIGKILL at several
# moments of WAV and Compaxa takes, once while paused. Before any restart each file already
# plays: its header counts what was stored up to the last buffer. The next start finishes it
# (one "was interrupted" line, the modification time kept); a start after that changes nothing.
#
# Each case is "name format milliseconds pause": the take runs that long, then, with pause
# "paused", the pause button is held 1.5 s before the kill.

interrupted_cases=(
    "early wav 300 -"
    "wave wav 2600 -"
    "compaxa cx 4500 -"
    "paused cx 2000 paused"
)

# The length in seconds that the header of file $1 gives (sox for WAV, the uncompressed size
# field for Compaxa).
header_seconds() {
    case $1 in
        *.wav) soxi -D "$1" ;;
        *.cx) awk -v b="$(od -An -tu4 -j8 -N4 "$1" | tr -d ' ')" 'BEGIN { print b / 176400 }' ;;
    esac
}

# Starts the recorder and takes case $1 into $recordings/killed-NAME.EXT, then kills it.
killed_take() {
    local name format ms pause
    read -r name format ms pause <<<"$1"
    local file=$recordings/killed-$name.$format
    [ "$format" = cx ] && click_control "$recorder" $COMPRESSION_CHECK
    click_control "$recorder" $RECORD_BUTTON
    local title=$WAVE_SAVE_TITLE
    [ "$format" = cx ] && title=$COMPAXA_SAVE_TITLE
    save=$(wait_window "$title" 30) || fail "no save dialog for $file"
    wait_focus "$save" 10 || fail "the save dialog has no keyboard focus"
    type_and_enter "$file"
    wait_file_size "$file" 0 10 || fail "no file $file"
    # The record is the start's last step before capture begins: the take's time counts from it.
    local _
    for _ in $(seq 500); do
        ls "$HOME/.local/state/sonocap/"take-* >/dev/null 2>&1 && break
        sleep 0.02
    done
    local started=$(date +%s%N)
    park_pointer
    local until_ns=$((started + ms * 1000000))
    while [ "$(date +%s%N)" -lt "$until_ns" ]; do sleep 0.02; done
    local recorded_ns=$(($(date +%s%N) - started))
    if [ "$pause" = paused ]; then
        click_control "$recorder" $PAUSE_BUTTON
        park_pointer
        sleep 1.5
    fi
    ls "$HOME/.local/state/sonocap/"take-* >/dev/null 2>&1 || fail "no take record for $file"
    kill -KILL "$app_pid"
    wait_recorder_exit 10
    [ "$app_status" -eq 137 ] || fail "the killed recorder ended with status $app_status"
    # Before any restart: the header counts what the file held at the kill, within 1 s of the
    # time recorded; verify finds nothing wrong but the bytes behind the sizes.
    local seconds
    seconds=$(header_seconds "$file")
    note "   $name: killed after $((recorded_ns / 1000000)) ms; the header says $seconds s"
    awk -v s="$seconds" -v r="$recorded_ns" 'BEGIN { d = s - r / 1e9; exit !(d > -1 && d < 1) }' ||
        fail "$file: the header says $seconds s for $((recorded_ns / 1000000)) ms recorded"
    if ! "$cx" verify "$file" >"$out/verify-killed-$name.txt" 2>&1; then
        grep -Eq "does not match the file's length|does not match the [0-9]+ bytes after" \
            "$out/verify-killed-$name.txt" ||
            fail "$file before the restart: $(cat "$out/verify-killed-$name.txt")"
    fi
    killed_mtime=$(stat -c %y "$file")
}

# After the restart that finished case $1: the log line, the file verifies, holds one unbroken
# run of the fed signal, and kept its modification time.
check_finished() {
    local name format ms pause
    read -r name format ms pause <<<"$1"
    local file=$recordings/killed-$name.$format
    grep -q "^sonocap: $file: the take was interrupted at [0-9:.]* (the program ended without stopping it); it has been finished and holds [0-9:.]*\$" \
        "$work/sonocap.log" || fail "no line of the interrupted take: $(grep "killed-$name" "$work/sonocap.log")"
    note "   $(grep "$file: the take was interrupted" "$work/sonocap.log")"
    "$cx" verify "$file" >"$out/verify-finished-$name.txt" 2>&1 ||
        fail "$file does not verify after the restart: $(cat "$out/verify-finished-$name.txt")"
    [ "$(stat -c %y "$file")" = "$killed_mtime" ] ||
        fail "$file looks newer after it was finished: $(stat -c %y "$file"), was $killed_mtime"
    local wave=$file
    if [ "$format" = cx ]; then
        wave=$work/killed-$name.wav
        "$cx" decode "$file" "$wave" >/dev/null || fail "$file does not decode"
    fi
    if [ "$(soxi -s "$wave")" -gt 0 ]; then
        sox -D "$wave" -t raw "$work/killed-$name.raw"
        "$matcher" "$signal" "$work/killed-$name.raw" 1 >"$out/match-killed-$name.txt" ||
            fail "$file is not one run of the fed music: $(tail -n 1 "$out/match-killed-$name.txt")"
    fi
    finished_digest=$(md5sum <"$file")
    finished_mtime=$(stat -c %y "$file")
}

interrupted_takes() {
    local previous="" case
    for case in "${interrupted_cases[@]}" ""; do
        start_recorder "$app" "$recordings"
        recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window after a kill"
        window_geometry "$recorder"
        if [ -n "$previous" ]; then
            check_finished "$previous"
            # Told once on the desktop too.
            notified=$((notified + 1))
            expect_notifications "$notified" 5
            expect_text "the notification" "$(last_notification summary)" "Sonocap: recording stopped"
            finished_count=$((finished_count + 1))
            # Only the take killed last: the ones before were finished once, and stay so.
            [ "$(grep -c "the take was interrupted" "$work/sonocap.log")" -eq "$finished_count" ] ||
                fail "a take was finished twice: $(grep "interrupted" "$work/sonocap.log")"
        fi
        [ -n "$case" ] || break
        killed_take "$case"
        previous=$case
    done
    # A second start changes nothing more.
    focus_recorder
    xdotool key Escape
    wait_recorder_exit 20
    start_recorder "$app" "$recordings"
    recorder=$(wait_window "$RECORDER_TITLE" 30) || fail "no recorder window at the last start"
    window_geometry "$recorder"
    sleep 1
    local name format
    read -r name format _ <<<"$previous"
    [ "$(md5sum <"$recordings/killed-$name.$format")" = "$finished_digest" ] &&
        [ "$(stat -c %y "$recordings/killed-$name.$format")" = "$finished_mtime" ] ||
        fail "a second start changed killed-$name.$format"
    [ "$(grep -c "the take was interrupted" "$work/sonocap.log")" -eq "$finished_count" ] ||
        fail "a second start finished a take again"
    focus_recorder
    xdotool key Escape
    wait_recorder_exit 20
    [ "$app_status" -eq 0 ] || fail "the recorder ended with status $app_status"
}
finished_count=0  # "was interrupted" lines expected in the log
