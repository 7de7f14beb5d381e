#!/usr/bin/env bash
# Formats every C++ source of the project with clang-format and .clang-format.
#   bash scripts/format.sh          rewrites the files that need it
#   bash scripts/format.sh --check  only lists them; exits 1 when there are any
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find src tests fuzz bench -name '*.cpp' -o -name '*.h' | sort)
fi
if [ "${1:-}" = "--check" ]; then
  bad=()
  for f in "${files[@]}"; do
    clang-format "$f" | cmp -s "$f" - || bad+=("$f")
  done
  if [ ${#bad[@]} -gt 0 ]; then
    printf 'not formatted: %s\n' "${bad[@]}"
    echo "run: bash scripts/format.sh"
    exit 1
  fi
  echo "all ${#files[@]} sources formatted"
else
  clang-format -i "${files[@]}"
fi
