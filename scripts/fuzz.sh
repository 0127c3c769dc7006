#!/usr/bin/env bash
# Builds the libFuzzer targets (in the asan tree) and runs each, one after the
# other on one core, for SECONDS (default 60) from its corpus in
# tests/fuzz/corpus/<target>. New inputs and crash artifacts go to
# build/asan/fuzz-found/<target>, never into the repository.
#   scripts/fuzz.sh                       every target, 60 s each
#   scripts/fuzz.sh 1200 node_events      one target, 20 minutes
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # The targets CMake declares (tests/fuzz also holds the replay main).
  mapfile -t targets < <(sed -n 's/^pathkit_fuzz_target(\([a-z_]*\))$/\1/p' tests/fuzz/CMakeLists.txt)
fi
scripts/deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan --target "${targets[@]/#/fuzz_}"
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${targets[@]}"; do
  found=build/asan/fuzz-found/$t
  mkdir -p "$found"
  echo "== $t: ${seconds} s"
  build/asan/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
    -artifact_prefix="$found/" "$found" "tests/fuzz/corpus/$t"
done
