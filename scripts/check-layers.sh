#!/usr/bin/env bash
# Fails when a folder includes a header from a folder it may not depend on. The folders depend one
# way: platform <- codec <- settings <- engine <- ui <- app; tools (over codec), uninstall (over
# nothing) and the installer (over uninstall, and the settings' one file name) stand beside them.
# The engine, the codec and the settings never see Qt, PortAudio, ALSA or libpulse. Given a build
# tree, it also fails when a test program or benchmark links PortAudio or libpulse without
# recording from a real device.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [platform]="platform"
  [codec]="codec platform"
  [settings]="settings codec platform"
  [engine]="engine settings codec platform"
  [ui]="ui engine settings codec platform"
  [app]="app ui engine settings codec platform"
  [tools]="tools codec platform"
  [uninstall]="uninstall"
  [installer]="installer uninstall settings"
  [packaging]="packaging ui engine settings codec platform"
)

status=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file _ include; do
    target=${include#*\"}
    target=${target%%/*}
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "check-layers: $file includes \"${include#*\"} ($folder may not depend on $target)" >&2
      status=1
    fi
  done < <(grep -rnE '^#include "[a-z_]+/' "$folder" --include='*.h' --include='*.cpp' || true)
done

# Platform backends are the only place for the outside libraries.
if grep -rnE '^#include <(Q[A-Za-z]+|portaudio\.h|alsa/|jack/|pulse/)' codec engine settings; then
  echo "check-layers: codec, engine and settings must not include Qt, PortAudio, ALSA, JACK or libpulse" >&2
  status=1
fi

# Only the recording tests against the real device, the PortAudio layer's own test and the
# benchmark's capture peer (which records from the real device) may link the sound system.
if [ $# -ge 1 ]; then
  while IFS= read -r program; do
    case $program in
      */engine_capture_audio_test | */platform_portaudio_test | */bench/capture_peer) continue ;;
    esac
    libraries=$(ldd "$program" 2>/dev/null || true)
    for library in libportaudio libpulse.so; do
      if grep -q "$library" <<<"$libraries"; then
        echo "check-layers: $program links ${library%.so} but records from no real device" >&2
        status=1
      fi
    done
  done < <(find "$1/tests" "$1/bench" -type f -perm -u+x 2>/dev/null)
fi
exit $status
