// The node-segment reverse mapper against a live status table, for what the
// randomized model test does not reach: subscription and the zombie flag,
// field ids, corruption and range errors, and clean-up on a running mapper.
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "Segments.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::nodeSegmentReverseMapperFactory;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

using Mapping = std::tuple<unsigned, RouterId, IpGenPrefix>;
using Mappings = std::set<Mapping>;

class NodeSegmentReverseMapperTest : public ::testing::Test {
 protected:
  TestSupport::TrackerGuard guard_;  // first: checked after everything below is gone
  Pavo::Ptr<Status> status_ = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out_ = routerToNodeSegmentMapPerAlgoFactory();
  Pavo::Ptr<NodeSegmentReverseMapper> mapper_;

  IpGenPrefix const p1_ = hostPrefix(AddressFamily::ipv4, 1);
  IpGenPrefix const p2_ = hostPrefix(AddressFamily::ipv4, 2);
  IpGenPrefix const p3_ = hostPrefix(AddressFamily::ipv4, 3);
  RouterId const x_ = router(1);
  RouterId const y_ = router(2);

  void start() { mapper_ = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, status_, out_); }
  std::size_t subscribers() const { return status_->publisher()->subscriberCount(); }
  std::size_t cached() const { return mapper_->prefixToOriginatorCacheCount(); }

  // Every (algo, router, prefix) in the output.
  Mappings contents() const {
    Mappings out;
    for (auto a = out_->routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
      for (auto r = a->value()->prefixMapCollection().begin(); !r.atEnd(); ++r) {
        for (auto p = r->value()->prefixCollection().begin(); !p.atEnd(); ++p)
          out.emplace(a->key(), r->key(), p->key());
      }
    }
    return out;
  }
};

TEST_F(NodeSegmentReverseMapperTest, StartUpCleansTheOutputAndSubscribesOnce) {
  status_->prefixSegmentIs(segment(p1_, x_));
  out_->routerToNodeSegmentMapIs(7)->prefixMapIs(y_)->prefixIs(p2_, true);  // a former user's
  start();
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}}));
  EXPECT_TRUE(mapper_->nodeFlag(Pavo::Node::kNotificationActive));
  mapper_->hasNotificationActiveIs(true);
  EXPECT_EQ(subscribers(), 1u);
  mapper_->hasNotificationActiveIs(false);
  EXPECT_EQ(subscribers(), 0u);
  EXPECT_FALSE(mapper_->nodeFlag(Pavo::Node::kZombie)) << "the zombie flag is put back";
  status_->prefixSegmentIs(segment(p2_, x_));
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}})) << "unsubscribed";
  mapper_->vekDoZombieReactors(true);
  mapper_->hasNotificationActiveIs(true);
  EXPECT_TRUE(mapper_->nodeFlag(Pavo::Node::kZombie)) << "a set zombie flag stays set";
  mapper_->vekDoZombieReactors(false);
  EXPECT_EQ(subscribers(), 1u);
  status_->prefixSegmentIs(segment(p3_, x_));
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}, {0, x_, p3_}}));
}

TEST_F(NodeSegmentReverseMapperTest, OnlyThePrefixFieldIdsOfALiveMapperAreHandled) {
  start();
  mapper_->vekDoZombieReactors(true);
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, x_));
  EXPECT_TRUE(contents().empty()) << "the zombie hears neither 258 nor 259";
  mapper_->vekDoZombieReactors(false);
  PrefixAlgoKey const k2(p2_, 128);
  Pavo::Publisher& pub = *status_->publisher();
  for (Pavo::FieldId id : {0u, 1u, 130u, 131u, 257u, 260u, 263u, 264u, 0x10000u}) {
    pub.publishChangeRecursive(id, &p1_, nullptr, &IpGenPrefix::isEq);
    pub.publishChangeRecursive(id, &k2, nullptr, &PrefixAlgoKey::isEq);
  }
  EXPECT_TRUE(contents().empty()) << "missed changes stay missed";
  pub.publishChangeRecursive(0x30000u | 258u, &p1_, nullptr, &IpGenPrefix::isEq);
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}})) << "only the low 16 bits count";
  pub.publishChangeRecursive(259u, &k2, nullptr, &PrefixAlgoKey::isEq);
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}, {128, x_, p2_}}));
}

// Corruption in a start-up walk ends the walk of that collection only; what
// was handled before stays mapped.
TEST_F(NodeSegmentReverseMapperTest, CorruptionEndsTheWalkOfThatCollectionOnly) {
  struct Case {
    bool inWithAlgo;
    Kroma::Fault fault;
    unsigned afterCalls;
    Mappings expected;
  };
  std::vector<Case> const cases{
      {false,
       Kroma::Fault::nextKey,
       1,
       {{0, x_, p1_}, {0, x_, p2_}, {128, y_, p1_}, {128, y_, p2_}}},
      {true, Kroma::Fault::firstKey, 0, {{0, x_, p1_}, {0, x_, p2_}, {0, x_, p3_}}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(Kroma::faultName(c.fault));
    status_ = Status::StatusIs();
    for (IpGenPrefix const& p : {p1_, p2_, p3_})
      status_->prefixSegmentIs(segment(p, x_));
    status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
    status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
    Kroma::KromaMapBase& plain = status_->prefixSegmentMut();
    Kroma::KromaMapBase& withAlgo = status_->prefixSegmentWithAlgoMut();
    Kroma::KromaMapBase& broken = c.inWithAlgo ? withAlgo : plain;
    broken.faultIs(c.fault, c.afterCalls);
    start();
    EXPECT_EQ(contents(), c.expected);
    EXPECT_EQ(broken.corruptionReports(), 1u);
    EXPECT_NE(broken.lastCorruptionReport().find(Kroma::faultName(c.fault)), std::string::npos)
        << "the exception's message is reported: " << broken.lastCorruptionReport();
    EXPECT_EQ((c.inWithAlgo ? plain : withAlgo).corruptionReports(), 0u);
    mapper_.reset();
  }
}

TEST_F(NodeSegmentReverseMapperTest, CorruptionInALookUpCountsAsAbsent) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, x_));
  status_->prefixSegmentMut().faultIs(Kroma::Fault::lookup, 0);
  status_->prefixSegmentIs(segment(p1_, x_, kMap, 999));
  EXPECT_EQ(contents(), (Mappings{{0, x_, p2_}}));
  EXPECT_EQ(status_->prefixSegment().corruptionReports(), 1u);
  EXPECT_NE(status_->prefixSegment().lastCorruptionReport().find("lookup"), std::string::npos);
}

TEST_F(NodeSegmentReverseMapperTest, AnOversizedEntryRaisesAndLeavesTheOutputAlone) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
  Mappings const before = contents();
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentRecordCountIsUnchecked(p1_, 101); }, {"101", "100"}));
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentWithAlgoRecordCountIsUnchecked(PrefixAlgoKey(p2_, 128), 101); },
      {"101", "100"}));
  EXPECT_EQ(contents(), before);
  EXPECT_EQ(cached(), 2u);
}

TEST_F(NodeSegmentReverseMapperTest, AnOversizedEntryAtStartUpLeavesNoMapper) {
  auto const& mappers = NodeSegmentReverseMapper::memAllocationTracker_;
  std::uint64_t const liveMappers = mappers.liveObjects();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
  status_->prefixSegmentWithAlgoRecordCountIsUnchecked(PrefixAlgoKey(p2_, 128), 101);
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([&] { start(); }, {"101"}));
  EXPECT_EQ(mapper_, nullptr);
  EXPECT_EQ(mappers.liveObjects(), liveMappers);
  EXPECT_EQ(subscribers(), 0u) << "unsubscribed on the way out";
  EXPECT_EQ(out_->useCount(), 1u) << "the output is released";
  // The guard checks that the cache members went with the failed mapper.
  out_->routerToNodeSegmentMapDelAll();
}

// After a clean-up the cache names originators whose map or entry is gone.
TEST_F(NodeSegmentReverseMapperTest, CleanupOnARunningMapperKeepsTheCacheSafe) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p3_, 128, x_));
  mapper_->doCleanup();
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(cached(), 3u) << "the cache is kept";
  // A removal whose algorithm map is gone.
  EXPECT_TRUE(status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(p3_, 128)));
  EXPECT_FALSE(mapper_->prefixToOriginatorCacheHas(PrefixAlgoKey(p3_, 128)));
  // A removal whose router entry is gone while its algorithm map is back.
  status_->prefixSegmentIs(segment(p3_, x_));
  EXPECT_TRUE(status_->prefixSegmentDel(p2_));
  EXPECT_FALSE(mapper_->prefixToOriginatorCacheHas(PrefixAlgoKey(p2_, 0)));
  // A removal whose router entry is back without the prefix.
  EXPECT_TRUE(status_->prefixSegmentDel(p1_));
  EXPECT_EQ(contents(), (Mappings{{0, x_, p3_}}));
  EXPECT_EQ(cached(), 1u);
}

}  // namespace
