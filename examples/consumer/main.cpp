// The agent of docs/agent-guide.md, whole: it creates the status table, both
// output maps and both mappers, watches the maps (algorithm 0's before it
// exists), writes prefix and adjacency segments as an IS-IS agent would,
// reads the maps, removes segments and tears everything down in order. It is
// built against the installed package (CMake and pkg-config) and in the tree.
// Exits 1 when what it saw is not what the writes mean.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"

using namespace SegmentRouting::Mappers;
namespace Sr = Kroma::SegmentRouting;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Mpls::SegmentRouting::SegmentIdentifier;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

int main() {
  std::vector<std::string> seen;
  auto note = [&seen](std::string line) {
    std::printf("%s\n", line.c_str());
    seen.push_back(std::move(line));
  };

  // The table, the outputs and the mappers: empty table, empty maps.
  auto status = Sr::Status::StatusIs();
  auto nodeSegments = routerToNodeSegmentMapPerAlgoFactory();
  auto connectors = adjSegmentConnectorMapV2Factory();
  auto nodeMapper = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, status, nodeSegments);
  auto adjMapper = adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, connectors);

  // Algorithm 0's routers, and the links of protocol instance 1: neither map
  // exists yet; each subscription attaches when its map appears.
  ChildSubscription<&RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap, RouterId,
                    Pavo::Ptr<RouterToNodeSegment>>
      routers(
          nodeSegments, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField, 0,
          RouterToNodeSegmentMap::kPrefixMapField,
          [&](RouterId const& router, Pavo::Ptr<RouterToNodeSegment> const* removed) {
            note("algo 0: router " + router.toString() + (removed ? " gone" : " appeared"));
          },
          [&](RouterToNodeSegmentMap* map) {
            note(map ? "algo 0: map appeared" : "algo 0: map gone");
          });
  ChildSubscription<&AdjSegmentConnectorMapV2::map, Cspf::LinkKey, AdjSegmentList> links(
      connectors, AdjSegmentConnectorMapV2::kMapField, 1, AdjSegmentListPerProtoId::kTableField,
      [&](Cspf::LinkKey const& link, AdjSegmentList const*) {
        AdjSegmentList const* now = links.child()->adjSegmentListFind(link);
        note("instance 1: link " + std::to_string(link.linkId()) + ": " +
             (now ? std::to_string(now->adjSegmentEntryCount()) + " SIDs" : "gone"));
      });

  // Prefix segments: node SIDs of routers 1 and 2 (algorithm 0), router 1's
  // in flexible algorithm 128, and a prefix SID that is no node SID.
  RouterId const r1 = RouterId::parse("1921.6800.1001");  // IS-IS system ids
  RouterId const r2 = RouterId::parse("1921.6800.1002");
  std::uint8_t const node = Sr::PrefixSegmentInfo::kFlagMapToOriginator;
  status->prefixSegmentIs(Sr::PrefixSegment(IpGenPrefix("10.0.0.1/32"), r1, node,
                                            {Sr::PrefixSegmentRecord::of({16001, 0})}));
  status->prefixSegmentIs(Sr::PrefixSegment(IpGenPrefix("10.0.0.2/32"), r2, node,
                                            {Sr::PrefixSegmentRecord::of({16002, 0})}));
  status->prefixSegmentWithAlgoIs(
      Sr::PrefixSegmentWithAlgo(PrefixAlgoKey(IpGenPrefix("10.0.0.1/32"), 128), r1, node,
                                {Sr::PrefixSegmentRecord::of({18001, 0}, 128)}));
  status->prefixSegmentIs(Sr::PrefixSegment(IpGenPrefix("10.9.9.9/32"), r1, 0,
                                            {Sr::PrefixSegmentRecord::of({16999, 0})}));

  // Adjacency segments: router 1's Adj-SID 24001 on its link 1 to router 2,
  // known to IS-IS instances 1 and 2, and a second, local, one in instance 1.
  Sr::AdjacencyLink const link1{Cspf::VertexIdentifierBase(r1.isisSystemId()),
                                Cspf::VertexIdentifierBase(r2.isisSystemId()),
                                1,
                                1,
                                IpGenPrefix("10.0.12.1/32"),
                                Sr::LinkKind::remoteBySystemId};
  Sr::AdjacencySegmentKey const adj24001(SegmentIdentifier(24001, 0), r1);
  Sr::AdjacencySegmentKey const adj24003(SegmentIdentifier(24003, 0x40), r1);
  status->ipv4AdjacencySegmentIs(
      Sr::AdjacencySegment(adj24001, {Sr::AdjacencySegmentNeighbor(link1, r2, 10, 1),
                                      Sr::AdjacencySegmentNeighbor(link1, r2, 10, 2)}));
  status->ipv4AdjacencySegmentIs(
      Sr::AdjacencySegment(adj24003, {Sr::AdjacencySegmentNeighbor(link1, r2, 10, 1)}));

  // Reading the maps: router 1's prefixes in algorithm 0, and the SIDs the
  // connector map files on link 1 in instance 1.
  // Look-ups hand out counted pointers and copies: hold them while iterating.
  Pavo::Ptr<RouterToNodeSegment> const router1 =
      nodeSegments->routerToNodeSegmentMap(0)->prefixMap(r1);
  std::string prefixes;
  for (auto const& p : router1->prefixCollection())
    prefixes += ' ' + p.key().toString();
  note("router 1, algo 0:" + prefixes);
  Cspf::LinkKey const linkKey = linkKeyOf(Sr::AdjacencySegmentNeighbor(link1, r2, 10, 1));
  AdjSegmentList const onLink1 = connectors->map(1)->adjSegmentList(linkKey);
  std::string sids;
  for (auto const& e : onLink1.adjSegmentEntryCollection())
    sids += ' ' + e.key().sid().toString() + (e.key().isLocal() ? " (local)" : "");
  note("link 1, instance 1:" + sids);

  // Removing: router 2's node SID, then both adjacency segments.
  status->prefixSegmentDel(IpGenPrefix("10.0.0.2/32"));
  status->ipv4AdjacencySegmentDel(adj24001);
  status->ipv4AdjacencySegmentDel(adj24003);

  // Tear-down: the mappers first (each empties its map, every removal
  // published), the subscriptions, then the maps and the table.
  adjMapper = nullptr;
  nodeMapper = nullptr;
  links.reset();
  routers.reset();
  connectors = nullptr;
  nodeSegments = nullptr;
  status = nullptr;

  std::vector<std::string> const expected{"algo 0: map appeared",
                                          "algo 0: router 1921.6800.1001 appeared",
                                          "algo 0: router 1921.6800.1002 appeared",
                                          "instance 1: link 1: 1 SIDs",
                                          "instance 1: link 1: 2 SIDs",
                                          "router 1, algo 0: 10.0.0.1/32",
                                          "link 1, instance 1: 24001 24003/0x40 (local)",
                                          "algo 0: router 1921.6800.1002 gone",
                                          "instance 1: link 1: 1 SIDs",
                                          "instance 1: link 1: gone",
                                          "algo 0: map gone"};
  return seen == expected ? 0 : 1;
}
