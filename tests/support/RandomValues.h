// Test support: random values of every value type with a text form, drawn
// from small pools of interesting bytes and numbers so that edge values (0,
// maxima, 0xaf/0xff bytes that look like words in text) come up often, and
// equal values often enough for order and equality properties.
//   TestSupport::Random r(seed);
//   Mpls::RouterId id = r.routerId();
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <random>

#include "Cspf/IgpRouterId.h"
#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Cspf/VertexIdentifier.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "Routing/Isis/SystemId.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"

namespace TestSupport {

class Random {
 public:
  explicit Random(std::uint32_t seed) : rng_(seed) {}

  std::uint32_t below(std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng_);
  }
  bool coin() { return below(2) == 1; }
  // One of `pool` or, one time in four, any value.
  std::uint32_t u32(std::initializer_list<std::uint32_t> pool = {0, 1, 16, 4294967295u}) {
    if (below(4) == 0)
      return static_cast<std::uint32_t>(rng_());
    return pool.begin()[below(static_cast<std::uint32_t>(pool.size()))];
  }
  std::uint8_t byte() { return static_cast<std::uint8_t>(u32({0, 1, 0x0a, 0xaf, 0xff})); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(u32({0, 1, 5, 65535})); }

  Vantre::AddressFamily addressFamily() { return Vantre::AddressFamily::fromValue(byte()); }
  Vantre::IpGenPrefix prefix() {
    switch (below(3)) {
      case 0:
        return Vantre::IpGenPrefix();
      case 1:
        return Vantre::IpGenPrefix::ipv4(u32({0, 0x0a000001u, 0xafef0100u}), below(33));
      default: {
        std::array<std::uint8_t, 16> a{};
        for (auto& b : a)
          b = coin() ? 0 : byte();
        return Vantre::IpGenPrefix::ipv6(a, below(129));
      }
    }
  }
  Routing::Isis::SystemId systemId() {
    std::array<std::uint8_t, Routing::Isis::SystemId::kSize> b{};
    for (auto& x : b)
      x = byte();
    return Routing::Isis::SystemId(b);
  }
  // Every form: none, IPv4, IS-IS with and without label space, every field.
  Mpls::RouterId routerId() {
    Mpls::RouterId id;
    switch (below(4)) {
      case 0:
        return id;
      case 1:
        return Mpls::RouterId::ipv4(u32(), u16());
      case 2:
        id = Mpls::RouterId::isis(systemId());
        id.lblSpaceValueIs(u16());
        return id;
      default:
        id.afIs(u32({0, 1, 2, 3, 0xaf}));
        id.rtrIdValueIs(u32());
        id.lblSpaceValueIs(u16());
        id.isisSystemIdIs(systemId());
        return id;
    }
  }
  Mpls::SegmentRouting::SegmentIdentifier sid() {
    return {u32({0, 16, 17, 16001}), static_cast<std::uint8_t>(u32({0, 0x40, 0x80, 0xff}))};
  }
  Mpls::SegmentRouting::PrefixAlgoKey prefixAlgoKey() {
    return {prefix(), static_cast<std::uint8_t>(u32({0, 128, 255}))};
  }
  Cspf::VertexIdentifierBase vertex() {
    switch (below(4)) {
      case 0:
        return {};
      case 1:
        return Cspf::VertexIdentifierBase::fromIpv4RouterId(u32());
      case 2:
        return Cspf::VertexIdentifierBase(systemId());
      default:
        return {systemId(), byte()};
    }
  }
  Cspf::IgpRouterId igpRouterId() {
    Cspf::IgpRouterId id(vertex());
    if (coin())
      id.handleInitialized();
    return id;
  }
  Cspf::LinkKey linkKey() {
    Cspf::LinkDescription d;
    d.firstVertex = vertex();
    d.vertexKind = u32({0, 2});
    d.secondVertex = vertex();
    d.linkId = u32();
    d.remoteLinkId = u32();
    for (std::size_t i = 0; i < (coin() ? 4u : 16u); ++i)
      d.localAddress[i] = byte();
    return {d, igpRouterId()};
  }
  Cspf::PathKey pathKey() { return {vertex(), u32()}; }
  Cspf::Lfa::PqIdx pqIdx() { return Cspf::Lfa::PqIdx(u16()); }
  Kroma::SegmentRouting::AdjacencySegmentKey adjacencySegmentKey() { return {sid(), routerId()}; }
  Kroma::SegmentRouting::PrefixSegmentInfo prefixSegmentInfo() { return {routerId(), byte()}; }
  Kroma::SegmentRouting::AdjacencySegmentNeighbor adjacencyNeighbor() {
    Kroma::SegmentRouting::AdjacencySegmentNeighbor n;
    n.link = linkKey().description();
    n.neighbor = routerId();
    n.metric = u32();
    n.protoInstance = byte();
    return n;
  }
  Kroma::SegmentRouting::AdjacencySegment adjacencySegment() {
    Kroma::SegmentRouting::AdjacencySegment s(adjacencySegmentKey(), byte());
    for (std::uint32_t i = below(3); i > 0; --i)
      s.neighbors().push(adjacencyNeighbor());
    return s;
  }

 private:
  std::mt19937 rng_;
};

}  // namespace TestSupport
