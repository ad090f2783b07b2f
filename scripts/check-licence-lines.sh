#!/bin/sh
# Every source file carries its licence in one machine-readable line.
cd "$(dirname "$0")/.." || exit 1
missing=$(git ls-files '*.cpp' '*.h' '*.c' '*.sh' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' \
    '*/Makefile' '.ci/run' '*.svg' '*.1' '*.7' '*.desktop.in' '*.bash-completion' |
    xargs grep -L 'SPDX-License-Identifier: GPL-3.0-or-later')
[ -z "$missing" ] && exit 0
echo "These files have no SPDX-License-Identifier line:" >&2
echo "$missing" >&2
exit 1
