#!/usr/bin/env bash
# Builds and runs every test twice: an optimised g++ build, and a clang++ build
# under AddressSanitizer + UndefinedBehaviorSanitizer. Then builds the
# libraries alone as the README's install line does (Release,
# BUILD_TESTING=OFF; warnings are errors here), installs them into a temporary
# prefix, builds and runs the example agent (examples/consumer) against the
# installed package, with CMake and with pkg-config and a plain g++ (only the
# .pc file's flags), and uninstalls them again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
for preset in release asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== library-only build, installed"
cmake -S . -B build/lib -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DPATHKIT_WERROR=ON >/dev/null
cmake --build build/lib
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build/lib --prefix "$prefix/usr" >/dev/null
cmake -S examples/consumer -B "$prefix/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer"
"$prefix/consumer/consumer" >/dev/null
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix/usr" -name pathkit.pc -print -quit)")
# shellcheck disable=SC2046 # the flags are lists of words
g++ -Wall -Wextra -Wpedantic -Werror examples/consumer/main.cpp -o "$prefix/consumer-pc" \
  $(pkg-config --cflags --libs pathkit) -Wl,-rpath,"$(pkg-config --variable=libdir pathkit)"
"$prefix/consumer-pc" >/dev/null
cmake --build build/lib --target uninstall >/dev/null
left=$(find "$prefix/usr" -mindepth 1 -not -type d)
if [ -n "$left" ]; then
  echo "uninstall left files behind:" >&2
  echo "$left" >&2
  exit 1
fi
echo "consumer: built and ran against $prefix/usr (CMake package; pkg-config and plain g++); uninstalled"
