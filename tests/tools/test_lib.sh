# Sourced by the shell tests of sonocap-cx: strict mode, a work folder removed at exit, and a
# failure count that the test reports at its end with `finish`.
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# fail MESSAGE: counts a failure and says what it was; the test goes on.
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# finish: the closing line and the test's status.
finish() {
  echo "$failures failures"
  [ "$failures" -eq 0 ]
}
