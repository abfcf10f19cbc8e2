#!/usr/bin/env bash
# Builds the fuzz targets and runs each for the given number of seconds on a
# working corpus grown from the seeds in fuzz/corpus. Prints each target's
# executions; exits non-zero on the first finding (its input is kept in
# build/fuzz/findings).   fuzz.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/build.sh fuzz >/dev/null
mkdir -p build/fuzz/findings
for target in FuzzLocate FuzzIdentity FuzzPe FuzzCsv FuzzTextRules; do
    seeds=fuzz/corpus/$(echo "${target#Fuzz}" | tr '[:upper:]' '[:lower:]')
    work=build/fuzz/corpus/$target
    mkdir -p "$work"
    log=build/fuzz/$target.log
    if ! build/fuzz/fuzz/$target -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix=build/fuzz/findings/ "$work" "$seeds" >"$log" 2>&1; then
        tail -40 "$log"
        echo "fuzz: $target found a fault; see $log and build/fuzz/findings/" >&2
        exit 1
    fi
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
    echo "fuzz: $target: $runs executions in ${seconds} s, no finding"
done
