# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the jobs that run the program under a real X server. Sets up
# $work (removed at exit), starts Xvfb with the screen $1 (WIDTHxHEIGHT) and
# exports DISPLAY; exits 77 only when no X server can be started. The job
# keeps the program's process id in app_pid, so that it goes at exit too.
work=$(mktemp -d /tmp/lpt51-x-XXXXXX)
xvfb_pid=
wm_pid=
app_pid=
finish() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

fail() { echo "FAIL: $*" >&2; cat "$work/app.log" >&2 2>/dev/null; exit 1; }

# Checks for the built program and for Xvfb, xdotool and the tools named,
# then puts a copy of the program and a small prog.hex in $work: the program
# keeps its settings and temporary files beside itself, and a copy of its own
# keeps them out of the build.
prepare_job() {
  local bin_dir=${LPT51_BIN_DIR:?LPT51_BIN_DIR names the directory of the built lpt51}
  for tool in Xvfb xdotool "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)"; exit 1; }
  done
  cp "$bin_dir/lpt51" "$work/"
  printf ':03000000020003F8\n:030003007EFF7EFF\n:00000001FF\n' > "$work/prog.hex"
}

start_x() {
  # Xvfb picks a free display and writes its number to fd 3 once it is ready.
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
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
  unset QT_QPA_PLATFORM QT_SCALE_FACTOR
  # Under the sanitizers: what the X and desktop libraries keep until exit is
  # not this program's leak.
  printf 'leak:%s\n' libdbus-1.so libfontconfig.so libxcb libX11.so libxkbcommon.so \
    libglib-2.0.so > "$work/lsan.supp"
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$work/lsan.supp"
}

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

# Waits up to 10 s for the program to end and sets status to its exit
# status; fails with $1 if it does not end.
wait_app() {
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "$1"
  wait "$app_pid"
  status=$?
  app_pid=
}
