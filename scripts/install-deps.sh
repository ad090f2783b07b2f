#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages lpt51 builds and tests with, if any is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev libqt6svg6 libieee1284-3-dev
  libcli11-dev groff-base
  libgtest-dev libgmock-dev libbenchmark-dev
  sdcc as31 srecord python3-intelhex
  xvfb xauth xdotool xclip openbox
  sigrok-cli bash-completion
  dpkg-dev lintian appstream desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
