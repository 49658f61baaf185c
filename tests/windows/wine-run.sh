#!/usr/bin/env bash
# Runs a Windows program under Wine as the tests need it: in the given prefix, without a
# display (message boxes return at once), without Wine's debug output, and with the Korean
# ANSI code page (949) of the target machines. The Korean locale is the one wine-prefix.sh
# made: without it Wine keeps the code page but cannot store non-ASCII file names.
#   wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -euo pipefail
export WINEPREFIX=$1
shift
export LOCPATH=$WINEPREFIX/unix-locale WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
exec env LC_ALL=ko_KR.UTF-8 wine "$@"
