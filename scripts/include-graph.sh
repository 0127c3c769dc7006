#!/usr/bin/env bash
# The include graph of platform/: each folder is a node, and an #include of a
# header in another folder is an arrow to that folder. Prints every folder
# with the folders it includes, lowest layer first (a folder's layer is one
# above the highest it includes). Fails when the graph has a cycle, a folder
# that includes, directly or through others, a folder that includes it back,
# and names one include for each arrow of the cycle.
#
#   scripts/include-graph.sh [--doc FILE] [ROOT]
#
# With --doc it also fails when the graph drawn in FILE (the fenced block
# after the line "<!-- include-graph -->") differs from the printed one.
# CTest runs it as the test platform.include-graph.
set -euo pipefail

doc=""
if [[ ${1:-} == --doc ]]; then
  doc=$(realpath "$2")
  shift 2
fi
root=${1:-$(dirname "$0")/..}
cd "$root/platform"

declare -A deps=()    # folder -> the folders it includes, one per line
declare -A sample=()  # "from to" -> one file and include that make the arrow
for dir in */; do
  deps[${dir%/}]=""
done
while IFS=: read -r file include; do
  from=${file%%/*}
  to=${include#*\"}
  to=${to%%/*}
  [[ $to == "$from" || -z ${deps[$to]+x} ]] && continue
  [[ -n ${sample["$from $to"]+x} ]] && continue
  sample["$from $to"]="$file: $include"
  deps[$from]+="$to"$'\n'
done < <(grep -rE --include='*.h' --include='*.cpp' '^#include "[^"]+/' . | sed 's|^\./||' | sort)

# Layers, bottom up: a folder gets one once every folder it includes has one.
declare -A layer=()
progress=1
while ((progress)); do
  progress=0
  for node in "${!deps[@]}"; do
    [[ -n ${layer[$node]+x} ]] && continue
    top=-1
    for dep in ${deps[$node]}; do
      [[ -z ${layer[$dep]+x} ]] && continue 2
      ((layer[$dep] > top)) && top=${layer[$dep]}
    done
    layer[$node]=$((top + 1))
    progress=1
  done
done

graph=$(for node in "${!deps[@]}"; do
  [[ -z ${layer[$node]+x} ]] && continue
  printf '%s %s\n' "${layer[$node]}" "$node"
done | sort -k1,1n -k2,2 | while read -r _ node; do
  printf '%-8s -> %s\n' "$node" "$(echo "${deps[$node]}" | sort | xargs)"
done | sed 's/ *$//')
echo "$graph"

# A folder left without a layer includes one that is on a cycle (or is on
# one itself): from it, follow arrows to folders without a layer until one
# comes round again.
for start in "${!deps[@]}"; do
  [[ -n ${layer[$start]+x} ]] && continue
  declare -A seen=()
  path=()
  node=$start
  while [[ -z ${seen[$node]+x} ]]; do
    seen[$node]=${#path[@]}
    path+=("$node")
    for dep in ${deps[$node]}; do
      if [[ -z ${layer[$dep]+x} ]]; then
        node=$dep
        break
      fi
    done
  done
  echo "include cycle in platform/:" >&2
  cycle=("${path[@]:${seen[$node]}}" "$node")
  for ((i = 0; i + 1 < ${#cycle[@]}; i++)); do
    echo "  ${cycle[i]} -> ${cycle[i + 1]}   (${sample["${cycle[i]} ${cycle[i + 1]}"]})" >&2
  done
  exit 1
done

if [[ -n $doc ]]; then
  drawn=$(sed -n '/^<!-- include-graph -->$/,/^```$/p' "$doc" | sed '1,2d;$d')
  if [[ "$drawn" != "$graph" ]]; then
    echo "the include graph in $doc is not the graph above; put the graph above there" >&2
    exit 1
  fi
fi
