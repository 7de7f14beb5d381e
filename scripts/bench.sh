#!/usr/bin/env bash
# Builds the benchmark program in Release into build-bench/ and runs it; arguments go to it
# (e.g. --benchmark_filter='/100000$'). Prints a table of ratios to the floors and the memory of a 1,000,000-entry load.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh tests
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKEYHAVEN_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j2 --target keyhaven_bench
./build-bench/keyhaven_bench --benchmark_color=false "$@"
