#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a user would: the files a desktop
# needs are there and valid, the installed runner runs an installed demo disk, and the
# installed window program keeps its settings and data disk in the XDG folders.
#
#   install-test.sh BUILD_DIR WITH_WINDOW_PROGRAM(0|1)
set -uo pipefail

build_dir=$1
with_window=${2:-1}
work=$(mktemp -d)
window_pid=
trap '[ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
check_file() {
  [ -s "$prefix/$1" ] || fail "$1 is not installed"
}

if ! cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAILED: cmake --install"
  exit 1
fi

programs=(tarquil-run tarquil-asm tarquil-dis tarquil-disk)
[ "$with_window" = 1 ] && programs+=(tarquil)
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
done
for demo in launcher plasma snake tune notes; do
  check_file "share/tarquil/disks/$demo.disk"
done
for file in Tarquil1.ini Tarquil2.ini data.disk tarquil.inc; do
  check_file "share/tarquil/$file"
done
check_file share/doc/tarquil/README.md
check_file share/doc/tarquil/window-program.md
check_file share/icons/hicolor/scalable/apps/tarquil.svg
for size in 16 32 48 256; do
  check_file "share/icons/hicolor/${size}x$size/apps/tarquil.png"
done
for page in tarquil-run tarquil-asm tarquil-dis tarquil-disk; do
  check_file "share/man/man1/$page.1"
  if command -v man >/dev/null && [ -s "$prefix/share/man/man1/$page.1" ]; then
    warnings=$(man --warnings -l -Tutf8 "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page.1: $warnings"
  fi
done

# The desktop entry, valid and opening disk images.
entry=$prefix/share/applications/tarquil.desktop
if [ -s "$entry" ]; then
  desktop-file-validate "$entry" || fail "tarquil.desktop is not valid"
  grep -q '^MimeType=application/x-tarquil-disk;$' "$entry" || fail "tarquil.desktop names no MIME type"
  grep -q '^Exec=tarquil %f$' "$entry" || fail "tarquil.desktop does not pass the file"
else
  fail "share/applications/tarquil.desktop is not installed"
fi

# The MIME type: the shared database built from the installed package knows the magic and
# the extension.
mime=$prefix/share/mime
if [ -s "$mime/packages/tarquil.xml" ]; then
  # (It notes on its output that the prefix is not one the desktop searches.)
  if update-mime-database "$mime" >"$work/mime.log" 2>&1; then
    grep -q 'application/x-tarquil-disk:\*\.disk' "$mime/globs" || fail "no *.disk glob"
    grep -aq 'Tarquil Disk 10' "$mime/magic" || fail "no magic for disk images"
  else
    cat "$work/mime.log"
    fail "update-mime-database rejects tarquil.xml"
  fi
else
  fail "share/mime/packages/tarquil.xml is not installed"
fi

# A user's folders, empty at first.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_PICTURES_DIR=$work/pictures
mkdir -p "$HOME"

# The installed runner runs an installed demo disk: the launcher draws its menu and waits.
out=$("$prefix/bin/tarquil-run" --text --timeout 20 "$prefix/share/tarquil/disks/launcher.disk" 2>&1)
echo "$out" | grep -q '^stop: idle$' || fail "the launcher did not run to its menu: $out"
echo "$out" | grep -q '^screen: 1 80x25$' || fail "the launcher shows no text screen: $out"
echo "$out" | grep -qi 'plasma' || fail "the launcher's menu does not list its programs: $out"
if find "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" -mindepth 1 2>/dev/null | grep -q .; then
  fail "the runner wrote into the user's folders"
fi

# The installed window program, started from nothing: its settings come from the installed
# defaults into $XDG_CONFIG_HOME/tarquil/, its data disk into $XDG_DATA_HOME/tarquil/, and it
# boots the launcher. A signal ends it as a log-out would, which rewrites the user settings.
# Runs the installed window program with the given arguments until it has written its
# settings, then ends it by a signal as a log-out would, which rewrites the user settings.
run_window() {
  QT_QPA_PLATFORM=offscreen "$prefix/bin/tarquil" -noask "$@" >>"$work/window.log" 2>&1 &
  window_pid=$!
  for _ in $(seq 200); do
    [ -s "$XDG_CONFIG_HOME/tarquil/Tarquil2.ini" ] && break
    sleep 0.1
  done
  sleep 1
  kill -TERM "$window_pid" 2>/dev/null
  for _ in $(seq 300); do
    kill -0 "$window_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$window_pid" 2>/dev/null; then
    fail "the window program did not end on SIGTERM"
    kill -KILL "$window_pid"
  fi
  window_pid=
}

# The installed window program, started from nothing: its settings come from the installed
# defaults into $XDG_CONFIG_HOME/tarquil/, its data disk into $XDG_DATA_HOME/tarquil/, and it
# boots the launcher.
if [ "$with_window" = 1 ]; then
  config=$XDG_CONFIG_HOME/tarquil
  run_window
  [ -s "$config/Tarquil1.ini" ] || fail "no Tarquil1.ini in $config"
  [ -s "$XDG_DATA_HOME/tarquil/data.disk" ] || fail "no data disk in $XDG_DATA_HOME/tarquil"
  settings=$(cat "$config/Tarquil2.ini" 2>/dev/null)
  # The screen writes its font at the stop: the machine ran on these files.
  echo "$settings" | grep -q '^\[Font\]' || fail "the stop did not rewrite Tarquil2.ini: $settings"
  echo "$settings" | grep -qF "0=$prefix/share/tarquil/disks/launcher.disk" ||
    fail "slot 0 does not hold the installed launcher: $settings"
  echo "$settings" | grep -qF "1=$XDG_DATA_HOME/tarquil/data.disk" ||
    fail "slot 1 does not hold the user's data disk: $settings"
  [ -e "$prefix/bin/Tarquil2.ini" ] && fail "the program wrote its settings beside itself"

  # Opened as the desktop entry opens a file: the image goes into the first free slot,
  # which remembers it.
  run_window "$prefix/share/tarquil/disks/plasma.disk"
  settings=$(cat "$config/Tarquil2.ini" 2>/dev/null)
  echo "$settings" | grep -qF "2=$prefix/share/tarquil/disks/plasma.disk" ||
    fail "the image named on the command line is not in slot 2: $settings"
  grep -q 'not understood' "$work/window.log" && fail "the image argument was taken for an option"
  if [ $failures -ne 0 ]; then
    cat "$work/window.log"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo "install test: all checks passed"
