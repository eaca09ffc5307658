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
manifest=$(dpkg-deb --fsys-tarfile "$package" | tar -xO ./usr/lib/sonocap/sonocap.manifest)
grep -qx packaged <<<"$manifest" || fail "the package's manifest does not say packaged"
echo "$(basename "$package"): lintian has nothing to say"
