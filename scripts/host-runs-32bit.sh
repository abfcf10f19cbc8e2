#!/bin/sh
# Exits 0 when this host can execute 32-bit x86 programs, so that 32-bit Wine
# runs. Some virtual machines have no 32-bit support in their kernel.
exec timeout 20 /usr/lib/wine/wine --version >/dev/null 2>&1
