#!/usr/bin/env bash
# Instructions per event of the end-to-end benchmarks' measured parts, side
# by side: each benchmark run alone, once, under valgrind's callgrind, which
# instruments only the timed part (the program marks it; the fill of the
# table and the checks are not counted). Instruction counts stay put on a
# busy machine where times do not.
#
#   bench/callgrind.sh [-a] [-o DIR] PROGRAM [NAME_REGEX...]
#   bench/callgrind.sh adjseg_bench                      # every run of adjseg_bench
#   bench/callgrind.sh e2e_bench 'startup/.*/100000'     # one phase and size, every side
#   bench/callgrind.sh -a adjseg_bench change/pathkit/10000   # and its profile
# -a prints each profile's top functions (inclusive) with callgrind_annotate;
# -o keeps the profiles in DIR (default: a temporary folder, removed).
# PROGRAM is a name under build/release/bench/ (build the release preset
# first). Extra program options go in BENCH_ARGS, e.g. BENCH_ARGS=--small.
set -euo pipefail
cd "$(dirname "$0")/.."
annotate=0
dir=""
while getopts "ao:" opt; do
  case $opt in
    a) annotate=1 ;;
    o) dir=$OPTARG ;;
    *) sed -n '2,17p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { sed -n '2,17p' "$0" >&2; exit 2; }
program=build/release/bench/$1
shift
[ -x "$program" ] || { echo "callgrind.sh: $program not built (cmake --build --preset release)" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "callgrind.sh: valgrind is missing (scripts/deps.sh)" >&2; exit 2; }
if [ -z "$dir" ]; then
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
fi
mkdir -p "$dir"
# shellcheck disable=SC2086 # BENCH_ARGS is a list of words
all=$("$program" ${BENCH_ARGS:-} --benchmark_list_tests | grep -E "^(startup|change)/" | sed "s,/iterations:.*,,")
patterns=("$@")
[ ${#patterns[@]} -gt 0 ] || patterns=('.*')
names=()
for p in "${patterns[@]}"; do
  while IFS= read -r n; do names+=("$n"); done < <(grep -E "^($p)\$" <<<"$all" || true)
done
[ ${#names[@]} -gt 0 ] || { echo "callgrind.sh: no benchmark matches ${patterns[*]}" >&2; exit 2; }

declare -A perEvent
printf '%-40s %16s %10s %14s\n' benchmark instructions events per-event
for name in "${names[@]}"; do
  out=$dir/$(tr '/' '_' <<<"$name").callgrind
  # shellcheck disable=SC2086
  log=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" \
    "$program" ${BENCH_ARGS:-} --benchmark_filter="^$name/" --benchmark_repetitions=1 \
    --benchmark_enable_random_interleaving=false 2>"$out.log")
  dump=$(ls "$out".* 2>/dev/null | grep -E '\.[0-9]+$' | head -1 || true)
  [ -n "$dump" ] || { echo "callgrind.sh: no dump of the measured part for $name (see $out.log)" >&2; exit 1; }
  ir=$(sed -n 's/^summary: \([0-9]*\).*/\1/p' "$dump")
  events=$(sed -n 's/.*ns per event (\([0-9]*\) events).*/\1/p' <<<"$log" | head -1)
  [ -n "$ir" ] && [ -n "$events" ] || { echo "callgrind.sh: could not read the counts of $name" >&2; exit 1; }
  perEvent[$name]=$(awk -v i="$ir" -v e="$events" 'BEGIN { print i / e }')
  printf '%-40s %16s %10s %14.1f\n' "$name" "$ir" "$events" "${perEvent[$name]}"
  if [ $annotate = 1 ]; then
    callgrind_annotate --inclusive=yes "$dump" 2>/dev/null | sed -n '/^Ir/,$p' | head -40 |
      sed 's/^/    /'
  fi
done

# Instructions per event, each other side against each baseline of the same operation and size.
printed=0
for name in "${names[@]}"; do
  IFS=/ read -r op side size <<<"$name"
  [[ $side == baseline* ]] && continue
  for base in "${names[@]}"; do
    IFS=/ read -r bop bside bsize <<<"$base"
    [[ $bside == baseline* && $bop == "$op" && $bsize == "$size" ]] || continue
    [ $printed = 1 ] || { printf '\ninstructions per event, ratio:\n'; printed=1; }
    printf '  %-8s %-8s %s / %-22s %6.2f\n' "$op" "$size" "$side" "$bside" \
      "$(awk -v a="${perEvent[$name]}" -v b="${perEvent[$base]}" 'BEGIN { print a / b }')"
  done
done
