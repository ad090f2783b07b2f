#!/usr/bin/env bash
# A small job driven by the keyboard alone through a real X server: the
# Device menu by its accelerator, the device by its key, a file named on the
# command line, Write and Verify from the Action menu, Ctrl+Q. Each box's
# text is read back with Ctrl+C from the clipboard. Skips (77) only when no X
# server can be started.
set -uo pipefail

bin_dir=${LPT51_BIN_DIR:?LPT51_BIN_DIR names the directory of the built lpt51}
for tool in Xvfb xdotool xclip; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)"; exit 1; }
done

work=$(mktemp -d /tmp/lpt51-keyboard-XXXXXX)
xvfb_pid=
app_pid=
finish() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

# The program keeps its settings and temporary files beside itself: a copy
# of its own here keeps them out of the build.
cp "$bin_dir/lpt51" "$work/"
printf ':03000000020003F8\n:030003007EFF7EFF\n:00000001FF\n' > "$work/prog.hex"

# Xvfb picks a free display and writes its number to fd 3 once it is ready.
exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "SKIP: no X server could be started"; cat "$work/xvfb.log"; exit 77
fi
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM
# Under the sanitizers: what the X and desktop libraries keep until exit is
# not this program's leak.
printf 'leak:%s\n' libdbus-1.so libfontconfig.so libxcb libX11.so libxkbcommon.so libglib-2.0.so \
  > "$work/lsan.supp"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp"

fail() { echo "FAIL: $*"; cat "$work/app.log" 2>/dev/null; exit 1; }

# The id of the first visible window whose name matches $1, waiting up to 10 s.
window_named() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# There is no window manager: keyboard focus is given to the window by hand.
keys_to() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" || fail "cannot focus window $id"
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.2
  done
}

# Waits for the message box, copies its text, presses Enter; prints the text.
# A menu that is still closing bears the same name but copies nothing: then
# it tries again.
read_box() {
  local box text=
  for _ in $(seq 10); do
    box=$(window_named '^lpt51$') || fail "no message box came up"
    echo -n | xclip -selection clipboard
    keys_to "$box" ctrl+c
    text=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
    [ -n "$text" ] && break
    sleep 0.3
  done
  [ -n "$text" ] || fail "no message box text could be copied"
  keys_to "$box" Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^lpt51$' >/dev/null 2>&1 || break
    sleep 0.1
  done
  echo "$text"
}

cd "$work"
./lpt51 --port "sim:$work/chip.state" --sim-chip 12v --sim-timing virtual prog.hex >app.log 2>&1 &
app_pid=$!
main=$(window_named "$work/prog\\.hex") || fail "the window did not show prog.hex in its title"

keys_to "$main" alt+d 1
keys_to "$main" alt+a w
written=$(read_box)
[ "$written" = "File was burn !" ] || fail "after Write Chip the box said '$written'"

keys_to "$main" alt+a v
verified=$(read_box)
[ "$verified" = "File Check successful!" ] || fail "after Verify Chip the box said '$verified'"

keys_to "$main" ctrl+q
for _ in $(seq 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "Ctrl+Q did not end the program"
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "keyboard job: written, verified and ended by Ctrl+Q"
