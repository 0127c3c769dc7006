#include "Kroma/SegmentRouting/AdjacencySegment.h"

#include <ostream>

#include "Pavo/Exception.h"
#include "Pavo/TextScan.h"

namespace Kroma::SegmentRouting {

namespace {

[[noreturn]] void throwNbrIdxRange() {
  throw Pavo::RangeException(
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::value < "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::min or > "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::max not allowed");
}

void need(Pavo::TextScan& scan, std::string_view literal) {
  if (!scan.consumeIf(literal))
    scan.fail("expected \"" + std::string(literal) + "\"");
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

AdjacencySegmentKey AdjacencySegmentKey::read(Pavo::TextScan& scan) {
  if (!scan.consumeIf("sid "))
    scan.fail("expected \"sid \"");
  Mpls::SegmentRouting::SegmentIdentifier const sid =
      Mpls::SegmentRouting::SegmentIdentifier::read(scan);
  if (!scan.consumeIf(" router "))
    scan.fail("expected \" router \"");
  return {sid, Mpls::RouterId::read(scan)};
}

std::string AdjacencySegmentNeighbor::toString() const {
  return link.toString() + " neighbor " + neighbor.toString() + " metric " +
         std::to_string(metric) + " proto " + std::to_string(protoInstance);
}

AdjacencySegmentNeighbor AdjacencySegmentNeighbor::read(Pavo::TextScan& scan) {
  AdjacencySegmentNeighbor n;
  n.link = Cspf::LinkDescription::read(scan);
  need(scan, " neighbor ");
  n.neighbor = Mpls::RouterId::read(scan);
  need(scan, " metric ");
  n.metric = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "metric"));
  need(scan, " proto ");
  n.protoInstance = static_cast<std::uint8_t>(scan.readDecimal(0xFF, "protocol instance"));
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

AdjacencySegment AdjacencySegment::read(Pavo::TextScan& scan) {
  AdjacencySegmentKey const key = AdjacencySegmentKey::read(scan);
  need(scan, " flags ");
  AdjacencySegment segment(key, static_cast<std::uint8_t>(scan.readDecimal(0xFF, "flags")));
  need(scan, " neighbors [");
  if (scan.consumeIf(']'))
    return segment;
  do {
    if (segment.count() == kMaxNeighbors)
      scan.fail("more than 512 neighbor records");
    segment.neighbors_.push(AdjacencySegmentNeighbor::read(scan));
  } while (scan.consumeIf("; "));
  scan.expect(']');
  return segment;
}

}  // namespace Kroma::SegmentRouting
