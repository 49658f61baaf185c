#!/usr/bin/env bash
# Makes the tests' Wine prefix unless it is there: wineboot into a fresh folder, marked ready
# only when it completed (a half-made prefix from an interrupted run is made again).
#   wine-prefix.sh PREFIX
set -euo pipefail
prefix=$1
[ -e "$prefix/.zeb-ready" ] && exit 0
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=ko_KR.UTF-8
unset DISPLAY WAYLAND_DISPLAY
wine wineboot -i
wineserver -w
touch "$prefix/.zeb-ready"
