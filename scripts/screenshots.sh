#!/usr/bin/env bash
# Starts the real window program under a virtual X display (Xvfb), boots each disk image
# and saves a screenshot of the window as docs/screenshots/NAME.png.
#
#   scripts/screenshots.sh [BUILD_DIR] [IMAGE.disk ...]
#
# Without images it takes the demo disks the build put into BUILD_DIR. Each run gets a settings
# directory of its own (the program reads its settings beside its file, so a copy of the
# program goes there), with one disk slot and the image in it.
set -euo pipefail

build_dir=${1:-build}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
out_dir="$root/docs/screenshots"
delay_ms=${TARQUIL_SCREENSHOT_DELAY_MS:-1500}

images=("$@")
if [ ${#images[@]} -eq 0 ]; then
  for demo in launcher plasma snake tune notes; do
    [ -f "$build_dir/$demo.disk" ] && images+=("$build_dir/$demo.disk")
  done
fi
if [ ${#images[@]} -eq 0 ]; then
  echo "no disk images given and no demo disks in $build_dir" >&2
  exit 2
fi
if [ ! -x "$build_dir/tarquil" ]; then
  echo "$build_dir/tarquil is missing: build with TARQUIL_GUI=ON" >&2
  exit 2
fi
command -v Xvfb >/dev/null || { echo "Xvfb is missing (package xvfb)" >&2; exit 2; }

mkdir -p "$out_dir"
work=$(mktemp -d)
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

status=0
for image in "${images[@]}"; do
  name=$(basename "$image" .disk)
  dir="$work/$name"
  mkdir -p "$dir"
  cp "$build_dir/tarquil" "$dir/tarquil"
  printf '[Memory]\nSize=16m\n[Kernel]\nPriority=3\n[MIDI]\nEnabled=false\n[Disks]\nCount=1\n' \
    >"$dir/Tarquil1.ini"
  : >"$dir/Tarquil2.ini"
  if DISPLAY=":$display" QT_QPA_PLATFORM=xcb TARQUIL_SCREENSHOT="$out_dir/$name.png" \
    TARQUIL_SCREENSHOT_DELAY_MS="$delay_ms" timeout 60 \
    "$dir/tarquil" -noask -disk 0 "$(realpath "$image")"; then
    echo "$out_dir/$name.png"
  else
    echo "failed: $image" >&2
    status=1
  fi
done
exit $status
