#!/usr/bin/env bash
# Fails when a file includes a header its folder may not use. The allowed arrows are in layers.txt
# (tools, tests and bench sit on top and may include anything). Every include form counts:
# "#include" and "# include", indented, with "..." or <...>, and with ".." anywhere in the path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
declare -A arrows
while read -r from arrow to; do
  [[ -z "$from" || "$from" == \#* ]] && continue
  [[ "$arrow" == "->" ]] || { echo "layers.txt: cannot read the line \"$from $arrow $to\""; exit 1; }
  arrows[$from]="${arrows[$from]:-} $to"
done <layers.txt
# The layer of a project path ("drivers/au/AuFrame.h" -> "drivers/au", "store/Store.h" -> "store").
layer_of() {
  local path=$1
  case $path in
    drivers/*/*) cut -d/ -f1-2 <<<"$path" ;;
    */*) cut -d/ -f1 <<<"$path" ;;
    *) echo "" ;;
  esac
}
# Every layer a layer may include, itself and the arrows' closure.
allowed_of() {
  local start=$1 todo seen=" $1 " next key
  todo=("$1")
  while ((${#todo[@]})); do
    next=${todo[0]}
    todo=("${todo[@]:1}")
    key=$next
    [[ -z "${arrows[$key]:-}" && "$next" == drivers/* ]] && key="drivers/*"
    for to in ${arrows[$key]:-}; do
      [[ "$seen" == *" $to "* ]] && continue
      seen+="$to "
      todo+=("$to")
    done
  done
  echo "$seen"
}
layers=" core comm store drivers lims engine ui app "
status=0
checked=0
while IFS= read -r -d '' file; do
  mine=$(layer_of "$file")
  allowed=$(allowed_of "$mine")
  dir=$(dirname "$file")
  while IFS=: read -r line target; do
    checked=$((checked + 1))
    # A relative path is resolved from the including file's folder; a path is then a project path
    # when its first folder is a layer.
    if [[ "$target" == *..* || ( -e "$dir/$target" && "$target" == */* ) ]]; then
      resolved=$(realpath -m --relative-to="$root" "$dir/$target")
    else
      resolved=$target
    fi
    first=${resolved%%/*}
    [[ "$layers" == *" $first "* && "$resolved" == */* ]] || continue
    theirs=$(layer_of "$resolved")
    if [[ "$allowed" != *" $theirs "* && !("$theirs" == drivers/* && "$allowed" == *" drivers/* "*) ]]; then
      echo "layer violation: $file:$line includes $resolved ($mine may use:$allowed)"
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]+[">]' "$file" |
    sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*["<]([^">]+)[">].*/\1:\2/')
done < <(find core comm store drivers lims engine ui app -name '*.h' -print0 -o -name '*.cpp' -print0 2>/dev/null)
((status == 0)) && echo "layers: $checked includes follow layers.txt"
exit $status
