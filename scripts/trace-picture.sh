#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes docs/trace-gtkwave.png: the first two bytes of a write on the virtual
# adapter, as GTKWave shows the Value Change Dump of it with docs/trace.gtkw.
# Needs gtkwave, xvfb and imagemagick (not needed to build or test).
# Usage, from the source directory after a build: scripts/trace-picture.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf ':10000000758920758CFC758AFCD28E80FEE4F5A083\n:00000001FF\n' >"$work/blink.hex"
"$build/bin/lpt51" --port sim --sim-timing virtual --quiet --trace "$work/write.vcd" \
  --device 12v write "$work/blink.hex" >/dev/null
# The write starts after the start-up probe and the signature read, at 1.27 ms.
echo 'gtkwave::setZoomRangeTimes 1200 9500' >"$work/zoom.tcl"
xvfb-run -a -s "-screen 0 1300x540x24" sh -c '
  (cd "$1" && exec gtkwave -S zoom.tcl write.vcd "$2/docs/trace.gtkw" >/dev/null 2>&1) &
  viewer=$!
  sleep 6
  import -window root "$2/docs/trace-gtkwave.png"
  kill "$viewer"' sh "$work" "$PWD"
echo "docs/trace-gtkwave.png"
