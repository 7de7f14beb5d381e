#!/usr/bin/env bash
# Installs the packages, checks the sources' format, builds Keyhaven with its tests and runs every
# test through CTest, then runs clang-tidy on the program's sources. Then runs the tests that
# handle the user's data (CTest label "sanitize") again under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), and each fuzzer over its corpus and for a short while
# (build-fuzz/).
# Every part runs even when an earlier one failed; the exit status is non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh tests || exit 1
export QT_QPA_PLATFORM=offscreen

summaries=()
failed=()

# Runs ctest with the given arguments and keeps its summary line under NAME.
run_ctest() {
  local name="$1" log status summary
  shift
  log="$(mktemp)"
  ctest --output-on-failure "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  summary="$(grep -E 'tests passed|No tests were found' "$log" | tail -1)"
  rm -f "$log"
  summaries+=("$name: ${summary:-ctest did not finish}")
  [ "$status" -eq 0 ] || failed+=("$name")
}

# Runs a build step; a failure is recorded under NAME and skips that part's tests.
build_step() {
  local name="$1"
  shift
  if ! "$@"; then
    summaries+=("$name: build failed")
    failed+=("$name")
    return 1
  fi
}

echo "==== Format"
if bash scripts/format.sh --check; then
  summaries+=("format: all sources formatted")
else
  summaries+=("format: sources not formatted")
  failed+=("format")
fi

echo "==== Tests"
build_step "tests" bash scripts/build.sh build &&
  run_ctest "tests" --test-dir build -j1

echo "==== Static checks (clang-tidy)"
if [ -f build/compile_commands.json ] && bash scripts/tidy.sh build; then
  summaries+=("clang-tidy: no findings")
else
  summaries+=("clang-tidy: findings")
  failed+=("clang-tidy")
fi

echo "==== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# The tests labelled "sanitize" and nothing else are built there.
sanitized_tests() {
  ctest --test-dir build-asan -N -L sanitize | sed -n 's/^ *Test *#[0-9]*: *//p'
}
# Qt keeps some allocations until exit on purpose, so leak reports would be noise.
build_step "sanitized tests" cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEYHAVEN_SANITIZE=ON -DKEYHAVEN_BENCHMARKS=OFF >/dev/null &&
  mapfile -t sanitized < <(sanitized_tests) &&
  build_step "sanitized tests" cmake --build build-asan -j"$(nproc)" --target "${sanitized[@]}" &&
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    run_ctest "sanitized tests" --test-dir build-asan -j1 -L sanitize

echo "==== Fuzzers"
build_step "fuzzers" env CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz &&
  build_step "fuzzers" cmake --build build-fuzz -j"$(nproc)" &&
  run_ctest "fuzzers" --test-dir build-fuzz -j1

echo "==== Summary"
printf '  %s\n' "${summaries[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All parts passed."
