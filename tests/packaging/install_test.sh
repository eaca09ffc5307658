#!/usr/bin/env bash
# Sonocap installed as a user installs it, and removed again:
#   install_test.sh BUILD_DIR
# cmake --install into a temporary prefix that already holds a file of someone else's; the
# desktop entry, the metainfo and the manual pages through their validators; the installed
# sonocap-cx; the installed recorder started on a private X server by a user who cannot write
# the installation (no parameter-file box, the settings saved under that user's
# XDG_CONFIG_HOME, the installation untouched); then sonocap-uninstall, after which nothing of
# the install manifest is left and the other file still is. Before that: a prefix too long, one
# holding a file where the install would put one, and an install that stops half-way.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-install-XXXXXX")
out=$work
. "$source_dir/tests/e2e/x_session.sh"
trap 'session_cleanup; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
trap 'exit 1' TERM INT HUP

for tool in desktop-file-validate appstreamcli man setpriv identify Xvfb xdotool; do
    command -v "$tool" >/dev/null || fail "$tool is missing: scripts/bootstrap.sh installs it"
done

# The unprivileged user must reach the installation and a home of its own.
chmod 755 "$work"
prefix=$work/prefix
mkdir -p "$prefix/share"
echo "not Sonocap's" >"$prefix/share/keep.txt"

export SONOCAP_REGISTRY=$work/registry HOME=$work/root-home XDG_CONFIG_HOME=$work/root-home/.config

# Refused before anything is copied: a program folder too long for sonocap-uninstall, and a
# prefix that already holds a file of the user's where the install would put one.
long=$work/$(printf 'p%.0s' $(seq 200))/$(printf 'q%.0s' $(seq 40))
cmake --install "$build_dir" --prefix "$long" >"$work/long.log" 2>&1 && fail "installed into a prefix that is too long"
tr -s ' \n' ' ' <"$work/long.log" | grep -q "sonocap-uninstall handles folders of at most 246 bytes" || fail "long prefix: $(tail -3 "$work/long.log")"
[ -e "$long" ] && fail "the too long prefix was made"
taken=$work/taken
mkdir -p "$taken/share/doc/sonocap"
echo "the user's own" >"$taken/share/doc/sonocap/copyright"
find "$taken" -printf '%p %s %T@\n' | sort >"$work/taken.before"
cmake --install "$build_dir" --prefix "$taken" >"$work/taken.log" 2>&1 && fail "replaced a file of the user's"
tr -s ' \n' ' ' <"$work/taken.log" | grep -qF "$taken/share/doc/sonocap/copyright is already there" || fail "taken: $(tail -3 "$work/taken.log")"
find "$taken" -printf '%p %s %T@\n' | sort | cmp -s - "$work/taken.before" || fail "the refused install changed $taken"

# An install that stops half-way (a file of the user's where a folder goes) was recorded from
# its first file: its sonocap-uninstall removes what it put there, the user's file stays.
broken=$work/broken
mkdir -p "$broken/share"
echo "not a folder" >"$broken/share/metainfo"
cmake --install "$build_dir" --prefix "$broken" >"$work/broken.log" 2>&1 && fail "installed over a file"
[ -x "$broken/bin/sonocap-uninstall" ] || fail "the interrupted install stopped before its helper"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$broken/bin/sonocap-uninstall" >"$work/broken-uninstall.log" 2>&1
left=$(cd "$broken" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./share ./share/metainfo " ] || fail "left of the interrupted install: $left"
[ "$(cat "$broken/share/metainfo")" = "not a folder" ] || fail "the user's file changed"
grep -qF "$broken/" "$SONOCAP_REGISTRY" && fail "the interrupted install is still registered"

note "installing into $prefix"
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -5 "$work/install.log")"
program=$prefix/lib/sonocap
cp "$program/sonocap.manifest" "$work/manifest"
# Installing again over it replaces only its own files and still counts its folders as its own.
cmake --install "$build_dir" --prefix "$prefix" >"$work/reinstall.log" 2>&1 ||
    fail "installing again failed: $(tail -5 "$work/reinstall.log")"
cmp -s "$program/sonocap.manifest" "$work/manifest" || fail "installing again changed the manifest"
grep -qF "@=\"$program/sonocap\"" "$SONOCAP_REGISTRY" || fail "the installation is not registered"
for command in sonocap sonocap-cx sonocap-uninstall; do
    [ -x "$prefix/bin/$command" ] || fail "bin/$command is missing"
done

note "validating the desktop files and the manual pages"
for entry in "$prefix"/share/applications/*.desktop; do
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    grep -qx "Exec=$prefix/bin/sonocap" "$entry" || fail "the desktop entry does not start $prefix/bin/sonocap"
done
for metainfo in "$prefix"/share/metainfo/*.xml; do
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
        fail "appstreamcli: $(cat "$work/appstream.log")"
done
pages=0
for page in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
    pages=$((pages + 1))
done
[ "$pages" = 3 ] || fail "$pages manual pages, expected 3"
for size in 16 22 24 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/org.sonocap.Sonocap.png
    [ "$(identify -format '%m %wx%h' "$icon")" = "PNG ${size}x${size}" ] || fail "$icon is no ${size}-pixel PNG"
done
"$prefix/bin/sonocap-cx" --help >/dev/null 2>&1 || fail "sonocap-cx --help failed"

note "starting the installed recorder as nobody"
user_home=$work/nobody
mkdir -p "$user_home"
chown 65534:65534 "$user_home"
find "$prefix" -printf '%p %s %T@\n' | sort >"$work/before"
start_x_server
setpriv --reuid=65534 --regid=65534 --clear-groups \
    env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" HOME="$user_home" \
    XDG_CONFIG_HOME="$user_home/.config" "$prefix/bin/sonocap" >"$work/sonocap.log" 2>&1 &
app_pid=$!
session_pids+=("$app_pid")
for _ in $(seq 100); do
    window_shown "Parameter file error" && fail "the parameter-file box appeared"
    window_shown "Sonocap 2.1" && break
    sleep 0.1
done
recorder=$(wait_window "Sonocap 2.1" 1) || fail "the recorder window did not appear: $(cat "$work/sonocap.log")"
wait_focus "$recorder" 5 || fail "the recorder window did not take the focus"
xdotool key Escape
wait_recorder_exit 10
[ "$app_status" = 0 ] || fail "the recorder ended with $app_status: $(cat "$work/sonocap.log")"
settings=$user_home/.config/sonocap/sonocap.par
[ "$(stat -c '%s %u' "$settings" 2>/dev/null)" = "272 65534" ] ||
    fail "no 272-byte settings file of the user at $settings"
find "$prefix" -printf '%p %s %T@\n' | sort | cmp -s - "$work/before" ||
    fail "the recorder changed its installation"
session_cleanup

note "uninstalling"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/sonocap-uninstall" \
    >"$work/uninstall.log" 2>&1
while read -r kind path _; do
    case $kind in
    file | link | directory)
        if [ -e "$prefix/$path" ] || [ -L "$prefix/$path" ]; then fail "$path is still there"; fi
        ;;
    esac
done <"$work/manifest"
left=$(cd "$prefix" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./share ./share/keep.txt " ] || fail "left in the prefix: $left"
grep -qi "app paths" "$SONOCAP_REGISTRY" && fail "the registry entry is still there"
[ -f "$settings" ] || fail "the user's settings went with the installation"
note "installed, used and removed"
