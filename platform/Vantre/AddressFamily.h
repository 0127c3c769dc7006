// Vantre::AddressFamily: the one-byte address family of prefixes and
// addresses: none (0), ipv4 (1), ipv6 (2).
//
// An enum-like value class: the named values convert to it implicitly
//   Vantre::AddressFamily af = Vantre::AddressFamily::ipv4;
// and any other byte can be held (fromValue) and printed as "af(N)", since
// the family arrives from shared memory written by others.
//
// Layout: byte 0 the family number. Trivially copyable, no heap.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Vantre {

class AddressFamily {
 public:
  enum Value : std::uint8_t { none = 0, ipv4 = 1, ipv6 = 2 };

  constexpr AddressFamily() noexcept = default;
  constexpr AddressFamily(Value v) noexcept : value_(v) {}
  static constexpr AddressFamily fromValue(std::uint8_t raw) noexcept {
    AddressFamily af;
    af.value_ = raw;
    return af;
  }

  constexpr std::uint8_t value() const noexcept { return value_; }
  // Bits of an address of this family: 32, 128, or 0 for any other value.
  constexpr unsigned addressBits() const noexcept {
    return value_ == ipv4 ? 32u : value_ == ipv6 ? 128u : 0u;
  }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<1>(value_);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    return static_cast<AddressFamily const*>(a)->value_ ==
           static_cast<AddressFamily const*>(b)->value_;
  }
  friend constexpr bool operator==(AddressFamily, AddressFamily) noexcept = default;
  friend constexpr std::strong_ordering operator<=>(AddressFamily,
                                                    AddressFamily) noexcept = default;

  // "none", "ipv4", "ipv6", or "af(N)" for any other value.
  std::string toString() const;
  // Reads what toString() writes.
  static AddressFamily read(Vek::CharRange& range);

 private:
  std::uint8_t value_ = none;
};

static_assert(sizeof(AddressFamily) == 1);

std::ostream& operator<<(std::ostream& os, AddressFamily af);

}  // namespace Vantre
