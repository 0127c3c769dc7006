#include "Kroma/SegmentRouting/AdjacencySegment.h"

#include <algorithm>
#include <array>
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

Cspf::LinkDescription AdjacencyLink::description() const noexcept {
  Cspf::LinkDescription d;
  d.firstVertex = local;
  d.vertexKind = static_cast<std::uint32_t>(kind);
  d.secondVertex = remote;
  d.linkId = localInterfaceId;
  d.remoteLinkId = remoteInterfaceId;
  // Both families keep their address in the prefix's leading bytes, network
  // order, the rest zero: the description's own layout.
  std::memcpy(d.localAddress, localAddress.address().data(), sizeof d.localAddress);
  return d;
}

AdjacencyLink AdjacencyLink::of(Cspf::LinkDescription const& d) {
  AdjacencyLink link;
  link.local = d.firstVertex;
  link.remote = d.secondVertex;
  link.localInterfaceId = d.linkId;
  link.remoteInterfaceId = d.remoteLinkId;
  link.kind = static_cast<LinkKind>(d.vertexKind);
  std::array<std::uint8_t, 16> address;
  std::memcpy(address.data(), d.localAddress, address.size());
  bool const ipv6 = std::any_of(address.begin() + 4, address.end(), [](auto b) { return b != 0; });
  bool const none =
      !ipv6 && std::all_of(address.begin(), address.begin() + 4, [](auto b) { return b == 0; });
  if (ipv6) {
    link.localAddress = Vantre::IpGenPrefix::ipv6(address, 128);
  } else if (!none) {
    link.localAddress = Vantre::IpGenPrefix::ipv4((std::uint32_t{address[0]} << 24) |
                                                      (std::uint32_t{address[1]} << 16) |
                                                      (std::uint32_t{address[2]} << 8) | address[3],
                                                  32);
  }
  return link;
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
