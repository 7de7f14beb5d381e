#!/usr/bin/env bash
# Runs clang-tidy, with the checks of .clang-tidy, on every source of the program, using the
# compile commands of a configured build folder (first argument, default build/). Exits non-zero
# when any file has a finding.
set -uo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
[ -f "$dir/compile_commands.json" ] || { echo "configure $dir first (scripts/build.sh $dir)"; exit 2; }
log="$(mktemp)"
status=0
run-clang-tidy-14 -p "$dir" -j "$(nproc)" -quiet "$PWD/src/" >"$log" 2>&1 || status=$?
# Only the findings: not clang-tidy's counts of what it left out in Qt's and the system's headers.
grep -vE '^([0-9]+ warnings? (and [0-9]+ errors? )?generated|Suppressed [0-9]+ warnings|Use -header-filter|clang-tidy-14 |Running clang-tidy|[0-9]+ warnings? treated as errors)' "$log" || true
rm -f "$log"
[ $status -eq 0 ] && echo "clang-tidy: no findings"
exit $status
