#include "Vek/Hash.h"

#include <chrono>
#include <cstdlib>

namespace Vek {

namespace {

std::uint32_t drawProcessSeed() noexcept {
  if (char const* text = std::getenv("VEK_HASH_SEED"); text != nullptr && *text != '\0') {
    char* end = nullptr;
    unsigned long long const v = std::strtoull(text, &end, 0);
    if (end != nullptr && *end == '\0')
      return static_cast<std::uint32_t>(v);
  }
  // Address-space layout and start time differ from run to run.
  static int const anchor = 0;
  Hash h(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&anchor)));
  h.hashMix<8>(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return h.result();
}

}  // namespace

std::uint32_t HashHelper::hashSeed32() noexcept {
  static std::uint32_t const seed = drawProcessSeed();
  return seed;
}

}  // namespace Vek
