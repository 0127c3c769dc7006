// Mpls::SegmentRouting::PrefixAlgoKey: a prefix and the segment-routing
// algorithm (0 plain shortest path, 128..255 flexible algorithms) that a
// prefix segment is advertised for.
//
// Byte layout (24 bytes, alignment 1):
//   0..19   prefix (Vantre::IpGenPrefix)
//   20      algo
//   21..23  reserved, always zero
// Order: prefix (Vantre::IpGenPrefix order), then algo. Text:
// "10.0.0.1/32 algo 128".
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "Vantre/IpGenPrefix.h"
#include "Vek/Hash.h"

namespace Mpls::SegmentRouting {

class PrefixAlgoKey {
 public:
  PrefixAlgoKey() noexcept = default;
  PrefixAlgoKey(Vantre::IpGenPrefix const& prefix, std::uint8_t algo) noexcept
      : prefix_(prefix), algo_(algo) {}

  Vantre::IpGenPrefix const& prefix() const noexcept { return prefix_; }
  std::uint8_t algo() const noexcept { return algo_; }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(prefix_.hash(seed));
    h.hashMix<1>(algo_);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<PrefixAlgoKey const*>(a);
    auto const& y = *static_cast<PrefixAlgoKey const*>(b);
    return x.algo_ == y.algo_ && Vantre::IpGenPrefixBase::isEq(&x.prefix_, &y.prefix_);
  }
  friend bool operator==(PrefixAlgoKey const& a, PrefixAlgoKey const& b) noexcept {
    return isEq(&a, &b);
  }
  friend std::strong_ordering operator<=>(PrefixAlgoKey const& a, PrefixAlgoKey const& b) noexcept {
    if (auto c = a.prefix_ <=> b.prefix_; c != 0)
      return c;
    return a.algo_ <=> b.algo_;
  }

  std::string toString() const;
  // Reads what toString() writes ("10.0.0.1/32 algo 128").
  static PrefixAlgoKey read(Vek::CharRange& range);

 private:
  Vantre::IpGenPrefix prefix_;
  std::uint8_t algo_ = 0;
  [[maybe_unused]] std::uint8_t reserved_[3] = {0, 0, 0};
};

static_assert(sizeof(PrefixAlgoKey) == 24 && alignof(PrefixAlgoKey) == 1);
static_assert(std::is_trivially_copyable_v<PrefixAlgoKey> &&
              std::is_standard_layout_v<PrefixAlgoKey>);

std::ostream& operator<<(std::ostream& os, PrefixAlgoKey const& key);

}  // namespace Mpls::SegmentRouting
