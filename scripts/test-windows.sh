#!/usr/bin/env bash
# Runs one Windows build's tests under Wine in the build's own prefix.
# Call under xvfb-run:  test-windows.sh BUILD_PRESET ARCH [ctest args...]
set -uo pipefail
preset=$1 arch=$2
shift 2
top=$(cd "$(dirname "$0")/.." && pwd)
prefix=$top/build/$preset/wineprefix
"$top/scripts/wine-prefix.sh" "$prefix" "$arch" || { echo "test-windows: could not prepare $prefix" >&2; exit 1; }
(cd "$top" && ctest --preset "$preset" "$@")
rc=$?
WINEPREFIX=$prefix timeout 60 /usr/lib/wine/wineserver -k 2>/dev/null
WINEPREFIX=$prefix timeout 60 /usr/lib/wine/wineserver -w 2>/dev/null
exit $rc
