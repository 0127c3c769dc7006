#include "Mpls/SegmentRouting/SegmentIdentifier.h"

#include <cstddef>
#include <ostream>

#include "Vek/CharRangeScan.h"

namespace Mpls::SegmentRouting {

SegmentIdentifier::SegmentIdentifier(Vek::CharRange& range)
    : SegmentIdentifier(Vek::readScanned<SegmentIdentifier>(range, kTypeName, &read)) {}

SegmentIdentifier SegmentIdentifier::parse(std::string_view text) {
  Pavo::TextScan scan(kTypeName, text);
  SegmentIdentifier sid = read(scan);
  scan.expectEnd();
  return sid;
}

SegmentIdentifier SegmentIdentifier::parsePrefix(std::string_view text, std::size_t& used) {
  Pavo::TextScan scan(kTypeName, text);
  SegmentIdentifier sid = read(scan);
  used = scan.pos();
  return sid;
}

SegmentIdentifier SegmentIdentifier::read(Pavo::TextScan& scan) {
  static_assert(offsetof(SegmentIdentifier, flag_) == 4 &&
                offsetof(SegmentIdentifier, reserved_) == 5);
  SegmentIdentifier sid;
  sid.value_ = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "value"));
  if (scan.consumeIf('/')) {
    if (!scan.consumeIf("0x") && !scan.consumeIf("0X"))
      scan.fail("expected \"0x\" and a flag");
    std::size_t const start = scan.pos();
    std::uint64_t const flag = scan.readHex(8, "flag");
    if (flag > 0xFF)
      scan.failAt(start, "flag exceeds 0xff");
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
