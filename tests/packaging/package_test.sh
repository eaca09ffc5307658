#!/usr/bin/env bash
# The Debian package, built by CPack into a temporary folder: lintian finds no error and no
# warning, and the package's installation says that it belongs to the package manager.
#   package_test.sh BUILD_DIR
set -euo pipefail

build_dir=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/sonocap-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in cpack lintian dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || fail "$tool is missing: scripts/bootstrap.sh installs it"
done

cpack --config "$build_dir/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -5 "$work/cpack.log")"
package=$(ls "$work"/sonocap_*_amd64.deb) || fail "no package in $work"
# lintian says that it runs as root; everything else it says is a finding.
findings=$(lintian "$package" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$findings" ] || fail "lintian: $findings"
dpkg-deb -I "$package" control | grep -q '^Depends: .*libqt6widgets6' || fail "no Qt in Depends"

# The package's installer, unpacked: it finds itself packaged, removes nothing, points to the
# package manager and answers 0; the machine's registry store names the packaged recorder.
dpkg-deb -x "$package" "$work/root"
grep -qx '@="/usr/lib/sonocap/sonocap"' "$work/root/etc/xdg/sonocap/registry" ||
    fail "the machine's registry store does not name /usr/lib/sonocap/sonocap"
dpkg-deb -I "$package" conffiles | grep -qx /etc/xdg/sonocap/registry ||
    fail "the registry store is not a configuration file"
program=$work/root/usr/lib/sonocap
files_before=$(find "$work/root" | sort)
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program/setup.exe" 2 2>&1) &&
    fail "setup.exe 2 of the package succeeded"
grep -q "package manager" <<<"$message" || fail "setup.exe 2 says: $message"
[ "$(od -An -tu1 "$program/\$\$\$67352.tmp" | tr -d ' ')" = 0 ] || fail "the marker is not 0"
rm "$program/\$\$\$67352.tmp"
[ "$(find "$work/root" | sort)" = "$files_before" ] || fail "setup.exe 2 of the package changed files"
echo "$(basename "$package"): lintian has nothing to say"
