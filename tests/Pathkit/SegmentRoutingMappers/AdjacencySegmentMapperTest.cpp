// The adjacency segment mapper's assertions on a connector map changed behind
// its back, which the model test cannot reach. (Corrupt reads, the trace texts
// and what a clean-up publishes are the example scenarios'; an entry over its
// bound is StatusReactorTest's.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "AdjSegments.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"

namespace {

using namespace AdjSegTest;
using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::Status;
using Vantre::AddressFamily;

Mpls::RouterId const kNeighbor = Mpls::RouterId::isis(systemId(9));

// A table with key 16001 of router 0 on links 0 (kind 2) and 1 (kind 1),
// and an IPv4 mapper over it.
struct Filed {
  Filed() {
    AdjacencySegment s(kKey);
    s.neighbors().push(record(0, kNeighbor, 10, 0));
    s.neighbors().push(record(1, kNeighbor, 20, 0));
    status->ipv4AdjacencySegmentIs(s);
    mapper = adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, connectors);
  }
  AdjacencySegmentKey const kKey = key(16001, 0, true);
  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<AdjSegmentConnectorMapV2> connectors = adjSegmentConnectorMapV2Factory();
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper;
};

TEST(AdjacencySegmentMapperDeathTest, ABrokenInvariantStopsTheProcessNamingIt) {
  std::string const where =
      " \\[source Pathkit/SegmentRoutingMappers\\] in void "
      "SegmentRouting::Mappers::AdjacencySegmentMapperV2::manageAdjSegment\\(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&, const "
      "Kroma::SegmentRouting::AdjacencySegment&, U16\\)";
  std::vector<std::pair<std::function<void(Filed&)>, std::string>> const cases{
      {[](Filed& f) { f.mapper->adjSegmentEntryCacheDel(0); },
       "adjSegmentEntryCacheHas\\( protoId \\)"},
      {[](Filed& f) { f.mapper->adjSegmentEntryCache(0)->adjSegmentSetDel(f.kKey); },
       "adjSegmentEntryCache\\( protoId \\)->adjSegmentSetHas\\( key \\)"},
      {[](Filed& f) { f.connectors->mapDel(0); }, "connectorMap\\(\\)->mapHas\\( protoId \\)"},
      {[](Filed& f) {
         f.connectors->map(0)->adjSegmentListDel(linkKeyOf(record(1, kNeighbor, 0, 0)));
       },
       "connectorMap\\(\\)->map\\( protoId \\)->adjSegmentListHas\\( linkKey \\)"},
  };
  for (auto const& [breakIt, text] : cases) {
    Filed f;
    breakIt(f);
    EXPECT_DEATH(f.status->ipv4AdjacencySegmentDel(f.kKey), "assertion failed: " + text + where);
  }
}

}  // namespace
