#!/usr/bin/env bash
# Builds the optimised tree and runs the soak (tools/soak): EVENTS (default
# 10 million) random status-table events through both mappers, printing the
# events per second and the allocation trackers; exits non-zero when a
# tracker grew over the steady state or something is left at the end.
#   scripts/soak.sh [EVENTS [SEED]]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target soak
exec build/release/tools/soak "${1:-10000000}" "${2:-1}"
