// replay: runs the mappers over a status table and shows their work. The
// node job plays a small IS-IS network with IPv4 and IPv6 loopbacks, plain
// and flexible-algorithm node segments: it builds the node-segment mapper,
// applies a few changes (a new prefix, an originator move, a removal, a flag
// flip). The adjacency job (AdjacencyJob.h) builds the adjacency segment
// mapper over a small topology, replaces one segment's links and removes
// another. Each prints every notification as it is published and the final
// map, written by the generic inspector. With no --job both jobs run.
//
//   replay [--job node|adjacency] [--af ipv4|ipv6]
#include <cstring>
#include <iostream>
#include <string>

#include "AdjacencyJob.h"
#include "ChangeLog.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pavo/Inspector.h"
#include "Vek/AllocTrack.h"

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;

constexpr std::uint8_t kNode = PrefixSegmentInfo::kFlagMapToOriginator;
constexpr std::uint8_t kNoMap = PrefixSegmentInfo::kFlagDoNotMap;

Mpls::RouterId router(char const* text) {
  return Mpls::RouterId::parse(text);
}

PrefixSegmentInfo info(char const* originator, std::uint8_t flags, std::uint32_t sid) {
  PrefixSegmentInfo i(router(originator), flags);
  Kroma::SegmentRouting::PrefixSegmentRecord record;
  record.sidValue = sid;
  i.records().push(record);
  return i;
}

void prefixSegment(Kroma::SegmentRouting::Status& table, char const* prefix, char const* originator,
                   std::uint8_t flags, std::uint32_t sid) {
  table.prefixSegmentIs(PrefixSegment(Vantre::IpGenPrefix(prefix), info(originator, flags, sid)));
}

void flexAlgoSegment(Kroma::SegmentRouting::Status& table, char const* prefix, std::uint8_t algo,
                     char const* originator, std::uint8_t flags, std::uint32_t sid) {
  PrefixAlgoKey const key(Vantre::IpGenPrefix(prefix), algo);
  table.prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(key, info(originator, flags, sid)));
}

// Four routers, each with an IPv4 and an IPv6 loopback node segment, two of
// them in flexible algorithm 128, and an anycast prefix that is no node
// segment.
void builtInNetwork(Kroma::SegmentRouting::Status& table) {
  prefixSegment(table, "10.0.0.1/32", "1921.6800.1001", kNode, 16001);
  prefixSegment(table, "10.0.0.2/32", "1921.6800.1002", kNode, 16002);
  prefixSegment(table, "10.0.0.3/32", "1921.6800.1003", kNode, 16003);
  prefixSegment(table, "10.0.0.4/32", "1921.6800.1004", kNode, 16004);
  prefixSegment(table, "2001:db8::1/128", "1921.6800.1001", kNode, 17001);
  prefixSegment(table, "2001:db8::2/128", "1921.6800.1002", kNode, 17002);
  prefixSegment(table, "10.9.9.9/32", "1921.6800.1003", 0, 16999);
  flexAlgoSegment(table, "10.0.0.1/32", 128, "1921.6800.1001", kNode, 18001);
  flexAlgoSegment(table, "10.0.0.2/32", 128, "1921.6800.1002", kNode, 18002);
}

void step(std::string const& what) {
  std::cout << "\n-- " << what << "\n";
}

void nodeJob(Vantre::AddressFamily af) {
  auto table = Kroma::SegmentRouting::Status::StatusIs();
  builtInNetwork(*table);
  auto map = SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory();
  {
    Replay::ChangeLog log(std::cout);
    log.follow(*map, "map");
    step("mapper created (" + af.toString() + "): start-up build");
    auto mapper = SegmentRouting::Mappers::nodeSegmentReverseMapperFactory(af, table, map);

    step("new prefixes 10.0.0.5/32 and 2001:db8::5/128 from 1921.6800.1004");
    prefixSegment(*table, "10.0.0.5/32", "1921.6800.1004", kNode, 16005);
    prefixSegment(*table, "2001:db8::5/128", "1921.6800.1004", kNode, 17005);

    step("10.0.0.3/32 and 2001:db8::2/128 move to 1921.6800.1002");
    prefixSegment(*table, "10.0.0.3/32", "1921.6800.1002", kNode, 16003);
    prefixSegment(*table, "2001:db8::2/128", "1921.6800.1001", kNode, 17002);

    step("10.0.0.2/32 leaves flexible algorithm 128");
    table->prefixSegmentWithAlgoDel(PrefixAlgoKey(Vantre::IpGenPrefix("10.0.0.2/32"), 128));

    step("10.0.0.4/32 marked do-not-map");
    prefixSegment(*table, "10.0.0.4/32", "1921.6800.1004", kNode | kNoMap, 16004);

    step("final map");
    std::cout << Pavo::Inspect::inspect(*map);

    step("mapper destroyed: the map is emptied");
    mapper.reset();
  }
  std::cout << "\n-- after the mapper\n" << Pavo::Inspect::inspect(*map);
}

}  // namespace

int main(int argc, char** argv) {
  Vantre::AddressFamily af = Vantre::AddressFamily::ipv4;
  std::string job = "both";
  for (int i = 1; i < argc; i += 2) {
    std::string const v = i + 1 < argc ? argv[i + 1] : "";
    if (std::strcmp(argv[i], "--af") == 0 && (v == "ipv4" || v == "ipv6")) {
      af = v == "ipv4" ? Vantre::AddressFamily::ipv4 : Vantre::AddressFamily::ipv6;
    } else if (std::strcmp(argv[i], "--job") == 0 && (v == "node" || v == "adjacency")) {
      job = v;
    } else {
      std::cerr << "usage: replay [--job node|adjacency] [--af ipv4|ipv6]\n";
      return 2;
    }
  }
  try {
    if (job != "adjacency")
      nodeJob(af);
    if (job != "node")
      Replay::adjacencyJob(af);
  } catch (Pavo::Exception const& e) {
    std::cerr << "replay: " << e.msg() << "\n";
    return 1;
  }
  std::cout << "\nlive tracked objects: " << Vek::AllocTrackTypeInfo::liveObjectsAll() << "\n";
  return 0;
}
