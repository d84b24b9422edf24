#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
# This is the one place that lists them.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libpng-dev zlib1g-dev libzstd-dev
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev libxcb1-dev libgif-dev
  desktop-file-utils shared-mime-info man-db
  libfluidsynth-dev libasound2-dev timgm6mb-soundfont
  fonts-terminus
  clang libclang-rt-14-dev
  valgrind xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
