#!/usr/bin/env bash
# Makes the tests' Wine prefix unless it is there: wineboot into a fresh folder, marked ready
# only when it completed (a half-made prefix from an interrupted run is made again). Beside
# it, in PREFIX/unix-locale, the Korean UTF-8 locale Wine needs to give Windows programs the
# Korean ANSI code page and still store any file name (wine-run.sh points LOCPATH at it).
#   wine-prefix.sh PREFIX
set -euo pipefail
prefix=$1
locales=$prefix/unix-locale
if [ ! -e "$prefix/.zeb-ready" ]; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
fi
if [ ! -e "$locales/ko_KR.UTF-8/LC_CTYPE" ]; then
  rm -rf "$locales"
  mkdir -p "$locales"
  localedef -i ko_KR -f UTF-8 "$locales/ko_KR.UTF-8.tmp"
  mv "$locales/ko_KR.UTF-8.tmp" "$locales/ko_KR.UTF-8"
fi
[ -e "$prefix/.zeb-ready" ] && exit 0
export WINEPREFIX=$prefix WINEDEBUG=-all LOCPATH=$locales
unset DISPLAY WAYLAND_DISPLAY
env LC_ALL=ko_KR.UTF-8 wine wineboot -i
wineserver -w
touch "$prefix/.zeb-ready"
