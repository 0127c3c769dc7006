#!/usr/bin/env bash
# Builds every test in a clang++ tree under ThreadSanitizer (the tsan preset)
# and runs them all, the tests that share counted objects and the trace ring
# between threads with Pavo::ThreadControl::tsp_ on among them. Any report
# fails its test. A companion of scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan "$@"
