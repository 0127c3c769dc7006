#include "Vek/Hash.h"

#include <chrono>
#include <cstdlib>

#include "Vek/Setting.h"

namespace Vek {

std::optional<std::uint32_t> hashSeedSetting(char const* text) noexcept {
  if (text == nullptr)
    return std::nullopt;
  if (auto const seed = settingNumber(text, UINT32_MAX))
    return static_cast<std::uint32_t>(*seed);
  settingRefused("VEK_HASH_SEED", text, "is not a decimal or 0x-hex number that fits 32 bits",
                 "using a random seed");
  return std::nullopt;
}

namespace {

std::uint32_t drawProcessSeed() noexcept {
  if (auto const seed = hashSeedSetting(std::getenv("VEK_HASH_SEED")))
    return *seed;
  // Address-space layout and start time differ from run to run.
  static int const anchor = 0;
  Hash h(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&anchor)));
  h.hashMix<8>(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return h.result();
}

}  // namespace

// Initialised while the platform library loads, before any code that links
// it can build a collection.
std::uint32_t const HashHelper::processSeed_ = drawProcessSeed();

}  // namespace Vek
