#include "Mpls/SegmentRouting/SegmentIdentifier.h"

#include <cstddef>
#include <ostream>

#include "Vek/CharRange.h"

namespace Mpls::SegmentRouting {

SegmentIdentifier::SegmentIdentifier(Vek::CharRange& range)
    : SegmentIdentifier(Vek::readValue(range, kTypeName, &read)) {}

SegmentIdentifier SegmentIdentifier::parse(std::string_view text) {
  return Vek::parseValue(text, kTypeName, &read);
}

SegmentIdentifier SegmentIdentifier::read(Vek::CharRange& range) {
  static_assert(offsetof(SegmentIdentifier, flag_) == 4 &&
                offsetof(SegmentIdentifier, reserved_) == 5);
  SegmentIdentifier sid;
  sid.value_ = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "value"));
  if (range.consume("/")) {
    if (!range.consume("0x") && !range.consume("0X"))
      range.fail("expected \"0x\" and a flag");
    std::size_t const start = range.pos();
    std::uint64_t const flag = range.readHex(8, "flag");
    if (flag > 0xFF)
      range.failAt(start, "flag exceeds 0xff");
    sid.flag_ = static_cast<std::uint8_t>(flag);
  }
  return sid;
}

std::string SegmentIdentifier::toString() const {
  std::string s = std::to_string(value_);
  if (flag_ != 0) {
    static char const kHex[] = "0123456789abcdef";
    s += "/0x";
    s += kHex[flag_ >> 4];
    s += kHex[flag_ & 0xF];
  }
  return s;
}

std::ostream& operator<<(std::ostream& os, SegmentIdentifier const& sid) {
  return os << sid.toString();
}

}  // namespace Mpls::SegmentRouting
