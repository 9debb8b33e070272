#!/usr/bin/env bash
# Fails when a C++ file differs from the project's .clang-format; `--fix` rewrites them instead.
# The end-to-end tests keep their hand-laid tables (tests/e2e).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files -co --exclude-standard '*.cpp' '*.h' | grep -v '^tests/e2e/')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/quorlix-format.txt; then
  grep -E '^[^ ].*: (warning|error):' /tmp/quorlix-format.txt | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
  echo "run: bash scripts/check-format.sh --fix"
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
