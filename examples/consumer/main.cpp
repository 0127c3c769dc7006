// An agent that follows which routers originate IPv4 node segments: it builds
// the reverse map over a status table, watches algorithm 0's routers and one
// router's prefixes, and prints each change as the protocols' updates arrive.
// Exits 1 when what it saw is not what the updates mean.
#include <cstdio>
#include <string>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"

using namespace SegmentRouting::Mappers;
namespace Sr = Kroma::SegmentRouting;

namespace {

// Host prefix 10.0.0.<i>/32.
Vantre::IpGenPrefix prefix(unsigned i) {
  return Vantre::IpGenPrefix::ipv4(0x0A000000u + i, 32);
}

// A prefix segment as a routing protocol publishes it, asking to be mapped to
// its originator.
Sr::PrefixSegment segment(unsigned i, Mpls::RouterId const& originator) {
  return {prefix(i),
          Sr::PrefixSegmentInfo(originator, Sr::PrefixSegmentInfo::kFlagMapToOriginator)};
}

}  // namespace

int main() {
  auto const r1 = Mpls::RouterId::ipv4(0xC0000201u);
  auto const r2 = Mpls::RouterId::ipv4(0xC0000202u);
  auto status = Sr::Status::StatusIs();
  status->prefixSegmentIs(segment(1, r1));

  std::vector<std::string> seen;
  auto note = [&seen](std::string line) {
    std::printf("%s\n", line.c_str());
    seen.push_back(std::move(line));
  };

  auto out = routerToNodeSegmentMapPerAlgoFactory();
  auto mapper = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status, out);
  Subscription<RouterToNodeSegmentMap, Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>> routers(
      out->routerToNodeSegmentMap(0), RouterToNodeSegmentMap::kPrefixMapField,
      [&](Mpls::RouterId const& router, Pavo::Ptr<RouterToNodeSegment> const* removed) {
        note("router " + router.toString() + (removed ? " withdrawn" : " appeared"));
      });
  Subscription<RouterToNodeSegment, Vantre::IpGenPrefix, bool> r1Prefixes(
      out->routerToNodeSegmentMap(0)->prefixMap(r1), RouterToNodeSegment::kPrefixField,
      [&](Vantre::IpGenPrefix const& p, bool const* prior) {
        note("  " + r1.toString() + (prior ? " lost " : " gained ") + p.toString());
      },
      [&] { note("  " + r1.toString() + " entry gone"); });

  status->prefixSegmentIs(segment(2, r1));
  status->prefixSegmentIs(segment(3, r2));
  status->prefixSegmentIs(segment(1, r2));  // prefix 1 moves to r2
  status->prefixSegmentDel(prefix(2));      // r1's last one

  std::printf("algorithm 0:\n");
  for (auto const& router : out->routerToNodeSegmentMap(0)->prefixMapCollection()) {
    std::printf("  %s:", router.key().toString().c_str());
    for (auto const& p : router.value()->prefixCollection())
      std::printf(" %s", p.key().toString().c_str());
    std::printf("\n");
  }

  std::vector<std::string> const expected{
      "  192.0.2.1:0 gained 10.0.0.2/32", "router 192.0.2.2:0 appeared",
      "  192.0.2.1:0 lost 10.0.0.1/32",   "  192.0.2.1:0 lost 10.0.0.2/32",
      "router 192.0.2.1:0 withdrawn",     "  192.0.2.1:0 entry gone"};
  return seen == expected && !r1Prefixes.active() ? 0 : 1;
}
