#!/usr/bin/env bash
# Installs what is missing, builds, and starts the recorder.
set -euo pipefail
cd "$(dirname "$0")"

scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run.sh: no display to open the recorder window on; set DISPLAY, or start it on a virtual one: xvfb-run -a ./run.sh (build/sonocap-cx --help shows the command-line tool)" >&2
  exit 1
fi
exec build/sonocap
