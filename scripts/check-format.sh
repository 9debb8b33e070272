#!/usr/bin/env bash
# Fails when a C++ file differs from the project's .clang-format; `--fix` rewrites them instead.
# The end-to-end tests keep their hand-laid tables (tests/e2e). Fails too when it finds no file to
# check, so that a broken file list cannot pass as "all formatted".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard '*.cpp' '*.h' | grep -v '^tests/e2e/')
else
  # A copy without git (a source archive): every .cpp and .h outside the build and hidden folders.
  mapfile -t files < <(find . \( -path './build*' -o -path './.*' -o -path ./tests/e2e \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort)
fi
if ((${#files[@]} == 0)); then
  echo "format: no C++ file found to check in $root"
  exit 1
fi
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  grep -E '^[^ ].*: (warning|error):' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/not formatted: /'
  echo "run: bash scripts/check-format.sh --fix"
  exit 1
fi
echo "format: ${#files[@]} files follow .clang-format"
