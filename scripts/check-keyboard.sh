#!/usr/bin/env bash
# Types on the real window program under a virtual X display (Xvfb) with the US, French and
# German layouts (setxkbmap) and compares what the machine receives with what it should.
#
#   scripts/check-keyboard.sh [BUILD_DIR] [LAYOUT ...]
#
# The machine runs a small program that shows every keyboard event on its screen (v down,
# ^ up, = character, with the code in hex and the character itself) and writes it to the
# data disk in slot 1, four bytes an event: kind, down or up, the code's low 16 bits. For
# each layout the script types with xdotool (every key of the main block, shifted digits
# with Shift let go before the key, a dead key and the letter it composes with), closes the
# window, reads the disk and compares the events with the expected ones. A screenshot of each run is
# left as keyboard-LAYOUT.png in the work directory it prints. Not part of `make test`: it
# needs xvfb, xdotool, x11-xkb-utils and imagemagick.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
shift || true
layouts=("$@")
[ ${#layouts[@]} -eq 0 ] && layouts=(us fr de)

for tool in Xvfb xdotool setxkbmap import od; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
for program in tarquil tarquil-asm tarquil-disk; do
  [ -x "$build_dir/$program" ] || { echo "$build_dir/$program is missing" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=
window_pid=
cleanup() {
  [ -n "$window_pid" ] && kill "$window_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
echo "work directory: $work"

cat >"$work/logger.asm" <<'EOF'
        .include "tarquil.inc"
start:  MOV.32  #stack, sp
main:   GETEVENT
        JNZ.8   .event, r0
        WAIT
        JMP     main
.event: NE.8    r0, #EVENT_KEYBOARD, r28
        JNZ.8   main, r28
        MOV.8   r1, [record]
        MOV.8   r2, [record + 1]
        MOV.16  r4, [record + 2]
        MOV.32  r4, [code]
        MOV.8   #'=', [char]
        EQ.8    r1, #KIND_CHAR, r28
        JNZ.8   .mark, r28
        MOV.8   #'v', [char]
        EQ.8    r2, #1, r28
        JNZ.8   .mark, r28
        MOV.8   #'^', [char]
.mark:  CALL    put
        DIV.U32 [code], #16, r24
        MOD.U32 r24, #16, r24
        ADD.U32 r24, #hex, r24
        MOV.8   [[r24]], [char]
        CALL    put
        MOD.U32 [code], #16, r24
        ADD.U32 r24, #hex, r24
        MOV.8   [[r24]], [char]
        CALL    put
        MOV.8   #' ', [char]
        EQ.8    [record], #KIND_CHAR, r28
        JZ.8    .blank, r28
        MOV.8   [code], [char]
.blank: CALL    put
        MOV.8   #' ', [char]
        CALL    put
        MOV.16  #GROUP_DISK | DISK_WRITE << 8, r0
        MOV.32  #1, r4
        MOV.32  #4, r8
        MOV.32  #record, r12
        SYS
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS
        JMP     main

; put: `char` at (column, row), then the next cell, row by row, from the top after the last.
put:    MOV.16  #GROUP_SCREEN | SCREEN_PUT_CELL << 8, r0
        MOV.8   [char], r2
        MOV.8   #0, r3
        MOV.32  [column], r8
        MOV.32  [row], r12
        MOV.32  #COLOR_WHITE, r16
        MOV.32  #COLOR_BLUE, r20
        SYS
        INC.U32 [column]
        LT.U32  [column], #80, r28
        JNZ.8   .done, r28
        MOV.32  #0, [column]
        INC.U32 [row]
        MOD.U32 [row], #25, [row]
.done:  RET

hex:    .ascii  "0123456789ABCDEF"
record: .byte   0, 0
        .word   0
code:   .dword  0
column: .dword  0
row:    .dword  0
char:   .byte   0
        .align  4
        .fill   256
stack:
EOF
"$build_dir/tarquil-asm" -o "$work/logger.disk" "$work/logger.asm" >/dev/null

display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
# Without -noreset the server resets when its last client leaves, and so forgets the layout
# setxkbmap gave it as soon as setxkbmap ends.
Xvfb ":$display" -noreset -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display"

# What to type on each layout (xdotool key names: keysyms, picked by the keycode that has
# them in the active layout) and the events expected, as v (down), ^ (up) or = (character)
# with the code in hex.
main_block_us="grave 1 2 3 4 5 6 7 8 9 0 minus equal q w e r t y u i o p bracketleft
  bracketright a s d f g h j k l semicolon apostrophe backslash z x c v b n m comma period slash"
# (Not the keys of $ and <: xdotool finds their characters first on other keys with AltGr;
# the unit tests cover those two places.)
main_block_fr="twosuperior ampersand eacute quotedbl apostrophe parenleft minus egrave
  underscore ccedilla agrave parenright equal a z e r t y u i o p q s d f g h j k l m
  ugrave asterisk w x c v b n comma semicolon colon exclam"
main_block_de="1 2 3 4 5 6 7 8 9 0 ssharp q w e r t z u i o p udiaeresis plus a s d f g h j k
  l odiaeresis adiaeresis numbersign less y x c v b n m comma period minus"

# The expected events of plain presses: code and character (character "" for none).
expect_keys() { # code character ...
  while [ $# -gt 0 ]; do
    echo "v$1"
    [ -n "$2" ] && echo "=$2"
    echo "^$1"
    shift 2
  done
}

expected_us() {
  expect_keys C0 60 31 31 32 32 33 33 34 34 35 35 36 36 37 37 38 38 39 39 30 30 BD 2D BB 3D \
    51 71 57 77 45 65 52 72 54 74 59 79 55 75 49 69 4F 6F 50 70 DB 5B DD 5D \
    41 61 53 73 44 64 46 66 47 67 48 68 4A 6A 4B 6B 4C 6C BA 3B DE 27 DC 5C \
    5A 7A 58 78 43 63 56 76 42 62 4E 6E 4D 6D BC 2C BE 2E BF 2F
}
expected_fr() {
  expect_keys DE B2 31 26 32 E9 33 22 34 27 35 28 36 2D 37 E8 38 5F 39 E7 30 E0 DB 29 BB 3D \
    41 61 5A 7A 45 65 52 72 54 74 59 79 55 75 49 69 4F 6F 50 70 \
    51 71 53 73 44 64 46 66 47 67 48 68 4A 6A 4B 6B 4C 6C 4D 6D C0 F9 DC 2A \
    57 77 58 78 43 63 56 76 42 62 4E 6E BC 2C BE 3B BF 3A DF 21
}
expected_de() {
  expect_keys 31 31 32 32 33 33 34 34 35 35 36 36 37 37 38 38 39 39 30 30 DB DF \
    51 71 57 77 45 65 52 72 54 74 5A 7A 55 75 49 69 4F 6F 50 70 BA FC BB 2B \
    41 61 53 73 44 64 46 66 47 67 48 68 4A 6A 4B 6B 4C 6C C0 F6 DE E4 BF 23 E2 3C \
    59 79 58 78 43 63 56 76 42 62 4E 6E 4D 6D BC 2C BE 2E BD 2D
}

# A digit-row key pressed with Shift, Shift let go before the key: the key goes up with the
# code it went down with. The key is named by its unshifted keysym.
shifted_key() {
  xdotool keydown Shift_L keydown "$1" keyup Shift_L
  sleep 0.05
  xdotool keyup "$1"
}

# Events as lines from the log disk.
read_events() {
  local bytes
  bytes=$(od -An -v -tx1 -j16 "$1" | tr -s ' \n' '\n\n' | grep -v '^$' | paste - - - -)
  while read -r kind updown low high; do
    [ "$kind" = 00 ] && break
    code=$(printf '%02X' "0x$low")
    [ "$high" != 00 ] && code=$(printf '%02X%02X' "0x$high" "0x$low")
    if [ "$kind" = 02 ]; then echo "=$code"
    elif [ "$updown" = 01 ]; then echo "v$code"
    else echo "^$code"
    fi
  done <<<"$bytes"
}

status=0
for layout in "${layouts[@]}"; do
  setxkbmap -display "$DISPLAY" "$layout"
  if ! setxkbmap -display "$DISPLAY" -query | grep -q "^layout: *$layout\$"; then
    echo "$layout: the X server did not take the layout" >&2
    status=1
    continue
  fi
  dir="$work/$layout"
  mkdir -p "$dir"
  cp "$build_dir/tarquil" "$dir/tarquil"
  printf '[Memory]\nSize=1m\n[Kernel]\nPriority=3\n[MIDI]\nEnabled=false\n[Disks]\nCount=2\n' \
    >"$dir/Tarquil1.ini"
  : >"$dir/Tarquil2.ini"
  "$build_dir/tarquil-disk" new "$dir/log.disk" 64k >/dev/null
  LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
    "$dir/tarquil" -noask -disk 0 "$work/logger.disk" -disk 1 "$dir/log.disk" \
    >"$dir/window.log" 2>&1 &
  window_pid=$!
  window=$(xdotool search --sync --onlyvisible --name '^Tarquil' | head -1)
  xdotool windowfocus --sync "$window"
  sleep 0.5

  case $layout in
  us) keys=$main_block_us ;;
  fr) keys=$main_block_fr ;;
  de) keys=$main_block_de ;;
  *) keys="" ;;
  esac
  # shellcheck disable=SC2086
  xdotool key --delay 40 $keys
  expected=$("expected_$layout" 2>/dev/null || true)
  case $layout in
  us)
    shifted_key 1
    expected+=$'\n'"v10"$'\n'"v31"$'\n'"=21"$'\n'"^10"$'\n'"^31"
    # A dead key the layout lacks: xdotool lends it a spare keycode, which has no code of
    # its own; the input method composes it with e.
    xdotool key --delay 80 dead_acute e
    expected+=$'\n'"=E9"$'\n'"v45"$'\n'"^45"
    ;;
  fr)
    shifted_key ampersand
    expected+=$'\n'"v10"$'\n'"v31"$'\n'"=31"$'\n'"^10"$'\n'"^31"
    # The dead circumflex, then e: one composed character.
    xdotool key --delay 80 dead_circumflex e
    expected+=$'\n'"vDD"$'\n'"^DD"$'\n'"=EA"$'\n'"v45"$'\n'"^45"
    ;;
  de)
    shifted_key 2
    expected+=$'\n'"v10"$'\n'"v32"$'\n'"=22"$'\n'"^10"$'\n'"^32"
    xdotool key --delay 80 dead_acute e
    expected+=$'\n'"vDD"$'\n'"^DD"$'\n'"=E9"$'\n'"v45"$'\n'"^45"
    ;;
  esac
  sleep 0.5
  import -display "$DISPLAY" -window root "$work/keyboard-$layout.png"
  kill -TERM "$window_pid"
  wait "$window_pid" || true
  window_pid=

  read_events "$dir/log.disk" >"$dir/actual.txt"
  printf '%s\n' "$expected" >"$dir/expected.txt"
  if diff -u "$dir/expected.txt" "$dir/actual.txt" >"$dir/diff.txt"; then
    echo "$layout: $(wc -l <"$dir/actual.txt") events as expected"
  else
    echo "$layout: events differ ($dir/diff.txt):"
    head -40 "$dir/diff.txt"
    status=1
  fi
done
exit $status
