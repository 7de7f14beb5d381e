#!/usr/bin/env bash
# Fuzzes one reader for as long as asked:  bash scripts/fuzz.sh vault|rtf|csv|sealed [SECONDS] [libFuzzer options...]
# Builds the fuzz project into build-fuzz/ with clang. New inputs collect in build-fuzz/corpus/TARGET,
# findings in build-fuzz/artifacts/; copy an input that found a bug into fuzz/corpus/TARGET once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: scripts/fuzz.sh vault|rtf|csv|sealed [SECONDS] [libFuzzer options...]}"
seconds="${2:-600}"
shift $(( $# < 2 ? $# : 2 ))
case "$target" in vault|rtf|csv|sealed) ;; *) echo "unknown target: $target (vault, rtf, csv or sealed)" >&2; exit 2 ;; esac
CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz >/dev/null
cmake --build build-fuzz -j2 --target "fuzz_$target"
mkdir -p "build-fuzz/corpus/$target" build-fuzz/artifacts
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
exec "build-fuzz/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -dict="fuzz/$target.dict" -artifact_prefix="build-fuzz/artifacts/$target-" -print_final_stats=1 "$@" \
  "build-fuzz/corpus/$target" "fuzz/corpus/$target"
