#!/usr/bin/env bash
# Installs what building and testing need, and nothing when it is all there already.
# Idempotent; works as root or through sudo.
set -euo pipefail

packages=(cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix
          wine wine32:i386 wine64 xvfb xauth fonts-wine imagemagick libxml2-utils python3
          clang libclang-rt-14-dev time acl clang-format-14
          libboost-dev libssl-dev libsqlite3-dev nginx-light wrk)

have_all() {
    command -v i686-w64-mingw32-g++-posix >/dev/null || return 1
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || return 1
    [ -x /usr/lib/wine/wine64 ] || return 1
    command -v wine >/dev/null || return 1
    command -v xvfb-run >/dev/null || return 1
    command -v xauth >/dev/null || return 1
    command -v cmake >/dev/null || return 1
    command -v g++ >/dev/null || return 1
    command -v import >/dev/null || return 1
    command -v xmllint >/dev/null || return 1
    command -v python3 >/dev/null || return 1
    command -v clang++ >/dev/null || return 1
    [ -x /usr/bin/time ] || return 1
    command -v setfacl >/dev/null || return 1
    command -v clang-format-14 >/dev/null || return 1
    [ -f /usr/include/boost/beast.hpp ] || return 1
    [ -f /usr/include/openssl/hmac.h ] || return 1
    [ -f /usr/include/sqlite3.h ] || return 1
    command -v wrk >/dev/null || return 1
    [ -x /usr/sbin/nginx ] || return 1
    dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'ok installed' || return 1
    [ -f /usr/src/googletest/CMakeLists.txt ] || return 1
    [ -d /usr/share/wine/fonts ] || return 1
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed' || return 1
}

if have_all; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    SUDO=()
elif command -v sudo >/dev/null; then
    SUDO=(sudo)
else
    echo "install-deps: missing packages and neither root nor sudo; install: ${packages[*]}" >&2
    exit 1
fi

echo "install-deps: installing ${packages[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${SUDO[@]}" dpkg --add-architecture i386
fi
"${SUDO[@]}" apt-get update -q
# The benchmark starts nginx itself; the package must not leave the system's
# nginx service running, so services may not start while packages install.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | "${SUDO[@]}" tee "$policy" >/dev/null
    "${SUDO[@]}" chmod 755 "$policy"
    trap '"${SUDO[@]}" rm -f "$policy"' EXIT
fi
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
have_all || { echo "install-deps: packages installed but a tool is still missing" >&2; exit 1; }
