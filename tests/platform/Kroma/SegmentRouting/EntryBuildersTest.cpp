// The typed builders and readers of adjacency entries, checked against the
// entries' text readers: an entry built from typed parts must be the entry
// that the text naming the same parts reads back to, and reading the parts
// back must give them again. (The prefix builders run in the examples, whose
// agents check what the mappers make of them.)
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>

#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Vek/CharRange.h"

namespace {

using namespace Kroma::SegmentRouting;
using Cspf::VertexIdentifierBase;
using Mpls::RouterId;
using Mpls::SegmentRouting::SegmentIdentifier;
using Vantre::IpGenPrefix;

// Random typed parts of one neighbour record, and the text that names them.
struct RandomRecord {
  AdjacencyLink link;
  RouterId neighbor;
  std::uint32_t metric;
  std::uint8_t proto;
  std::string text;
};

RandomRecord randomRecord(std::mt19937& rng) {
  auto pick = [&](std::uint32_t n) {
    return std::uniform_int_distribution<std::uint32_t>(0, n)(rng);
  };
  auto systemId = [&] {
    return Routing::Isis::SystemId({0x19, 0x21, 0x68, 0x00, static_cast<std::uint8_t>(pick(255)),
                                    static_cast<std::uint8_t>(pick(255))});
  };
  RandomRecord r;
  r.link.local = VertexIdentifierBase(systemId());
  r.link.remote = pick(1)
                      ? VertexIdentifierBase(systemId(), static_cast<std::uint8_t>(1 + pick(254)))
                      : VertexIdentifierBase::fromIpv4RouterId(pick(0xFFFFFFFFu));
  r.link.localInterfaceId = pick(0xFFFFFFFFu);
  r.link.remoteInterfaceId = pick(0xFFFFFFFFu);
  r.link.kind = pick(1) ? LinkKind::remoteBySystemId : LinkKind::plain;
  std::string address = "0.0.0.0";
  switch (pick(2)) {
    case 0:  // no address
      break;
    case 1:
      r.link.localAddress = IpGenPrefix::ipv4(0x0A000000u | (1 + pick(0xFFFFFEu)), 32);
      break;
    default: {
      // One byte past the first four set: any of them makes it IPv6.
      std::array<std::uint8_t, 16> a{0x20, 0x01, 0x0d, 0xb8};
      a[4 + pick(11)] = static_cast<std::uint8_t>(1 + pick(254));
      r.link.localAddress = IpGenPrefix::ipv6(a, 128);
    }
  }
  if (!(r.link.localAddress == IpGenPrefix())) {
    address = r.link.localAddress.toString();
    address.erase(address.find('/'));
  }
  r.neighbor = pick(1) ? RouterId::isis(systemId()) : RouterId::ipv4(pick(0xFFFFFFFFu));
  r.metric = pick(0xFFFFFFFFu);
  r.proto = static_cast<std::uint8_t>(pick(255));
  r.text = r.link.local.toString() + " -> " + r.link.remote.toString() + " kind " +
           std::to_string(static_cast<std::uint32_t>(r.link.kind)) + " link " +
           std::to_string(r.link.localInterfaceId) + "/" +
           std::to_string(r.link.remoteInterfaceId) + " local " + address + " neighbor " +
           r.neighbor.toString() + " metric " + std::to_string(r.metric) + " proto " +
           std::to_string(r.proto);
  return r;
}

template <class T>
T readAll(std::string const& text) {
  Vek::CharRange range(text);
  T value = T::read(range);
  EXPECT_TRUE(range.atEnd()) << text;
  return value;
}

TEST(EntryBuildersTest, TypedAdjacencyEntriesAreWhatTheirTextReadsBackTo) {
  std::mt19937 rng(20);
  for (int round = 0; round < 200; ++round) {
    RandomRecord const a = randomRecord(rng);
    RandomRecord const b = randomRecord(rng);
    AdjacencySegmentNeighbor const record(a.link, a.neighbor, a.metric, a.proto);
    SCOPED_TRACE(a.text);
    EXPECT_EQ(record, readAll<AdjacencySegmentNeighbor>(a.text));
    EXPECT_EQ(record.linkParts(), a.link);
    EXPECT_EQ(record.neighbor, a.neighbor);
    EXPECT_EQ(record.metric, a.metric);
    EXPECT_EQ(record.protoInstance, a.proto);

    AdjacencySegmentKey const key(SegmentIdentifier(24000 + round, round % 2 ? 0x40 : 0),
                                  b.neighbor);
    AdjacencySegment const entry(
        key, {record, AdjacencySegmentNeighbor(b.link, b.neighbor, b.metric, b.proto)}, 7);
    EXPECT_EQ(entry, readAll<AdjacencySegment>(key.toString() + " flags 7 neighbors [" + a.text +
                                               "; " + b.text + "]"));
  }
}

}  // namespace
