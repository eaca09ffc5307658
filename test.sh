#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/bootstrap.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build

scripts/check-format.sh

# The sanitizer tree builds only the programs whose tests carry the label "sanitize".
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONOCAP_SANITIZE=ON >/dev/null
cmake --build build-sanitize --target sonocap_sanitize_tests

status=0
ctest --test-dir build-sanitize -L sanitize --output-on-failure -j2 || status=1
ctest --test-dir build --output-on-failure -j2 || status=1
exit $status
