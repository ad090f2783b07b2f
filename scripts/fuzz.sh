#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLPT51_BUILD_FUZZ=ON -DLPT51_SANITIZE=ON -DLPT51_BUILD_TESTS=OFF -DLPT51_BUILD_BENCH=OFF >/dev/null
targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build build-fuzz -j"$(nproc)" --target $targets
for t in $targets; do
  corpus=fuzz/corpus/${t#fuzz_}
  mkdir -p "$corpus"
  echo "== $t (${seconds}s)"
  build-fuzz/fuzz/$t -max_total_time="$seconds" -max_len=65536 -timeout=10 "$corpus" 2>&1 | tail -n 3
done
