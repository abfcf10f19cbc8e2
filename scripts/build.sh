#!/usr/bin/env bash
# Configures and builds the given presets (all three when none is named).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan windows windows64)
for p in "${presets[@]}"; do
    cmake --preset "$p" >/dev/null
    cmake --build --preset "$p" -j"$(nproc)"
done
