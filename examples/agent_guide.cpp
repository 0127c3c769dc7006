// The parts of docs/agent-guide.md that examples/consumer/main.cpp does not
// show: translating the flags an IGP agent receives into the table's, the
// protocol-instance rule for an OSPF agent, threads, and the exceptions.
// Each block is quoted in the guide (tests/tools/QuotedExamples.cmake checks
// that the guide still holds it) and runs here; exits 1 when one does not do
// what the guide says.
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Pavo/ThreadControl.h"

using namespace SegmentRouting::Mappers;
namespace Sr = Kroma::SegmentRouting;
using Mpls::RouterId;
using Mpls::SegmentRouting::SegmentIdentifier;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

namespace {

bool failed = false;

void expect(bool holds, char const* what) {
  std::printf("%s: %s\n", holds ? "ok" : "FAILED", what);
  failed = failed || !holds;
}

// The table's prefix flags from an IS-IS Prefix-SID's flags: N (0x40) asks
// to map the prefix to its originator; R (0x80), a prefix propagated from
// another level or redistributed, is not the advertiser's own. P, E, V and L
// are not carried: never copy the byte (E is 0x10, the table's do-not-map;
// L is 0x04, the table's map).
std::uint8_t tableFlagsOfIsisPrefixSid(std::uint8_t isis) {
  std::uint8_t flags = 0;
  if (isis & 0x40)  // N
    flags |= Sr::PrefixSegmentInfo::kFlagMapToOriginator;
  if (isis & 0x80)  // R
    flags |= Sr::PrefixSegmentInfo::kFlagDoNotMap;
  return flags;
}

// The same for OSPF, whose Prefix-SID has no N flag: `node` is the N flag of
// the OSPFv2 Extended Prefix TLV (0x40) or the N bit of the OSPFv3
// PrefixOptions (0x20). M (0x20 in the Prefix-SID flags) marks a SID a
// mapping server advertised for another router.
std::uint8_t tableFlagsOfOspfPrefixSid(bool node, std::uint8_t ospf) {
  std::uint8_t flags = node ? Sr::PrefixSegmentInfo::kFlagMapToOriginator : 0;
  if (ospf & 0x20)  // M
    flags |= Sr::PrefixSegmentInfo::kFlagDoNotMap;
  return flags;
}

// The flag byte of an Adj-SID's key: the mapper files the adjacency as local
// when it is non-zero. Set it from the L flag (IS-IS 0x10, OSPF 0x20), always
// to the same byte: it is part of the SID, so 24001/0x40 and 24001/0x10 are
// two SIDs.
std::uint8_t keyFlagOfAdjSid(bool localFlag) {
  return localFlag ? 0x40 : 0;
}

void flags() {
  auto status = Sr::Status::StatusIs();
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  auto mapper = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, status, out);
  RouterId const r1 = RouterId::parse("1921.6800.1001");
  IpGenPrefix const loopback("10.0.0.1/32");
  std::uint8_t const received = 0x50;  // N and E, as IS-IS sends them
  status->prefixSegmentIs(Sr::PrefixSegment(loopback, r1, received));
  expect(out->routerToNodeSegmentMap(0) == nullptr, "IS-IS flags copied as they came: not mapped");
  status->prefixSegmentIs(Sr::PrefixSegment(loopback, r1, tableFlagsOfIsisPrefixSid(received)));
  expect(out->routerToNodeSegmentMap(0)->prefixMap(r1)->prefixHas(loopback),
         "IS-IS flags translated: mapped");
  expect(tableFlagsOfOspfPrefixSid(true, 0x20) ==
             (Sr::PrefixSegmentInfo::kFlagMapToOriginator | Sr::PrefixSegmentInfo::kFlagDoNotMap),
         "OSPF mapping-server SID: not mapped");
  expect(keyFlagOfAdjSid(true) != 0 && keyFlagOfAdjSid(false) == 0, "Adj-SID L flag: local");
}

void ospfInstance() {
  auto status = Sr::Status::StatusIs();
  auto connectors = adjSegmentConnectorMapV2Factory();
  auto mapper = adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, connectors);
  // An OSPF router's adjacency: keyed by its IPv4 router id, so filed under
  // protocol instance 0, with records whose instance is 0.
  RouterId const r1 = RouterId::ipv4(0x0A00FF01);  // 10.0.255.1
  RouterId const r2 = RouterId::ipv4(0x0A00FF02);
  Sr::AdjacencyLink const link{Cspf::VertexIdentifierBase::fromIpv4RouterId(r1.rtrIdValue()),
                               Cspf::VertexIdentifierBase::fromIpv4RouterId(r2.rtrIdValue()),
                               7,
                               8,
                               IpGenPrefix("10.1.12.1/32"),
                               Sr::LinkKind::plain};
  status->ipv4AdjacencySegmentIs(Sr::AdjacencySegment(
      Sr::AdjacencySegmentKey(SegmentIdentifier(24100, keyFlagOfAdjSid(true)), r1),
      {Sr::AdjacencySegmentNeighbor(link, r2, 20, 0)}));
  expect(connectors->map(0) != nullptr && connectors->mapCount() == 1,
         "an IPv4 router id's key: instance 0 only");
}

void threads(Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& nodeSegments) {
  // On before a second thread holds counted pointers; counts are atomic
  // from then on. The maps themselves are not locked: the other thread reads
  // only while the agent's thread leaves them alone (here: it waits).
  Pavo::ThreadControl::tsp_ = true;
  std::size_t algorithms = 0;
  std::thread reader(
      [map = nodeSegments, &algorithms] { algorithms = map->routerToNodeSegmentMapCount(); });
  reader.join();
  expect(algorithms == 0 && nodeSegments->useCount() == 1, "a second thread held and released");
}

void exceptions() {
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  int refused = 0;
  try {
    auto mapper = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, nullptr, out);
  } catch (Pavo::NullPointerException const& e) {
    std::printf("refused: %s\n", e.msg().c_str());  // no mapper exists
    ++refused;
  }
  try {
    Subscription<RouterToNodeSegmentMap, RouterId, Pavo::Ptr<RouterToNodeSegment>> routers(
        out->routerToNodeSegmentMap(0), RouterToNodeSegmentMap::kPrefixMapField,
        [](RouterId const&, Pavo::Ptr<RouterToNodeSegment> const*) {});
  } catch (Pavo::Exception const& e) {
    std::printf("refused: %s\n", e.msg().c_str());  // "Subscription to a null entity"
    ++refused;
  }
  try {
    Sr::PrefixSegmentInfo info(RouterId::parse("1921.6800.1001"), 0);
    for (int i = 0; i <= 100; ++i)
      info.records().push(Sr::PrefixSegmentRecord::of({16000u + i, 0}));
  } catch (Pavo::RangeException const& e) {
    std::printf("refused: %s\n", e.msg().c_str());  // more than 100 records
    ++refused;
  }
  expect(refused == 3 && out->routerToNodeSegmentMapCount() == 0, "each refused, nothing changed");
}

}  // namespace

int main() {
  flags();
  ospfInstance();
  threads(routerToNodeSegmentMapPerAlgoFactory());
  exceptions();
  return failed ? 1 : 0;
}
