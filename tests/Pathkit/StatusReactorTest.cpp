// What both mappers share as status-table reactors, checked on each.
// A start-up build that throws (an entry over its record bound) leaves no
// half-built output: at construction no mapper exists and the output is as if
// none had; on a running mapper the output and the private cache are both
// emptied and the mapper goes on with later changes. A missing table or
// output is refused before anything is subscribed. Made through the generic
// interface over a former user's output, a mapper starts from a clean output;
// its values, cache and operations are reached by field id; the flags around
// subscription are kept apart.
#include <gtest/gtest.h>

#include <cstddef>

#include "NodeSegmentReverseMapper/Segments.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "SegmentRoutingMappers/AdjSegments.h"
#include "VekPavo/GenericIf.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::Status;
using Vantre::AddressFamily;
namespace GenericIf = Vek::GenericIf;

// Entry i of the table (1..3) for each mapper, its count over the bound
// (only entry 2 is spoilt), its removal through the generic update (field
// 134), a former user's member of the output, and how much of the output and
// the cache it fills.
struct NodeSide {
  using Mapper = NodeSegmentReverseMapper;
  using Output = RouterToNodeSegmentMapPerAlgo;
  static constexpr char const* kOutputName = "routerToNodeSegmentMapPerAlgo";
  static constexpr char const* kTypeName = "SegmentRouting::Mappers::NodeSegmentReverseMapper";
  static Pavo::Ptr<Output> output() { return routerToNodeSegmentMapPerAlgoFactory(); }
  static Pavo::Ptr<Mapper> start(Pavo::Ptr<Status> const& s, Pavo::Ptr<Output> const& out) {
    return nodeSegmentReverseMapperFactory(AddressFamily::ipv4, s, out);
  }
  static Vantre::IpGenPrefix key(unsigned i) {
    return NodeSegTest::hostPrefix(AddressFamily::ipv4, i);
  }
  // Entry 2 is of the per-algorithm collection (walked after the others).
  static Mpls::SegmentRouting::PrefixAlgoKey algoKey(unsigned i) { return {key(i), 128}; }
  static void put(Status& s, unsigned i) {
    auto const info = NodeSegTest::info(NodeSegTest::router(1), NodeSegTest::kMap);
    i == 2 ? s.prefixSegmentWithAlgoIs({algoKey(i), info}) : s.prefixSegmentIs({key(i), info});
  }
  static void del(Status& s, unsigned i) {
    i == 2 ? s.prefixSegmentWithAlgoDel(algoKey(i)) : s.prefixSegmentDel(key(i));
  }
  static void spoil(Status& s, unsigned i) {
    s.prefixSegmentWithAlgoRecordCountIsUnchecked(algoKey(i), 101);
  }
  static void update(Vek::GenericValue& g, unsigned i) {
    GenericIf::invoke(g, 134,
                      {Mpls::SegmentRouting::PrefixAlgoKey(key(i), 0),
                       Kroma::SegmentRouting::PrefixSegmentWithAlgo()});
  }
  static void litter(Output& out) {
    out.routerToNodeSegmentMapIs(7)->prefixMapIs(NodeSegTest::router(2))->prefixIs(key(1), true);
  }
  static std::size_t filed(Output const& out) {
    std::size_t n = 0;
    for (auto a = out.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
      for (auto r = a->value()->prefixMapCollection().begin(); !r.atEnd(); ++r)
        n += r->value()->prefixCount();
    }
    return n;
  }
  static std::size_t cached(Mapper const& m) { return m.prefixToOriginatorCacheCount(); }
};

struct AdjacencySide {
  using Mapper = AdjacencySegmentMapperV2;
  using Output = AdjSegmentConnectorMapV2;
  static constexpr char const* kOutputName = "connectorMap";
  static constexpr char const* kTypeName = "SegmentRouting::Mappers::AdjacencySegmentMapperV2";
  static Pavo::Ptr<Output> output() { return adjSegmentConnectorMapV2Factory(); }
  static Pavo::Ptr<Mapper> start(Pavo::Ptr<Status> const& s, Pavo::Ptr<Output> const& out) {
    return adjacencySegmentMapperV2Factory(AddressFamily::ipv4, s, out);
  }
  static Kroma::SegmentRouting::AdjacencySegmentKey key(unsigned i) {
    return AdjSegTest::key(16000 + i, 0);
  }
  static void put(Status& s, unsigned i) {
    Kroma::SegmentRouting::AdjacencySegment segment(key(i));
    segment.neighbors().push(AdjSegTest::record(i, Mpls::RouterId::ipv4(0xC0000263u), 10, 0));
    s.ipv4AdjacencySegmentIs(segment);
  }
  static void del(Status& s, unsigned i) { s.ipv4AdjacencySegmentDel(key(i)); }
  static void spoil(Status& s, unsigned i) {
    s.ipv4AdjacencySegmentRecordCountIsUnchecked(key(i), 513);
  }
  static void update(Vek::GenericValue& g, unsigned i) {
    GenericIf::invoke(
        g, 134,
        {key(i), Kroma::SegmentRouting::AdjacencySegment(key(i)), static_cast<unsigned short>(0)});
  }
  static void litter(Output& out) {
    auto const lists = adjSegmentListPerProtoIdFactory(7);
    lists->adjSegmentListIs(linkKeyOf(AdjSegTest::record(9, Mpls::RouterId::ipv4(1), 10, 7)),
                            AdjSegmentList());
    out.mapIs(lists);
  }
  static std::size_t filed(Output const& out) {
    std::size_t n = 0;
    for (auto m = out.mapCollection().begin(); !m.atEnd(); ++m)
      n += m->value()->adjSegmentListCount();
    return n;
  }
  static std::size_t cached(Mapper const& m) { return m.adjSegmentEntryCacheCount(); }
};

template <class Side>
class StatusReactorTest : public ::testing::Test {};
using Sides = ::testing::Types<NodeSide, AdjacencySide>;
TYPED_TEST_SUITE(StatusReactorTest, Sides);

TYPED_TEST(StatusReactorTest, AFailedStartUpLeavesNothingHalfBuilt) {
  using Side = TypeParam;
  TestSupport::TrackerGuard const guard;
  auto status = Status::StatusIs();
  auto out = Side::output();
  for (unsigned i = 1; i <= 3; ++i)
    Side::put(*status, i);

  // A running mapper: the bad entry raises in its notification and changes
  // nothing; a rebuild over it raises and empties the output and the cache.
  auto mapper = Side::start(status, out);
  ASSERT_EQ(Side::filed(*out), 3u);
  EXPECT_THROW(Side::spoil(*status, 2), Pavo::RangeException);
  EXPECT_EQ(Side::filed(*out), 3u);
  EXPECT_THROW(mapper->handleInitialized(), Pavo::RangeException);
  EXPECT_EQ(Side::filed(*out), 0u);
  EXPECT_EQ(Side::cached(*mapper), 0u);
  // Still subscribed: a later change is mapped, and a clean rebuild maps all.
  Side::del(*status, 3);
  Side::put(*status, 3);
  EXPECT_EQ(Side::filed(*out), 1u);
  EXPECT_EQ(Side::cached(*mapper), 1u);
  Side::del(*status, 2);
  mapper->handleInitialized();
  EXPECT_EQ(Side::filed(*out), 2u);
  mapper.reset();

  // At construction: the entries before the bad one were filed and are taken
  // out again; the exception leaves the factory and no subscriber stays.
  Side::put(*status, 2);
  EXPECT_NO_THROW(Side::spoil(*status, 2));  // no mapper to raise in
  EXPECT_THROW(mapper = Side::start(status, out), Pavo::RangeException);
  EXPECT_EQ(mapper, nullptr);
  EXPECT_EQ(Side::filed(*out), 0u);
  EXPECT_TRUE(
      throwsWith<Pavo::NullPointerException>([&] { Side::start(nullptr, out); }, {"srStatus"}));
  EXPECT_TRUE(throwsWith<Pavo::NullPointerException>([&] { Side::start(status, nullptr); },
                                                     {Side::kOutputName}));
  EXPECT_EQ(status->publisher()->subscriberCount(), 0u);
  EXPECT_EQ(Side::Mapper::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(out->useCount(), 1u);
}

TYPED_TEST(StatusReactorTest, MadeThroughTheGenericInterfaceOverAFormerUsersOutput) {
  using Side = TypeParam;
  TestSupport::TrackerGuard const guard;
  auto status = Status::StatusIs();
  auto out = Side::output();
  for (unsigned i = 1; i <= 3; ++i)
    Side::put(*status, i);
  Side::litter(*out);
  Vek::GenericValue g = GenericIf::construct(
      Side::kTypeName, {AddressFamily(AddressFamily::ipv4), Pavo::Ptr<Status const>(status), out});
  auto const mapper = g.template as<Pavo::Ptr<typename Side::Mapper>>();
  EXPECT_EQ(Side::filed(*out), 3u) << "the former user's member is gone";
  EXPECT_EQ(GenericIf::read(g, 131).node(), status.get());
  EXPECT_EQ(GenericIf::read(g, 132).node(), out.get());
  EXPECT_EQ(GenericIf::count(g, 133), Side::cached(*mapper));
  Side::update(g, 1);
  EXPECT_EQ(Side::filed(*out), 2u);
  GenericIf::invoke(g, 138);  // doCleanup
  EXPECT_EQ(Side::filed(*out), 0u);
  GenericIf::invoke(g, 137);  // handleInitialized
  EXPECT_EQ(Side::filed(*out), 3u);

  // Unsubscribed for the while: a change is unheard until handled by its key
  // (field 135); the zombie flag is put back as it was.
  auto const subscribers = [&] { return status->publisher()->subscriberCount(); };
  EXPECT_TRUE(mapper->nodeFlag(Pavo::Node::kNotificationActive));
  mapper->hasNotificationActiveIs(true);
  EXPECT_EQ(subscribers(), 1u);
  mapper->hasNotificationActiveIs(false);
  EXPECT_EQ(subscribers(), 0u);
  Side::del(*status, 1);
  EXPECT_EQ(Side::filed(*out), 3u);
  GenericIf::invoke(g, 135, {Side::key(1)});
  EXPECT_EQ(Side::filed(*out), 2u);
  EXPECT_FALSE(mapper->nodeFlag(Pavo::Node::kZombie));
  mapper->vekDoZombieReactors(true);
  mapper->hasNotificationActiveIs(true);
  EXPECT_TRUE(mapper->nodeFlag(Pavo::Node::kZombie)) << "a set zombie flag stays set";
  EXPECT_EQ(subscribers(), 1u);
}

}  // namespace
