#!/usr/bin/env bash
# Runs a Windows program under Wine as the tests need it: in the given prefix, without a
# display (message boxes return at once), without Wine's debug output, and with the Korean
# ANSI code page (949) of the target machines.
#   wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=-all LC_ALL=ko_KR.UTF-8
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
