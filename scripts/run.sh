#!/usr/bin/env bash
# Builds the brander and starts it under Wine on the user's display, in a Wine
# prefix of the project's own (build/run-prefix-*), separate from the tests'.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
    echo "make run: no display (DISPLAY is not set); to run the brander under a virtual X server: xvfb-run -a -s '-screen 0 1024x768x24' make run" >&2
    exit 1
fi
if scripts/host-runs-32bit.sh; then
    preset=windows arch=win32 wine=/usr/lib/wine/wine
else
    echo "make run: this host cannot execute 32-bit code; starting the 64-bit build of the same program" >&2
    preset=windows64 arch=win64 wine=/usr/lib/wine/wine64
fi
scripts/build.sh "$preset"
prefix=$PWD/build/run-prefix-$arch
VELMORA_VIRTUAL_DESKTOP=0 scripts/wine-prefix.sh "$prefix" "$arch"
set +e
WINEPREFIX=$prefix WINEDEBUG=-all "$wine" "build/$preset/velmorabrander.exe"
rc=$?
echo "velmorabrander.exe exited with code $rc"
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
exit $rc
