#!/usr/bin/env bash
# Prepares a Wine prefix of the project's own and warms its server, so that
# tests start quickly and Wine's background processes never hold a test's pipes.
#   wine-prefix.sh PREFIX ARCH   (ARCH: win32 or win64)
# Needs a display (run under xvfb-run). End it with: WINEPREFIX=PREFIX wineserver -k
set -euo pipefail
prefix=$1
arch=$2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=$arch
if [ "$arch" = win64 ]; then wine=/usr/lib/wine/wine64; else wine=/usr/lib/wine/wine; fi

if [ ! -f "$prefix/.velmora-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout 300 "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    # The server writes the registry files when it exits.
    timeout 60 /usr/lib/wine/wineserver -w
    [ -f "$prefix/system.reg" ] || { echo "wine-prefix: Wine could not create $prefix" >&2; exit 1; }
    # Debian's Wine does not find its own fonts without these.
    cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
    # A virtual desktop gives windows frames and closes them without stalls
    # where no window manager runs, as under Xvfb.
    if [ "${VELMORA_VIRTUAL_DESKTOP:-1}" = 1 ]; then
        timeout 60 "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
        timeout 60 "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
    fi
    timeout 60 /usr/lib/wine/wineserver -w
    touch "$prefix/.velmora-ready"
fi

# Warm the server outside any pipe of the caller's.
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
timeout 120 "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
