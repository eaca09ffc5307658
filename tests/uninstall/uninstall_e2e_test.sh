#!/bin/bash
# Runs the real helper against a temporary installation and registry store.
#   uninstall_e2e_test.sh HELPER removal   installer answers 1 after the first look: the
#                                          installer and the emptied directories go
#   uninstall_e2e_test.sh HELPER nokey     no entry in the store: the message, nothing touched
set -u
helper=$1
scenario=$2

root=$(mktemp -d /tmp/sonocap-e2e-XXXXXX)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

install=$root/Apps/Audio/Rec
mkdir -p "$install/data" "$root/Apps/Other"
echo "program" > "$install/sonocap"
echo "take" > "$install/data/take.wav"
echo "keep" > "$root/Apps/Other/keep.txt"
mkdir -p "$root/Apps/Empty"

# The installer of this test: removes the program's files, answers after 5.7 s, so that the
# helper's first look at 5 s finds nothing and the second one finds the marker.
cat > "$install/setup.exe" <<'SETUP'
#!/bin/sh
dir=$(dirname "$0")
[ "$#" = 1 ] && [ "$1" = 2 ] || exit 1
echo "$$" > "$dir/../../../installer.ran"
rm -f "$dir/sonocap"
rm -rf "$dir/data"
sleep 5.7
printf '\001' > "$dir/answer.part"
mv "$dir/answer.part" "$dir/\$\$\$67352.tmp"
SETUP
chmod 755 "$install/setup.exe"

# npath keeps everything down to Apps: the helper may remove Rec and Audio only.
separators=$(printf '%s' "$install" | tr -cd / | wc -c)
npath=$((separators - 1))
store=$root/registry
if [ "$scenario" = removal ]; then
    {
        echo "; written by the test installation"
        echo "[SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe]"
        echo "@=\"$install/sonocap\""
        printf '"npath"=dword:%08x\n' "$npath"
    } > "$store"
else
    echo "[SOFTWARE\\Other]" > "$store"
fi

start_ms=$(($(date +%s%N) / 1000000))
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM SONOCAP_REGISTRY="$store" \
    "$helper" ignored arguments > "$root/stdout" 2> "$root/stderr"
status=$?
elapsed_ms=$(($(date +%s%N) / 1000000 - start_ms))
[ "$status" = 0 ] || fail "exit code $status"
[ -s "$root/stdout" ] && fail "unexpected output: $(cat "$root/stdout")"

listing=$(cd "$root" && find . -mindepth 1 ! -name stdout ! -name stderr | sort | tr '\n' ' ')
if [ "$scenario" = removal ]; then
    [ -s "$root/stderr" ] && fail "unexpected message: $(cat "$root/stderr")"
    [ -e "$root/installer.ran" ] || fail "installer did not run"
    expected="./Apps ./Apps/Empty ./Apps/Other ./Apps/Other/keep.txt ./installer.ran ./registry "
    [ "$listing" = "$expected" ] || fail "left: $listing"
    # Found at the second look: 5 s, one failed attempt, 1 s, then 0.5 s before reading.
    [ "$elapsed_ms" -ge 6400 ] && [ "$elapsed_ms" -lt 9000 ] || fail "took $elapsed_ms ms"
else
    expected_message=$(printf ' Information:\n     This is an uninstallation program for Corvanta\302\264s Audiograph.\n      As the Audiograph application has already been uninstalled, \n                         you may savely delete this program.')
    [ "$(cat "$root/stderr")" = "$expected_message" ] || fail "message: $(cat "$root/stderr")"
    expected="./Apps ./Apps/Audio ./Apps/Audio/Rec ./Apps/Audio/Rec/data ./Apps/Audio/Rec/data/take.wav ./Apps/Audio/Rec/setup.exe ./Apps/Audio/Rec/sonocap ./Apps/Empty ./Apps/Other ./Apps/Other/keep.txt ./registry "
    [ "$listing" = "$expected" ] || fail "changed: $listing"
    [ "$elapsed_ms" -lt 2000 ] || fail "took $elapsed_ms ms"
fi
echo "ok: $scenario in $elapsed_ms ms"
