#!/usr/bin/env bash
# Runs the unit-test programs of the optimised build under valgrind's memcheck
# (every error and every definitely or possibly lost block fails the run), and
# checks that memcheck sees a use after free inside a slab slot, which only the
# slab allocator's client requests make visible. A companion of
# scripts/test.sh; model-test step counts are lowered as in the asan preset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release/tests
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
# alloc_tests replaces the global operator new and delete to count
# allocations: memcheck must leave them to the program (nouserintercepts) and
# watch the malloc and free they call, or it pairs its own new with their free.
vg=(valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,possible
  --soname-synonyms=somalloc=nouserintercepts --num-callers=30)
export ADJSEG_MODEL_STEPS=${ADJSEG_MODEL_STEPS:-15000} NODESEG_MODEL_STEPS=${NODESEG_MODEL_STEPS:-30000}

failed=0
for t in platform_tests pathkit_tests alloc_tests; do
  echo "== memcheck $t"
  start=$SECONDS
  if "${vg[@]}" --log-file="$log/$t.vg" "$bin/$t" >"$log/$t.out" 2>&1; then
    echo "$t: clean, $(sed -n 's/^\[  PASSED  \] \(.*\)\./\1/p' "$log/$t.out") passed, $((SECONDS - start)) s"
  else
    failed=1
    tail -n 30 "$log/$t.out"
    cat "$log/$t.vg"
  fi
done

echo "== memcheck slab_use_after_free (must be reported)"
if "${vg[@]}" --log-file="$log/uaf.vg" "$bin/slab_use_after_free" >/dev/null 2>&1; then
  echo "slab_use_after_free: memcheck reported nothing"
  failed=1
elif [ "$(grep -c 'Invalid read of size 1' "$log/uaf.vg")" = 1 ] &&
  grep -q 'ERROR SUMMARY: 1 errors' "$log/uaf.vg" &&
  grep -A3 'Invalid read of size 1' "$log/uaf.vg" | grep -q 'SlabUseAfterFree.cpp'; then
  echo "slab_use_after_free: memcheck reported the one invalid read"
else
  echo "slab_use_after_free: memcheck did not report exactly the invalid read"
  cat "$log/uaf.vg"
  failed=1
fi
exit $failed
