#!/bin/bash
# Runs the real helper against a temporary installation and registry store.
#   uninstall_e2e_test.sh HELPER removal   installer answers 1 after the first look: the
#                                          installer and the emptied directories go
#   uninstall_e2e_test.sh HELPER nokey     no entry in the store: the message, nothing touched
# With the real setup.exe beside HELPER, in installations made as the install makes them:
#   ... rootrefuses   nobody's installation, whose setup.exe nobody replaced, uninstalled by
#                     root: refused at once, the replacement never runs, nothing changes
#   ... twoprefixes   A then B installed, A's own helper run: A goes, B stays byte for byte
#                     and registered
#   ... rerun         as nobody, a file that cannot be removed: the helper and the manifest
#                     stay; once it can be removed, the helper run again finishes
#   ... linkprefix    the installation reached through a link above its prefix: removed in
#                     about 5.5 s, down to the folders the install made
#   ... otherhome     root registers with nobody's HOME kept (sudo -E) and links planted in
#                     nobody's store folder: the machine's store (a fresh /etc/xdg in a private
#                     mount namespace) is written, nobody's home is not touched; nobody's
#                     helper then says whose the installation is
#   ... package       the package manager's installation in a folder that root may not write
#                     (a read-only /usr): setup.exe says whose it is and cannot leave its answer;
#                     the helper ends at its first look, not after 67 s, and nothing changes
set -u
helper=$1
scenario=$2
setup=$(dirname "$helper")/setup.exe

root=$(mktemp -d /tmp/sonocap-e2e-XXXXXX)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
chmod 755 "$root"

# An installation in PREFIX as the install makes it: program folder lib/sonocap with the real
# setup.exe and helper, a link in bin/, a menu entry; the install made every folder but PREFIX.
make_installation() {
    local prefix=$1 program=$1/lib/sonocap file
    mkdir -p "$program" "$prefix/bin" "$prefix/share/applications"
    cp "$helper" "$program/sonocap-uninstall"
    cp "$setup" "$program/setup.exe"
    echo "recorder of $prefix" >"$program/sonocap"
    echo "[Desktop Entry]" >"$prefix/share/applications/org.sonocap.Sonocap.desktop"
    ln -s ../lib/sonocap/sonocap-uninstall "$prefix/bin/sonocap-uninstall"
    {
        echo "program lib/sonocap"
        for file in lib/sonocap/sonocap lib/sonocap/sonocap-uninstall lib/sonocap/setup.exe \
            share/applications/org.sonocap.Sonocap.desktop; do
            echo "file $file $(stat -c %s "$prefix/$file") $(sha256sum <"$prefix/$file" | cut -d' ' -f1)"
        done
        echo "link bin/sonocap-uninstall ../lib/sonocap/sonocap-uninstall"
        printf 'directory %s\n' lib/sonocap lib bin share/applications share
    } >"$program/sonocap.manifest"
}
tree() { (cd "$1" && find . -printf '%p %y %s %l\n' -type f -exec sha256sum {} + | sort); }
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
store=$root/registry
elapsed() { echo $(($(date +%s%N) / 1000000 - $1)); }
listing() { (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' '); }
# Runs a helper as root without a display: it must say nothing and be done in one wait, not 67 s.
run_quietly() {
    local start_ms=$(($(date +%s%N) / 1000000))
    "${nodisplay[@]}" SONOCAP_REGISTRY="$store" "$1" 2>"$root/stderr"
    ms=$(elapsed "$start_ms")
    [ -s "$root/stderr" ] && fail "unexpected message: $(cat "$root/stderr")"
    [ "$ms" -lt 9000 ] || fail "took $ms ms"
}

case $scenario in
rootrefuses)
    make_installation "$root/ann"
    chown -R 65534:65534 "$root/ann"
    mkdir "$root/annhome" && chown 65534:65534 "$root/annhome"
    store=$root/annhome/registry
    "${as_nobody[@]}" env SONOCAP_REGISTRY="$store" "$root/ann/lib/sonocap/setup.exe" 1 >/dev/null ||
        fail "nobody could not register the installation"
    printf '#!/bin/sh\nid -u > %s/ran-as\n' "$root" >"$root/script"
    "${as_nobody[@]}" cp "$root/script" "$root/ann/lib/sonocap/setup.exe"
    before=$(tree "$root/ann")
    start_ms=$(($(date +%s%N) / 1000000))
    "${nodisplay[@]}" SONOCAP_REGISTRY="$store" "$root/ann/bin/sonocap-uninstall" 2>"$root/stderr"
    ms=$(elapsed "$start_ms")
    [ -e "$root/ran-as" ] && fail "root ran nobody's setup.exe as uid $(cat "$root/ran-as")"
    grep -q "belongs to nobody" "$root/stderr" || fail "message: $(cat "$root/stderr")"
    [ "$(tree "$root/ann")" = "$before" ] || fail "the installation changed"
    [ "$ms" -lt 2000 ] || fail "took $ms ms"
    ;;
twoprefixes)
    mkdir -p "$root/a" "$root/b"
    echo "mine" >"$root/a/notes.txt"
    make_installation "$root/a"
    make_installation "$root/b"
    SONOCAP_REGISTRY="$store" "$root/a/lib/sonocap/setup.exe" 1 >/dev/null || fail "A not registered"
    SONOCAP_REGISTRY="$store" "$root/b/lib/sonocap/setup.exe" 1 >"$root/stdout" || fail "B not registered"
    grep -q "also installed in $root/a/lib/sonocap" "$root/stdout" || fail "B did not say: $(cat "$root/stdout")"
    before=$(tree "$root/b")
    run_quietly "$root/a/bin/sonocap-uninstall"
    left=$(listing "$root/a")
    [ "$left" = "./notes.txt " ] || fail "left of A: $left"
    [ "$(tree "$root/b")" = "$before" ] || fail "B changed"
    grep -qF "@=\"$root/b/lib/sonocap/sonocap\"" "$store" || fail "B is no longer registered"
    grep -qF "$root/a/" "$store" && fail "A is still registered: $(cat "$store")"
    ;;
rerun)
    mkdir -p "$root/home" && chown 65534:65534 "$root/home"
    make_installation "$root/home/opt"
    chown -R 65534:65534 "$root/home"
    as_user=("${as_nobody[@]}" "${nodisplay[@]}" HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config")
    "${as_user[@]}" "$root/home/opt/lib/sonocap/setup.exe" 1 >/dev/null || fail "not registered"
    chmod 555 "$root/home/opt/share/applications"
    "${as_user[@]}" "$root/home/opt/bin/sonocap-uninstall" 2>"$root/stderr"
    grep -q "run sonocap-uninstall again" "$root/stderr" || fail "first run said: $(cat "$root/stderr")"
    for kept in bin/sonocap-uninstall lib/sonocap/sonocap-uninstall lib/sonocap/setup.exe \
        lib/sonocap/sonocap.manifest share/applications/org.sonocap.Sonocap.desktop; do
        [ -e "$root/home/opt/$kept" ] || fail "$kept went after the failed removal"
    done
    [ -e "$root/home/opt/lib/sonocap/sonocap" ] && fail "the recorder stayed"
    chmod 755 "$root/home/opt/share/applications"
    "${as_user[@]}" "$root/home/opt/bin/sonocap-uninstall" 2>"$root/stderr"
    [ -s "$root/stderr" ] && fail "second run said: $(cat "$root/stderr")"
    left=$(listing "$root/home")
    [ "$left" = "./.config ./.config/sonocap ./.config/sonocap/registry ./opt " ] || fail "left: $left"
    grep -qi "sonocap" <(grep '^\[' "$root/home/.config/sonocap/registry") && fail "still registered"
    ;;
linkprefix)
    mkdir -p "$root/real/deeper/still"
    ln -s real/deeper/still "$root/link"
    make_installation "$root/link/prefix"
    SONOCAP_REGISTRY="$store" "$root/link/prefix/lib/sonocap/setup.exe" 1 >/dev/null || fail "not registered"
    run_quietly "$root/link/prefix/bin/sonocap-uninstall"
    left=$(listing "$root/real")
    [ "$left" = "./deeper ./deeper/still ./deeper/still/prefix " ] || fail "left: $left"
    ;;
otherhome)
    mkdir -p "$root/nobody/.config/sonocap"
    echo "root only" >"$root/secret" && chmod 600 "$root/secret"
    for name in registry registry.part; do ln -s "$root/secret" "$root/nobody/.config/sonocap/$name"; done
    chown -hR 65534:65534 "$root/nobody"
    make_installation "$root/usr-local"
    before=$(tree "$root/nobody")
    export root
    unshare -m bash -c 'mount -t tmpfs -o mode=755 none /etc/xdg || exit 9
        env -u SONOCAP_REGISTRY HOME="$root/nobody" XDG_CONFIG_HOME="$root/nobody/.config" \
            "$root/usr-local/lib/sonocap/setup.exe" 1 >/dev/null || exit 8
        cp /etc/xdg/sonocap/registry "$root/machine-store"
        setpriv --reuid=65534 --regid=65534 --clear-groups env -u DISPLAY -u WAYLAND_DISPLAY \
            -u QT_QPA_PLATFORM -u SONOCAP_REGISTRY HOME="$root/nobody" \
            "$root/usr-local/bin/sonocap-uninstall" 2>"$root/stderr"' || fail "namespace run ended with $?"
    grep -qF "@=\"$root/usr-local/lib/sonocap/sonocap\"" "$root/machine-store" ||
        fail "not in the machine's store: $(cat "$root/machine-store")"
    [ "$(tree "$root/nobody")" = "$before" ] || fail "nobody's home changed"
    [ "$(cat "$root/secret")" = "root only" ] || fail "the root-only file changed"
    grep -q "belongs to root" "$root/stderr" || fail "nobody's helper said: $(cat "$root/stderr")"
    [ -x "$root/usr-local/lib/sonocap/setup.exe" ] || fail "the installation was touched"
    ;;
package)
    make_installation "$root/usr"
    program=$root/usr/lib/sonocap
    SONOCAP_REGISTRY="$store" "$program/setup.exe" 1 >/dev/null || fail "not registered"
    echo packaged >>"$program/sonocap.manifest"
    before=$(tree "$root/usr")
    export root program store
    start_ms=$(($(date +%s%N) / 1000000))
    unshare -m bash -c 'mount --bind "$program" "$program" &&
        mount -o remount,bind,ro "$program" || exit 9
        env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM SONOCAP_REGISTRY="$store" \
            "$root/usr/bin/sonocap-uninstall" 2>"$root/stderr"' || fail "namespace run ended with $?"
    ms=$(elapsed "$start_ms")
    grep -q "installed by the system's package manager" "$root/stderr" ||
        fail "message: $(cat "$root/stderr")"
    [ "$(tree "$root/usr")" = "$before" ] || fail "the installation changed"
    [ "$ms" -lt 7000 ] || fail "took $ms ms"
    ;;
esac
case $scenario in
rootrefuses | twoprefixes | rerun | linkprefix | otherhome | package)
    echo "ok: $scenario${ms:+ in $ms ms}"
    exit 0
    ;;
esac

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
