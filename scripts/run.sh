#!/usr/bin/env bash
# Builds the optimised tree and runs the main job on its built-in scenario.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/tools/srmap/srmap "$@"
