#!/bin/sh
# Runs every benchmark of the build folder given as $1 (needs an X display).
set -e
BUILD_DIR=${1:-build}
for benchmark in "$BUILD_DIR"/bench/bench_*; do
    [ -x "$benchmark" ] || continue
    echo "== $(basename "$benchmark")"
    "$benchmark" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
done
