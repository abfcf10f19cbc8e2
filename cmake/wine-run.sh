#!/bin/sh
# Runs one Windows program under Wine: the loader that matches the program's
# machine type, the prefix named by WINEPREFIX, quiet, and never for ever.
set -eu
exe=$1
: "${WINEPREFIX:?WINEPREFIX must name the build's Wine prefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# PE header offset at 0x3c; the machine field follows the "PE\0\0" signature.
peoff=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((peoff + 4)) -N2 "$exe" | tr -d ' ')
case "$machine" in
  8664) loader=/usr/lib/wine/wine64 ;;
  *)    loader=/usr/lib/wine/wine ;;
esac
exec timeout --kill-after=10 "${VELMORA_WINE_TIMEOUT:-600}" "$loader" "$@"
