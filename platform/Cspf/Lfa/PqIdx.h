// Cspf::Lfa::PqIdx: the index of an LFA PQ node, an unsigned 16-bit value.
//
// Layout: bytes 0..1 the index. Equal when the 16-bit values are equal;
// hashed as a single 16-bit attribute (Vek::hashSingleAttr). Text: decimal.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Cspf::Lfa {

class PqIdx {
 public:
  constexpr PqIdx() noexcept = default;
  explicit constexpr PqIdx(std::uint16_t value) noexcept : value_(value) {}

  constexpr std::uint16_t value() const noexcept { return value_; }

  unsigned hash(unsigned seed) const noexcept { return Vek::hashSingleAttr(seed, value_); }
  static bool isEq(void const* a, void const* b) noexcept {
    return static_cast<PqIdx const*>(a)->value_ == static_cast<PqIdx const*>(b)->value_;
  }
  friend constexpr bool operator==(PqIdx, PqIdx) noexcept = default;
  friend constexpr std::strong_ordering operator<=>(PqIdx, PqIdx) noexcept = default;

  std::string toString() const { return std::to_string(value_); }
  // Reads what toString() writes.
  static PqIdx read(Vek::CharRange& range);

 private:
  std::uint16_t value_ = 0;
};

static_assert(sizeof(PqIdx) == 2);
static_assert(std::is_trivially_copyable_v<PqIdx> && std::is_standard_layout_v<PqIdx>);

std::ostream& operator<<(std::ostream& os, PqIdx idx);

}  // namespace Cspf::Lfa
