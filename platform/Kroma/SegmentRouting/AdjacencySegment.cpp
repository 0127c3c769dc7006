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

std::string AdjacencySegmentNeighbor::toString() const {
  return link.toString() + " neighbor " + neighbor.toString() + " metric " +
         std::to_string(metric) + " proto " + std::to_string(protoInstance);
}

AdjacencySegmentNeighbor AdjacencySegmentNeighbor::read(Vek::CharRange& range) {
  AdjacencySegmentNeighbor n;
  n.link = Cspf::LinkDescription::read(range);
  range.expect(" neighbor ");
  n.neighbor = Mpls::RouterId::read(range);
  range.expect(" metric ");
  n.metric = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "metric"));
  range.expect(" proto ");
  n.protoInstance = static_cast<std::uint8_t>(range.readDecimal(0xFF, "protocol instance"));
  return n;
}

std::string AdjacencySegment::toString() const {
  std::string s = key_.toString() + " flags " + std::to_string(flags_) + " neighbors [";
  for (std::uint32_t i = 0; i < count(); ++i) {
    if (i != 0)
      s += "; ";
    s += neighbors_[i].toString();
  }
  return s + "]";
}

AdjacencySegment AdjacencySegment::read(Vek::CharRange& range) {
  AdjacencySegmentKey const key = AdjacencySegmentKey::read(range);
  range.expect(" flags ");
  AdjacencySegment segment(key, static_cast<std::uint8_t>(range.readDecimal(0xFF, "flags")));
  range.expect(" neighbors [");
  if (range.consume("]"))
    return segment;
  do {
    if (segment.count() == kMaxNeighbors)
      range.fail("more than 512 neighbor records");
    segment.neighbors_.push(AdjacencySegmentNeighbor::read(range));
  } while (range.consume("; "));
  range.expect("]");
  return segment;
}

}  // namespace Kroma::SegmentRouting
