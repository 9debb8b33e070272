#!/usr/bin/env bash
# Fails when a file includes a header of a higher layer. The layers, lowest first:
#   core <- comm <- store <- drivers <- lims <- app <- ui
# (tools, tests and bench sit on top and may include anything).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
rank() {
  case $1 in
    core) echo 0 ;; comm) echo 1 ;; store) echo 2 ;; drivers) echo 3 ;; lims) echo 4 ;;
    app) echo 5 ;; ui) echo 6 ;; *) echo -1 ;;
  esac
}
status=0
for folder in core comm store drivers lims app ui; do
  [ -d "$folder" ] || continue
  mine=$(rank "$folder")
  while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$hit")
    theirs=$(rank "$target")
    if (( theirs > mine )); then
      echo "layer violation: $file includes $target/ (${hit#*:})"
      status=1
    fi
  done < <(grep -rHE '^#include "[a-z]+/' "$folder" --include='*.h' --include='*.cpp' || true)
  # Relative includes would hide the folder they reach.
  if grep -rnE '^#include "\.\./' "$folder" --include='*.h' --include='*.cpp'; then
    echo "layer check: use \"folder/File.h\" includes, not relative ones"
    status=1
  fi
done
((status == 0)) && echo "layers: every include runs downward (core <- comm <- store <- drivers <- lims <- app <- ui)"
exit $status
