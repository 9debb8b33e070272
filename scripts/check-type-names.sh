#!/usr/bin/env bash
# Fails when code outside drivers/ and lims/ names an analyzer type, out-type or out-id: what the
# program knows of a type comes from the family that registers it (drivers/AnalyzerType.h).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# The names the families register: the literals of every ".names = {…}", ".outTypes = {…}" and
# ".outIds = {…}" in drivers/ and lims/.
mapfile -t names < <(
  grep -rhoE '\.(names|outTypes|outIds) = \{[^}]*\}' drivers lims --include='*.cpp' |
    grep -oE '"[^"]+"' | sort -u
)
if ((${#names[@]} == 0)); then
  echo "type names: no registered type found (has the registration changed form?)"
  exit 1
fi
pattern=$(printf '%s|' "${names[@]}")
pattern="(${pattern%|})"
status=0
for folder in core comm store engine app ui; do
  [ -d "$folder" ] || continue
  while IFS= read -r file; do
    # Comments may name a type; code may not.
    if hits=$(sed -E 's|//.*||' "$file" | grep -nE "$pattern"); then
      sed 's|^|'"$file"':|' <<<"$hits"
      status=1
    fi
  done < <(find "$folder" -name '*.cpp' -o -name '*.h' | sort)
done
if ((status == 0)); then
  echo "type names: ${#names[@]} registered names, none named outside drivers/ and lims/"
else
  echo "type names: the lines above name an analyzer type outside drivers/ and lims/; ask the registry"
fi
exit $status
