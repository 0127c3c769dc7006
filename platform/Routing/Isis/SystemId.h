// Routing::Isis::SystemId: the 6-byte IS-IS system id.
//
// Layout: bytes 0..5 the id, in the order it is written. Order, equality
// and hash are bytewise. Text: three groups of four hex digits,
// "1921.6800.1001" (printed lower-case, read in either case).
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Routing::Isis {

class SystemId {
 public:
  static constexpr std::size_t kSize = 6;
  static constexpr char const* kTypeName = "Routing::Isis::SystemId";

  constexpr SystemId() noexcept = default;
  explicit constexpr SystemId(std::array<std::uint8_t, kSize> const& bytes) noexcept {
    for (std::size_t i = 0; i < kSize; ++i)
      bytes_[i] = bytes[i];
  }

  std::array<std::uint8_t, kSize> bytes() const noexcept {
    return {bytes_[0], bytes_[1], bytes_[2], bytes_[3], bytes_[4], bytes_[5]};
  }
  std::uint8_t const* data() const noexcept { return bytes_; }
  bool isZero() const noexcept { return *this == SystemId(); }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashBytes(bytes_, kSize);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    return std::memcmp(static_cast<SystemId const*>(a)->bytes_,
                       static_cast<SystemId const*>(b)->bytes_, kSize) == 0;
  }
  friend bool operator==(SystemId const& a, SystemId const& b) noexcept { return isEq(&a, &b); }
  friend std::strong_ordering operator<=>(SystemId const& a, SystemId const& b) noexcept {
    int const c = std::memcmp(a.bytes_, b.bytes_, kSize);
    return c < 0   ? std::strong_ordering::less
           : c > 0 ? std::strong_ordering::greater
                   : std::strong_ordering::equal;
  }

  // The whole text must be one id; errors raise Vek::DeserializeException.
  static SystemId parse(std::string_view text);
  // Reads one id at the range's position.
  static SystemId read(Vek::CharRange& range);
  std::string toString() const;

 private:
  std::uint8_t bytes_[kSize] = {};
};

static_assert(sizeof(SystemId) == 6 && alignof(SystemId) == 1);
static_assert(std::is_trivially_copyable_v<SystemId> && std::is_standard_layout_v<SystemId>);

std::ostream& operator<<(std::ostream& os, SystemId const& id);

}  // namespace Routing::Isis
