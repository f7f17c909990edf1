#!/usr/bin/env bash
# Installs every Debian package Velmora needs (when one is missing) and builds
# the program into ./build. Safe to run again: it only does what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# openssl makes the certificates of the TLS tests; curl and python3 serve
# and fetch the files the benchmarks compare against; desktop-file-utils
# checks the installed desktop entry; xvfb, xdotool and imagemagick
# run the program on a virtual display for scripts/screenshots.sh, and a CJK
# font draws the program's Chinese captions there.
PACKAGES=(cmake g++ ninja-build qt6-base-dev qt6-webengine-dev qt6-multimedia-dev
          libqt6opengl6-dev qt6-tools-dev curl openssl python3 desktop-file-utils
          xvfb xdotool imagemagick fonts-wqy-microhei)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
# After new headers arrive (a pull or a merge) CMake's automatic moc step can
# keep a stale list of them; regenerating it once fixes the link.
if ! cmake --build "$BUILD_DIR" -j"$(nproc)"; then
  rm -rf "$BUILD_DIR"/src/velmora_engine_autogen "$BUILD_DIR"/src/velmora_widgets_autogen
  cmake --build "$BUILD_DIR" -j"$(nproc)"
fi
