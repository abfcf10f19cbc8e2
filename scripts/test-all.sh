#!/usr/bin/env bash
# Runs every test tier: the format check; native unit tests, plainly and under the sanitizers; a
# short run of each fuzz target; the 32-bit build under Wine where
# this host can execute 32-bit code (its host-side checks otherwise); and the
# 64-bit build's unit and end-to-end tests under Wine and Xvfb, last, so that
# the output ends with ctest's summary.
set -uo pipefail
cd "$(dirname "$0")/.."
xvfb=(xvfb-run -a -s "-screen 0 1024x768x24")
failed=()

echo "== format: every C++ file as .clang-format has it (clang-format 14)"
sources=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
# shellcheck disable=SC2086
clang-format-14 --dry-run -Werror $sources || failed+=(format)

echo "== native unit tests"
ctest --preset native || failed+=(native)

echo "== native unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset native-asan || failed+=(native-asan)

echo "== fuzz targets, 20 seconds each"
scripts/fuzz.sh 20 || failed+=(fuzz)

if scripts/host-runs-32bit.sh; then
    echo "== 32-bit build under Wine"
    "${xvfb[@]}" scripts/test-windows.sh windows win32 || failed+=(windows)
else
    echo "== 32-bit build: host-side checks (this host cannot execute 32-bit code, so its Wine tiers run on the 64-bit build)"
    ctest --preset windows -LE wine --no-tests=ignore || failed+=(windows)
fi

echo "== 64-bit build under Wine: unit and end-to-end tests"
"${xvfb[@]}" scripts/test-windows.sh windows64 win64 || failed+=(windows64)

if [ ${#failed[@]} -gt 0 ]; then
    echo "test: failures in: ${failed[*]}" >&2
    exit 1
fi
