// Hot paths allocate nothing: look-ups in both collections, value equality
// and hashing, publication to a subscription, status-table notifications that
// change nothing in the reverse mapper's output, replacing a table entry in
// place (moving its prefix to another router that already exists), and trace
// records of every argument kind with the levels off.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "Cspf/VertexIdentifier.h"
#include "Duolog/Duolog.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pathkit/NodeSegmentReverseMapper/Segments.h"
#include "Pathkit/Subscription.h"
#include "Pavo/Publisher.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Counting replacements of the global allocation functions.
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size != 0 ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace SegmentRouting::Mappers;
using namespace NodeSegTest;
using Kroma::SegmentRouting::PrefixSegment;

Vantre::IpGenPrefix prefix(unsigned i) {
  return hostPrefix(Vantre::AddressFamily::ipv4, i);
}

// Runs `fn` and answers how many allocations it made.
template <class F>
long allocationsOf(F&& fn) {
  long const before = allocations.load();
  fn();
  return allocations.load() - before;
}

TEST(HotPathAllocationTest, LookUpsEqualityHashingAndPublicationAllocateNothing) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  auto algoMap = root->routerToNodeSegmentMapIs(0);
  auto entry = algoMap->prefixMapIs(router(1));
  for (unsigned i = 0; i < 100; ++i)
    entry->prefixIs(prefix(i), true);
  int calls = 0;
  Subscription<RouterToNodeSegment, Vantre::IpGenPrefix, bool> const counter(
      entry, RouterToNodeSegment::kPrefixField,
      [&calls](Vantre::IpGenPrefix const&, bool const*) { ++calls; });

  long const made = allocationsOf([&] {
    for (unsigned i = 0; i < 200; ++i) {
      (void)entry->prefixHas(prefix(i));        // tree look-up, hit and miss
      (void)algoMap->prefixMap(router(i % 3));  // hash look-up, hit and miss
      (void)root->routerToNodeSegmentMap(static_cast<unsigned char>(i));
      (void)prefix(i).hash(7);
      Mpls::RouterId const a = router(1), b = router(i);
      (void)Mpls::RouterId::isEq(&a, &b);
    }
    entry->prefixIs(prefix(5), false);  // value replaced in place, published
    entry->prefixIs(prefix(5), true);
  });
  EXPECT_EQ(made, 0);
  EXPECT_EQ(calls, 2);
}

void vertexText(std::string& out, Cspf::VertexIdentifierBase const& v) {
  out += v.stringValue();
}

TEST(HotPathAllocationTest, TraceRecordsAllocateNothingWithTheLevelsOff) {
  Vek::TraceHandle const handle("HotPathAllocationTest", false);
  Cspf::VertexIdentifierBase const vertex = Cspf::VertexIdentifierBase::fromIpv4RouterId(1);
  std::string const text(20, 't');  // longer than an inline copy
  long const made = allocationsOf([&] {
    for (unsigned i = 0; i < 2000; ++i) {  // the ring wraps
      Nimblog::BlockTimer const timer = Duolog::entry(handle, 8, __FILE__, __LINE__, __func__,
                                                      "entry %s", Vantre::AddressFamily::ipv6);
      Duolog::log(handle, 9, __FILE__, __LINE__, __func__, "%s %u %s %d", text, i,
                  Nimblog::typed<&vertexText>(vertex), -1);
    }
  });
  EXPECT_EQ(made, 0);
  std::vector<Nimblog::Record> const ring = Nimblog::records();
  EXPECT_EQ(ring[ring.size() - 2].formatted(), text + " 1999 0.0.0.1 -1");
}

// A re-written equal entry published again, then entries replaced in place.
TEST(HotPathAllocationTest, TableNotificationsThatFitInPlaceAllocateNothing) {
  auto status = Kroma::SegmentRouting::Status::StatusIs();
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  auto mapper = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status, out);
  auto segment = [](unsigned i, unsigned r, unsigned records) {
    return PrefixSegment(prefix(i), info(router(r), kMap, records));
  };
  std::vector<PrefixSegment> moves;
  for (unsigned i = 0; i < 20; ++i) {
    status->prefixSegmentIs(segment(i, i % 2, 3));  // routers 0 and 1 keep prefixes throughout
    moves.push_back(segment(i, 1 - i % 2, 2));      // fewer records: fits in place
  }
  status->prefixSegmentIs(segment(100, 0, 1));
  status->prefixSegmentIs(segment(101, 1, 1));
  Kroma::SegmentRouting::Status const& table = *status;
  long const made = allocationsOf([&] {
    for (unsigned i = 0; i < 20; ++i) {
      Vantre::IpGenPrefix const key = prefix(i);
      table.publisher()->publishChangeRecursive(Kroma::SegmentRouting::Status::kPrefixSegment, &key,
                                                nullptr, &Vantre::IpGenPrefixBase::isEq);
    }
    for (PrefixSegment const& m : moves)
      status->prefixSegmentIs(m);  // table write, notification, mapper move
  });
  EXPECT_EQ(made, 0);
  EXPECT_EQ(out->routerToNodeSegmentMap(0)->prefixMapCount(), 2u);
  EXPECT_EQ(out->routerToNodeSegmentMap(0)->prefixMap(router(0))->prefixCount(), 11u);
  EXPECT_EQ(status->prefixSegment().lookup(prefix(3)).info().records().count(), 2u);
}

}  // namespace
