// Vek hashing: the incremental hasher and the per-collection seeds.
//
// Every hash collection hashes its keys with a seed made of the process seed
// and a constant of its own:
//   unsigned const seed = Vek::HashHelper::hashSeed32() ^ kCollectionConstant;
//   unsigned const bucketHash = key.hash(seed);
// so no code can come to depend on one iteration order by accident. The
// process seed is drawn once per process; setting VEK_HASH_SEED in the
// environment fixes it, for reproducible runs. Its value must be a decimal or
// 0x-hex number that fits 32 bits (Vek/Setting.h); any other value, empty
// included, is reported on standard error and the seed is random.
//
// Value types build their hash(seed) from Vek::Hash:
//   Vek::Hash h(seed);
//   h.hashMix<1>(isLocal);
//   h.hashMix<4>(metric);
//   return h.result();
// Hashing allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

namespace Vek {

class Hash {
 public:
  explicit constexpr Hash(std::uint32_t seed) noexcept
      : state_(0x9E3779B97F4A7C15ull ^ (static_cast<std::uint64_t>(seed) * 0xC2B2AE3D27D4EB4Full)) {
  }

  // Mixes the low N bytes (1, 2, 4 or 8) of an integral or enum value.
  template <unsigned N, class T>
  constexpr void hashMix(T value) noexcept {
    static_assert(N == 1 || N == 2 || N == 4 || N == 8, "hashMix mixes 1, 2, 4 or 8 bytes");
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "hashMix takes integral values");
    std::uint64_t x = static_cast<std::uint64_t>(value);
    if constexpr (N < 8)
      x &= (std::uint64_t{1} << (8 * N)) - 1;
    mixWord(x, N);
  }

  // Mixes `len` raw bytes, eight at a time.
  void hashBytes(void const* data, std::size_t len) noexcept {
    auto const* p = static_cast<unsigned char const*>(data);
    while (len >= 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      mixWord(w, 8);
      p += 8;
      len -= 8;
    }
    if (len > 0) {
      std::uint64_t w = 0;
      std::memcpy(&w, p, len);
      mixWord(w, static_cast<unsigned>(len));
    }
  }

  constexpr std::uint32_t result() const noexcept {
    std::uint64_t h = state_;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
  }

 private:
  constexpr void mixWord(std::uint64_t x, unsigned len) noexcept {
    x *= 0x87C37B91114253D5ull;
    x = (x << 31) | (x >> 33);
    x *= 0x4CF5AD432745937Full;
    state_ ^= x ^ len;
    state_ = ((state_ << 27) | (state_ >> 37)) * 5 + 0x52DCE729;
  }

  std::uint64_t state_;
};

struct HashHelper {
  // The process seed: drawn once when the platform library loads, or read
  // from VEK_HASH_SEED. Read on every hash, so it is a plain load.
  static std::uint32_t hashSeed32() noexcept { return processSeed_; }

 private:
  static std::uint32_t const processSeed_;
};

// The seed a VEK_HASH_SEED value `text` fixes; nullopt, for a random seed,
// when `text` is null (unset) or refused (reported on standard error).
std::optional<std::uint32_t> hashSeedSetting(char const* text) noexcept;

// Hash of a 16-bit value type (one attribute) with the given seed.
constexpr std::uint32_t hashSingleAttr(std::uint32_t seed, std::uint16_t value) noexcept {
  Hash h(seed);
  h.hashMix<2>(value);
  return h.result();
}

// Hash of a plain integer key handed to a collection together with the
// collection's constant: one multiply of the seeded key by a 64-bit odd
// constant, keeping the high half. Its upper bits are the well-mixed ones,
// which is what the hash collections pick buckets by.
inline std::uint32_t hashInteger(std::uint64_t value, std::uint32_t constant) noexcept {
  std::uint64_t const seed = HashHelper::hashSeed32() ^ constant;
  std::uint64_t const x = (value ^ (seed << 32 | seed)) * 0x9E3779B97F4A7C15ull;
  return static_cast<std::uint32_t>(x >> 32);
}

// Spreads an already-computed 32-bit hash handed over with a constant (for
// keys that hash themselves without the process seed).
constexpr std::uint32_t hashHandedOver(std::uint32_t keyHash, std::uint32_t constant) noexcept {
  Hash h(constant);
  h.hashMix<4>(keyHash);
  return h.result();
}

}  // namespace Vek
