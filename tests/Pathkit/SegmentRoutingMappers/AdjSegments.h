// Builders for the adjacency mapper tests: link descriptions, neighbour
// routers, status keys and neighbour records from small numbers.
#pragma once

#include <cstdint>

#include "Cspf/LinkKey.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Mpls/RouterId.h"
#include "Routing/Isis/SystemId.h"

namespace AdjSegTest {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;

inline Routing::Isis::SystemId systemId(unsigned i) {
  return Routing::Isis::SystemId({0x19, 0x21, 0x68, 0x00, 0x10, static_cast<std::uint8_t>(i)});
}

// Link description `i` from router 1 + i % 3; kind 2 (remote named by the
// neighbour's system id) for even `i`, kind 1 for odd.
inline Cspf::LinkDescription description(unsigned i) {
  Cspf::LinkDescription d;
  d.firstVertex = Cspf::VertexIdentifierBase(systemId(1 + i % 3));
  d.secondVertex = Cspf::VertexIdentifierBase(systemId(4 + i % 2));
  d.vertexKind = i % 2 == 0 ? Cspf::LinkDescription::kKindRemoteBySystemId : 1;
  d.linkId = 100 + i;
  d.remoteLinkId = 200 + i;
  d.localAddress[0] = 10;
  d.localAddress[3] = static_cast<std::uint8_t>(i);
  return d;
}

inline AdjacencySegmentNeighbor record(unsigned link, Mpls::RouterId const& neighbor,
                                       std::uint32_t metric, std::uint8_t proto) {
  AdjacencySegmentNeighbor n;
  n.link = description(link);
  n.neighbor = neighbor;
  n.metric = metric;
  n.protoInstance = proto;
  return n;
}

// A key of router `r`: r < 3 an IPv4 router id (protoId 0), else an IS-IS
// router id (router-id word 3: protoIds 1 and 2).
inline AdjacencySegmentKey key(std::uint32_t sid, unsigned r, bool local = false) {
  Mpls::RouterId const router =
      r < 3 ? Mpls::RouterId::ipv4(0xC0000201u + r) : Mpls::RouterId::isis(systemId(20 + r));
  return {{sid, static_cast<std::uint8_t>(local ? 0x40 : 0)}, router};
}

}  // namespace AdjSegTest
