#!/usr/bin/env bash
# Installs the build tools when a machine lacks any of them. A machine of this
# project's kind ships them all, so normally this only checks.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v clang++ >/dev/null || need+=(clang)
command -v pkg-config >/dev/null || need+=(pkgconf)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The tools' command line and JSON output.
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
# Abseil, for the benchmarks alone: the second plain side of the end-to-end benchmarks.
[ -f /usr/include/absl/container/flat_hash_map.h ] || need+=(libabsl-dev)
# The sanitizer runtimes of the asan and tsan presets.
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.{asan,tsan}-x86_64.a >/dev/null 2>&1 ||
  need+=(libclang-rt-dev)
# scripts/memcheck.sh runs valgrind; the slab allocator's client requests use its header.
[ -f /usr/include/valgrind/memcheck.h ] || need+=(valgrind)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${need[@]}"
fi
