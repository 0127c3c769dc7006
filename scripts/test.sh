#!/usr/bin/env bash
# Builds and runs every test twice: an optimised g++ build, and a clang++ build
# under AddressSanitizer + UndefinedBehaviorSanitizer. Then installs the
# optimised build into a temporary prefix and builds and runs the example
# agent (examples/consumer) against the installed package, with CMake and with
# pkg-config.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== installed package"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build/release --prefix "$prefix/usr" >/dev/null
cmake -S examples/consumer -B "$prefix/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer"
"$prefix/consumer/consumer"
libdir=$(dirname "$(find "$prefix/usr" -name libpathkit.so -print -quit)")
pc_flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs pathkit)
# shellcheck disable=SC2086 # pc_flags is a list of words
g++ -std=c++20 -Wall -Wextra -Wpedantic -Werror examples/consumer/main.cpp \
  -o "$prefix/consumer-pc" $pc_flags -Wl,-rpath,"$libdir"
"$prefix/consumer-pc" >/dev/null
echo "consumer: built and ran against $prefix/usr (CMake package and pkg-config)"
