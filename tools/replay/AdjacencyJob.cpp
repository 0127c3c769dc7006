#include "AdjacencyJob.h"

#include <cstdint>
#include <iostream>
#include <string>

#include "ChangeLog.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "Pavo/Inspector.h"

namespace Replay {

namespace {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::Status;

Routing::Isis::SystemId router(unsigned i) {
  return Routing::Isis::SystemId::parse("1921.6800.100" + std::to_string(i));
}

// Router `from`'s link `linkId` to router `to`, named by the neighbour's
// system id (kind 2), with local address 10.0.<from><to>.<from>.
AdjacencySegmentNeighbor adjacency(unsigned from, unsigned to, std::uint32_t linkId,
                                   std::uint32_t metric, std::uint8_t proto) {
  AdjacencySegmentNeighbor n;
  n.link.firstVertex = Cspf::VertexIdentifierBase(router(from));
  n.link.secondVertex = Cspf::VertexIdentifierBase(router(to));
  n.link.vertexKind = Cspf::LinkDescription::kKindRemoteBySystemId;
  n.link.linkId = linkId;
  n.link.remoteLinkId = linkId;
  n.link.localAddress[0] = 10;
  n.link.localAddress[2] = static_cast<std::uint8_t>(10 * from + to);
  n.link.localAddress[3] = static_cast<std::uint8_t>(from);
  n.neighbor = Mpls::RouterId::isis(router(to));
  n.metric = metric;
  n.protoInstance = proto;
  return n;
}

// An IS-IS router's key (protoIds 1 and 2), or an IPv4 router's (protoId 0).
AdjacencySegmentKey isisKey(std::uint32_t sid, unsigned r) {
  return {{sid, 0}, Mpls::RouterId::isis(router(r))};
}
AdjacencySegmentKey ipv4Key(std::uint32_t sid, unsigned r, bool local = false) {
  return {{sid, static_cast<std::uint8_t>(local ? 0x40 : 0)},
          Mpls::RouterId::ipv4(0x0A000000u + r)};
}

void adjacencySegmentIs(Status& table, Vantre::AddressFamily af, AdjacencySegmentKey const& key,
                        std::initializer_list<AdjacencySegmentNeighbor> records) {
  AdjacencySegment s(key);
  for (AdjacencySegmentNeighbor const& r : records)
    s.neighbors().push(r);
  af == Vantre::AddressFamily::ipv4 ? table.ipv4AdjacencySegmentIs(s)
                                    : table.ipv6AdjacencySegmentIs(s);
}

void step(std::string const& what) {
  std::cout << "\n-- " << what << "\n";
}

}  // namespace

void adjacencyJob(Vantre::AddressFamily af) {
  using Vantre::AddressFamily;
  auto table = Status::StatusIs();
  // Four routers: 1-2 over two parallel links, 2-3, 1-3 and 3-4. Routers 1
  // and 2 run two protocol instances; 1-3 carries two adjacency SIDs of
  // router 1's IPv4 instance, one of them local.
  for (AddressFamily f : {AddressFamily::ipv4, AddressFamily::ipv6}) {
    std::uint32_t const base = f == AddressFamily::ipv4 ? 24000 : 25000;
    adjacencySegmentIs(*table, f, isisKey(base + 1, 1),
                       {adjacency(1, 2, 1, 10, 1), adjacency(1, 2, 2, 10, 2)});
    adjacencySegmentIs(*table, f, isisKey(base + 2, 2), {adjacency(2, 3, 3, 20, 1)});
    adjacencySegmentIs(*table, f, ipv4Key(base + 3, 3), {adjacency(3, 4, 4, 30, 0)});
    adjacencySegmentIs(*table, f, ipv4Key(base + 4, 1), {adjacency(1, 3, 5, 15, 0)});
    adjacencySegmentIs(*table, f, ipv4Key(base + 5, 1, true), {adjacency(1, 3, 5, 15, 0)});
  }
  std::uint32_t const base = af == AddressFamily::ipv4 ? 24000 : 25000;
  auto connectors = SegmentRouting::Mappers::adjSegmentConnectorMapV2Factory();
  {
    ChangeLog log(std::cout);
    log.follow(*connectors, "connectors");
    step("adjacency mapper created (" + af.toString() + "): start-up build");
    auto mapper = SegmentRouting::Mappers::adjacencySegmentMapperV2Factory(af, table, connectors);

    step("SID " + std::to_string(base + 2) + " of router 2 moves from link 3 to links 6 and 7");
    adjacencySegmentIs(*table, af, isisKey(base + 2, 2),
                       {adjacency(2, 3, 6, 20, 1), adjacency(2, 3, 7, 25, 1)});

    step("SID " + std::to_string(base + 4) + " of router 1 removed");
    af == AddressFamily::ipv4 ? table->ipv4AdjacencySegmentDel(ipv4Key(base + 4, 1))
                              : table->ipv6AdjacencySegmentDel(ipv4Key(base + 4, 1));

    step("final connector map");
    std::cout << Pavo::Inspect::inspect(*connectors);

    step("adjacency mapper destroyed: the connector map is emptied");
    mapper.reset();
  }
  std::cout << "\n-- after the adjacency mapper\n" << Pavo::Inspect::inspect(*connectors);
}

}  // namespace Replay
