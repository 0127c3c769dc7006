#include "Kroma/SegmentRouting/AdjacencySegment.h"

#include <ostream>

#include "Pavo/Exception.h"
#include "Vek/CharRange.h"

namespace Kroma::SegmentRouting {

namespace {

[[noreturn]] void throwNbrIdxRange() {
  throw Pavo::RangeException(
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::value < "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::min or > "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::max not allowed");
}

}  // namespace

std::string AdjacencySegmentKey::toString() const {
  return "sid " + sid().toString() + " router " + routerId_.toString();
}

std::ostream& operator<<(std::ostream& os, AdjacencySegmentKey const& key) {
  return os << key.toString();
}

AdjSegmentNbrIdx::AdjSegmentNbrIdx(std::int64_t value) {
  if (value < static_cast<std::int64_t>(min) || value > static_cast<std::int64_t>(max)) {
    throwNbrIdxRange();
  }
  value_ = static_cast<std::uint32_t>(value);
}

AdjSegmentNbrIdx& AdjSegmentNbrIdx::operator++() {
  if (value_ >= max)
    throwNbrIdxRange();
  ++value_;
  return *this;
}

AdjacencySegmentKey AdjacencySegmentKey::read(Vek::CharRange& range) {
  range.expect("sid ");
  Mpls::SegmentRouting::SegmentIdentifier const sid =
      Mpls::SegmentRouting::SegmentIdentifier::read(range);
  range.expect(" router ");
  return {sid, Mpls::RouterId::read(range)};
}

}  // namespace Kroma::SegmentRouting
