#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/bootstrap.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build

scripts/check-format.sh
scripts/check-layers.sh build

# The sanitizer tree builds only the programs whose tests carry the label "sanitize".
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONOCAP_SANITIZE=ON >/dev/null
cmake --build build-sanitize --target sonocap_sanitize_tests

# The fuzz tree: clang with libFuzzer under ASan and UBSan; each reader of untrusted bytes is
# fuzzed for ten seconds from its seed corpus.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSONOCAP_SANITIZE=ON -DSONOCAP_FUZZ=ON >/dev/null
cmake --build build-fuzz --target sonocap_fuzz_targets

# The ThreadSanitizer tree builds only the programs whose tests carry the label "tsan".
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONOCAP_TSAN=ON \
  -DSONOCAP_BENCH=OFF >/dev/null
cmake --build build-tsan --target sonocap_tsan_tests

# The audio tests record from a private PulseAudio server, stopped however the run ends.
eval "$(scripts/audio-test-server.sh start)"
trap 'scripts/audio-test-server.sh stop "$SONOCAP_AUDIO_TEST_DIR"' EXIT

status=0
ctest --test-dir build-tsan -L tsan --output-on-failure || status=1
ctest --test-dir build-sanitize -L sanitize --output-on-failure -j2 || status=1
ctest --test-dir build-fuzz -L fuzz --output-on-failure || status=1
ctest --test-dir build --output-on-failure -j2 || status=1
exit $status
