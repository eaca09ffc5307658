#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Sonocap need.
# Does nothing when every package is already installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format   # build and format check
  libgtest-dev libbenchmark-dev                   # unit tests and benchmarks
  qt6-base-dev                                    # the recorder window (Qt 6 Widgets, Qt Test)
  libpulse-dev                                    # audio input from the sound server
  portaudio19-dev libasound2-dev                  # audio input without one
  libasound2-plugins pulseaudio                   # ALSA's PulseAudio plugin, the test audio server
  xvfb xauth                                      # a display for the window tests
  fonts-dejavu-core fonts-dejavu-extra            # the windows' narrow face, DejaVu Sans Condensed
  # The end-to-end test drives the recorder on Xvfb as a person would: xdotool clicks and
  # types, xclip reads a field's text through the X selection, ImageMagick's import takes the
  # screenshots, xprop tells a tooltip among a program's windows. No window manager: the
  # program takes the keyboard focus by itself.
  xdotool xclip imagemagick x11-utils
  # A private session bus and a stand-in notification service in Debian's own python3.
  dbus python3-dbus python3-gi
  sox flac wavpack                                # judges and speed peers in tests and benchmarks
  clang libclang-rt-14-dev                        # the fuzz tree: libFuzzer, ASan, UBSan runtimes
  # The install tests: validators of the desktop entry, the metainfo and the manual pages;
  # CPack's Debian package (dpkg-shlibdeps finds its Depends) and lintian's verdict on it.
  desktop-file-utils appstream man-db dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "bootstrap: run as root or install sudo to get: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
