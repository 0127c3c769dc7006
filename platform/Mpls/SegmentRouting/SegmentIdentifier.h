// Mpls::SegmentRouting::SegmentIdentifier: a segment identifier (SID), a
// 32-bit value and a one-byte flag.
//
// Byte layout (8 bytes, alignment 4):
//   0..3  value
//   4     flag (0 = clear; any other byte counts as set)
//   5..7  reserved, always zero
// The zero identifier is (0, 0), the default.
//
// Order: value, unsigned ascending; on equal values a set flag orders
// BEFORE a clear one. Between two set flags the larger byte comes first, so
// the whole order is the flag byte descending and agrees with equality.
//
// Text: the decimal value, then "/0x" and the flag in two or more lower-case
// hex digits when the flag is set: "16001", "16001/0x40". The reader takes
// up to 8 hex digits in either case after "/0x" or "/0X"; a flag over 0xff
// is a range error.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Mpls::SegmentRouting {

class SegmentIdentifier {
 public:
  static constexpr char const* kTypeName = "Mpls::SegmentRouting::SegmentIdentifier";

  constexpr SegmentIdentifier() noexcept = default;
  constexpr SegmentIdentifier(std::uint32_t value, std::uint8_t flag) noexcept
      : value_(value), flag_(flag) {}
  // Reads one identifier at the range's position and leaves the range after
  // it (see Vek::readValue: blanks before it are skipped; it must end at
  // ',', ')' or the end of the text). Malformed text or a value or flag
  // out of range raises Vek::DeserializeException (a Pavo::RangeException) at
  // the offending position and leaves the range where it was.
  explicit SegmentIdentifier(Vek::CharRange& range);

  constexpr std::uint32_t value() const noexcept { return value_; }
  constexpr std::uint8_t flag() const noexcept { return flag_; }
  constexpr bool isZero() const noexcept { return value_ == 0 && flag_ == 0; }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<4>(value_);
    h.hashMix<1>(flag_);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<SegmentIdentifier const*>(a);
    auto const& y = *static_cast<SegmentIdentifier const*>(b);
    return x.value_ == y.value_ && x.flag_ == y.flag_;
  }
  friend constexpr bool operator==(SegmentIdentifier const& a,
                                   SegmentIdentifier const& b) noexcept {
    return a.value_ == b.value_ && a.flag_ == b.flag_;
  }
  friend constexpr std::strong_ordering operator<=>(SegmentIdentifier const& a,
                                                    SegmentIdentifier const& b) noexcept {
    if (auto c = a.value_ <=> b.value_; c != 0)
      return c;
    return b.flag_ <=> a.flag_;
  }

  // The whole text must be one identifier. Malformed text, a value over
  // 4294967295 or a flag over 0xff raise Vek::DeserializeException naming
  // the text and the position.
  static SegmentIdentifier parse(std::string_view text);
  // Reads one identifier at the range's position (the parser of both).
  static SegmentIdentifier read(Vek::CharRange& range);

  std::string toString() const;

 private:
  std::uint32_t value_ = 0;
  std::uint8_t flag_ = 0;
  [[maybe_unused]] std::uint8_t reserved_[3] = {0, 0, 0};
};

static_assert(sizeof(SegmentIdentifier) == 8 && alignof(SegmentIdentifier) == 4);
static_assert(std::is_trivially_copyable_v<SegmentIdentifier> &&
              std::is_standard_layout_v<SegmentIdentifier>);

std::ostream& operator<<(std::ostream& os, SegmentIdentifier const& sid);

}  // namespace Mpls::SegmentRouting
