#!/usr/bin/env bash
# Starts the program from the build directory.
set -euo pipefail
build_dir=${1:-build}
if [ -x "$build_dir/tarquil" ]; then
  exec "$build_dir/tarquil"
fi
exec "$build_dir/tarquil-run" --text "$build_dir/launcher.disk"
