// The node-segment reverse mapper against a live status table, for what the
// randomized model test does not reach: a former user's output, the flags
// around subscription, range errors and the generic interface. (Corruption
// met in walks and look-ups, a clean-up on a running mapper and the exact
// trace texts are the example scenarios'.)
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "Segments.h"
#include "VekPavo/GenericIf.h"
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

  void start(AddressFamily af = AddressFamily::ipv4) {
    mapper_ = nodeSegmentReverseMapperFactory(af, status_, out_);
  }
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
  mapper_->vekDoZombieReactors(true);
  mapper_->hasNotificationActiveIs(true);
  EXPECT_TRUE(mapper_->nodeFlag(Pavo::Node::kZombie)) << "a set zombie flag stays set";
  EXPECT_EQ(subscribers(), 1u);
}

// Over 100 records: the handler raises and leaves the output as it was (the
// plain collection's, and a failed start-up, are FailedStartUpTest's).
TEST_F(NodeSegmentReverseMapperTest, AnOversizedEntryRaisesAndChangesNothing) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
  Mappings const before = contents();
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentWithAlgoRecordCountIsUnchecked(PrefixAlgoKey(p2_, 128), 101); },
      {"101", "100"}));
  EXPECT_EQ(contents(), before);
  EXPECT_EQ(cached(), 2u);
}

// The mapper through the generic interface: values, the cache as a
// collection, operations and constructor, by field id.
TEST_F(NodeSegmentReverseMapperTest, GenericInterfaceReachesTheMapper) {
  status_->prefixSegmentIs(segment(p1_, x_));
  Vek::GenericValue mapper = Vek::GenericIf::construct(
      "SegmentRouting::Mappers::NodeSegmentReverseMapper",
      {AddressFamily(AddressFamily::ipv4), Pavo::Ptr<Status const>(status_), out_});
  ASSERT_TRUE(mapper.node()->nodeFlag(Pavo::Node::kNotificationActive));
  EXPECT_EQ(Vek::GenericIf::read(mapper, 131).node(), status_.get());
  EXPECT_EQ(Vek::GenericIf::read(mapper, 132).node(), out_.get());
  PrefixAlgoKey const key(p1_, 0);
  EXPECT_TRUE(Vek::GenericIf::get(mapper, 133, key).as<RouterId>() == x_);
  Vek::GenericIf::invoke(mapper, 138);  // doCleanup: output emptied, cache kept
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(Vek::GenericIf::count(mapper, 133), 1u);
  Vek::GenericIf::del(mapper, 133, key);
  Vek::GenericIf::invoke(mapper, 135, {p1_});  // handlePrefixSegment
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}}));
  // doUpdateRouterToNodeSegmentMap with an absent segment removes the prefix.
  Vek::GenericIf::invoke(mapper, 134, {key, Kroma::SegmentRouting::PrefixSegmentWithAlgo()});
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(Vek::GenericIf::count(mapper, 133), 0u);
  Vek::GenericIf::invoke(mapper, 137);  // handleInitialized rebuilds
  EXPECT_EQ(contents(), (Mappings{{0, x_, p1_}}));
}

}  // namespace
