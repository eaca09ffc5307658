#!/usr/bin/env bash
# Installs what is missing, builds, and shows how to use sonocap-cx.
set -euo pipefail
cd "$(dirname "$0")"

scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build

echo
build/sonocap-cx --help
