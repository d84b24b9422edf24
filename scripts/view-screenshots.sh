#!/usr/bin/env bash
# Takes the window program guide's pictures of the View features under a virtual X display:
# docs/screenshots/fullscreen.png (the plasma demo fullscreen) and view-menu.png (the View
# menu with its Scale submenu open). Fullscreen needs a window manager: openbox.
#
#   scripts/view-screenshots.sh [BUILD_DIR]
#
# Needs xvfb, openbox, xdotool and imagemagick (Debian packages).
set -euo pipefail

build_dir=$(realpath "${1:-build}")
root=$(cd "$(dirname "$0")/.." && pwd)
out_dir="$root/docs/screenshots"
for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
[ -x "$build_dir/tarquil" ] || { echo "$build_dir/tarquil is missing" >&2; exit 2; }

work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# A portable copy of the program with the plasma demo in its one slot.
cp "$build_dir/tarquil" "$work/tarquil"
printf '[Memory]\nSize=16m\n[Kernel]\nPriority=3\n[MIDI]\nEnabled=false\n[Disks]\nCount=1\n' \
  >"$work/Tarquil1.ini"
start() { # VIEW-SETTINGS
  : >"$work/Tarquil2.ini"
  printf '[View]\n%s\n' "$1" >"$work/TarquilView.ini"
  "$work/tarquil" -noask -disk 0 "$build_dir/plasma.disk" >/dev/null 2>&1 &
  program=$!
  sleep 4
}

start 'Fullscreen=true'
import -window root "$out_dir/fullscreen.png"
kill "$program"; wait "$program" || true

start $'Fullscreen=false\nScale=3'
window=$(xdotool search --name '^Tarquil' | tail -1)
xdotool windowactivate --sync "$window" || true
xdotool key --window "$window" alt+v
sleep 0.5
xdotool key Down Right
sleep 0.8
import -window root -crop 600x345+0+0 +repage "$out_dir/view-menu.png"
xdotool key Escape Escape
kill "$program"; wait "$program" || true
echo "$out_dir/fullscreen.png $out_dir/view-menu.png"
