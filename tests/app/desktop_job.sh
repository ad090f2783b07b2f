#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window as it lives on a desktop, under a real X server with a window
# manager on a 1280x900 screen: a termination signal at each start-up
# message ends the program as the shell expects, the window lies inside the
# screen at twice the scale, and its title names file, program and port.
# Skips (77) only when no X server can be started.
set -uo pipefail

source "$(dirname "$0")/x_session.sh"
prepare_job openbox
echo "not a chip state" > "$work/bad.state"
start_x 1280x900
openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
cd "$work"

# The port's message, the file's message, and the port's with the file's
# still to come: each stands on screen when SIGTERM arrives.
for args in "--port sim:bad.state" "--port sim gone.hex" "--port sim:bad.state gone.hex"; do
  # shellcheck disable=SC2086
  ./lpt51 $args >app.log 2>&1 &
  app_pid=$!
  window_named '^lpt51$' >/dev/null || fail "no message box came up for: $args"
  kill -TERM "$app_pid"
  wait_app "SIGTERM did not end the program at its start ($args)"
  [ "$status" -eq 143 ] || fail "SIGTERM at the start ($args) ended it with $status"
done

# The three titles; the second at twice the scale, placed inside the screen.
expect_title() {
  local title=$1
  shift
  "$@" >app.log 2>&1 &
  app_pid=$!
  main=$(window_named "$title") || fail "no window titled '$title'"
}
end_app() {
  kill -TERM "$app_pid"
  wait_app "SIGTERM did not end the program"
  [ "$status" -eq 143 ] || fail "SIGTERM ended it with $status"
}

expect_title '^lpt51 \[virtual adapter\]$' ./lpt51 --port sim
end_app

expect_title "^$work/prog\\.hex .* lpt51 \\[virtual adapter\\]\$" \
  env QT_SCALE_FACTOR=2 ./lpt51 --port sim prog.hex
eval "$(xdotool getwindowgeometry --shell "$main")"
# The contents are 852 pixels high at this scale; with the menu bar and a
# title bar that is more than 900, so the window manager keeps the title bar
# on the screen and the strip below the last command (20 pixels, 40 here)
# may run off its foot. Every control stays on the screen.
# shellcheck disable=SC2153
if [ "$X" -lt 0 ] || [ "$Y" -lt 0 ] || [ $((X + WIDTH)) -gt 1280 ] ||
  [ $((Y + HEIGHT - 40)) -gt 900 ]; then
  fail "at scale 2 the window (${WIDTH}x${HEIGHT} at $X,$Y) leaves the 1280x900 screen"
fi
[ "$WIDTH" -eq 1070 ] || fail "at scale 2 the window is $WIDTH wide, not 1070"
end_app

# The port's message comes before the window does.
./lpt51 --port sim:bad.state >app.log 2>&1 &
app_pid=$!
box=$(window_named '^lpt51$') || fail "no port message came up"
xdotool windowfocus --sync "$box" key Return
window_named '^lpt51 \[no port: sim:bad\.state\]$' >/dev/null ||
  fail "no window titled with the port that was tried"
end_app

# Without a parallel port the message offers the virtual adapter, the button
# beside OK; taken by keyboard, the window goes on there.
XDG_STATE_HOME="$work/state" ./lpt51 --port /dev/lpt51-no-such-port >app.log 2>&1 &
app_pid=$!
box=$(window_named '^lpt51$') || fail "no port message came up"
xdotool windowfocus --sync "$box" key Tab space
window_named '^lpt51 \[virtual adapter\]$' >/dev/null ||
  fail "taking the virtual adapter did not title the window so"
end_app
echo "desktop job: signals at start-up, placement at scale 2, titles, the virtual adapter offered"
