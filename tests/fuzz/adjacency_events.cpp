// Fuzz target: the adjacency segment mapper and its connector map under a
// sequence of events read from the input: writes to both adjacency
// collections (keys filed under protoId 0 or under 1 and 2, records on a few
// links of both vertex kinds, mixed neighbours and protocol instances,
// counts over the bound of 512), removals, corruption in look-ups and walks,
// the mapper stopped, started, rebuilt, and its handlers invoked through the
// generic interface. After every event the mapper's invariants hold
// (Srmap::invariantViolations: the connector map and the entry cache agree,
// nothing in them is empty, every filed pair is listed and every shared
// member counted). At the end every tracker is back.
//
// Three keys share each SID, so that two and more keys file equal entries
// on one link and go and come back in every order.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegments.h"
#include "ReactorRun.h"

namespace {

using namespace SegmentRouting::Mappers;
using AdjSegTest::systemId;
using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::Status;

// Key i: router i, SID 16000 + i % 3 (local for 16000, and for key 7, whose
// entries then differ from those of keys 1 and 4 in the flag alone); the
// IS-IS keys (2, 5, 8) file under 1 and 2.
AdjacencySegmentKey keyAt(unsigned i) {
  Mpls::RouterId const router =
      i % 3 == 2 ? Mpls::RouterId::isis(systemId(20 + i)) : Mpls::RouterId::ipv4(0xC0000201u + i);
  bool const local = i % 3 == 0 || i == 7;
  return {{16000 + i % 3, static_cast<std::uint8_t>(local ? 0x40 : 0)}, router};
}
AdjacencySegmentNeighbor recordAt(unsigned link, unsigned neighbor, std::uint32_t metric,
                                  std::uint8_t proto) {
  AdjacencySegmentNeighbor r;
  r.link.firstVertex = Cspf::VertexIdentifierBase(systemId(1 + link % 2));
  r.link.secondVertex = Cspf::VertexIdentifierBase(systemId(3));
  r.link.vertexKind = link % 2 == 0 ? Cspf::LinkDescription::kKindRemoteBySystemId : 1;
  r.link.linkId = 100 + link;
  r.neighbor = Mpls::RouterId::isis(systemId(10 + neighbor));
  r.metric = metric;
  r.protoInstance = proto;
  return r;
}

struct AdjacencyTraits {
  using Mapper = AdjacencySegmentMapperV2;
  using Output = AdjSegmentConnectorMapV2;
  static constexpr unsigned kKeys = 9;
  static constexpr bool kCleanupKeepsCache = false;

  static Pavo::Ptr<Output> output() { return adjSegmentConnectorMapV2Factory(); }
  static Pavo::Ptr<Mapper> factory(Vantre::AddressFamily af, Pavo::Ptr<Status> const& status,
                                   Pavo::Ptr<Output> const& out) {
    return adjacencySegmentMapperV2Factory(af, status, out);
  }
  static Kroma::KromaMapBase& collection(Status& s, unsigned c) {
    return c == 0 ? s.ipv4AdjacencySegmentMut() : s.ipv6AdjacencySegmentMut();
  }
  static constexpr std::uint32_t kBound = 512;
  // Each handler returns at its family test before it looks the key up.
  static bool reaches(Vantre::AddressFamily af, unsigned c) {
    return af == (c == 0 ? Vantre::AddressFamily::ipv4 : Vantre::AddressFamily::ipv6);
  }
  static Vek::GenericValue key(unsigned, unsigned i) { return keyAt(i); }

  // Up to four records, mostly naming one neighbour, for protocol instances 0 to 3.
  static void put(Status& s, unsigned c, unsigned i, FuzzSupport::Input& in) {
    AdjacencySegment segment(keyAt(i), in.byte());
    for (unsigned n = in.below(5); n > 0; --n) {
      unsigned const link = in.below(4), neighbor = in.below(8) == 0;
      segment.neighbors().push(
          recordAt(link, neighbor, in.below(3), static_cast<std::uint8_t>(in.below(4))));
    }
    c == 0 ? s.ipv4AdjacencySegmentIs(segment) : s.ipv6AdjacencySegmentIs(segment);
  }
  static bool del(Status& s, unsigned c, unsigned i) {
    return c == 0 ? s.ipv4AdjacencySegmentDel(keyAt(i)) : s.ipv6AdjacencySegmentDel(keyAt(i));
  }
  static bool countIs(Status& s, unsigned c, unsigned i, std::uint32_t n) {
    return c == 0 ? s.ipv4AdjacencySegmentRecordCountIsUnchecked(keyAt(i), n)
                  : s.ipv6AdjacencySegmentRecordCountIsUnchecked(keyAt(i), n);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  return FuzzSupport::fuzzReactor<AdjacencyTraits>(data, size);
}
