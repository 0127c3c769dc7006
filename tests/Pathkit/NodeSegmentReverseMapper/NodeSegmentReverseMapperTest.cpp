// The node-segment reverse mapper against a live status table, for what the
// randomized model test does not reach: a former user's output, the flags
// around subscription, range errors, clean-up on a running mapper, the
// generic interface and the exact trace texts. (Corruption met in walks and look-ups
// is the corruption example scenario's.)
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Segments.h"
#include "VekPavo/GenericIf.h"
#include "support/ThrowsWith.h"
#include "support/TraceCapture.h"
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

// --- trace -------------------------------------------------------------------

using Line = std::pair<unsigned, std::string>;

char const* const kFacility = "SegmentRoutingMappers";
std::string const kInitSignature =
    "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()()";
std::string const kUpdateSignature =
    "void SegmentRouting::Mappers::NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap("
    "const Mpls::SegmentRouting::PrefixAlgoKey&, const "
    "Kroma::SegmentRouting::PrefixSegmentWithAlgo&)()";

class NodeSegmentTraceTest : public NodeSegmentReverseMapperTest {
 protected:
  void SetUp() override { Vek::traceSettingsReset(); }
  void TearDown() override { Vek::traceSettingsReset(); }
  void levels(bool eight, bool nine) {
    Vek::traceLevelIs(kFacility, 8, eight);
    Vek::traceLevelIs(kFacility, 9, nine);
  }
  std::vector<Line> lines() const {
    std::vector<Line> out;
    for (CapturedTrace const& m : capture_.messages()) {
      EXPECT_EQ(m.facility, kFacility);
      out.emplace_back(m.level, m.text);
    }
    return out;
  }
  // The texts of one update that adds (or keeps) `prefix`.
  static void update(std::vector<Line>& out, std::string const& prefix, unsigned algo) {
    out.emplace_back(8, kUpdateSignature + " ipv4");
    out.emplace_back(9, "doUpdateRouterToNodeSegmentMap: prefix : " + prefix +
                            ", algo : " + std::to_string(algo));
    out.emplace_back(9,
                     "doUpdateRouterToNodeSegmentMap: ipv4, adding prefix in "
                     "routerToNodeSegmentMap " +
                         prefix + ", algo: " + std::to_string(algo));
  }

  TraceCapture capture_;
};

// Each update writes its texts, an unchanged originator too; another family
// is skipped with its own text; only the levels that are on are written.
TEST_F(NodeSegmentTraceTest, StartUpUpdatesAndSkipsWriteTheirTexts) {
  status_->prefixSegmentIs(segment(p1_, router(1)));
  levels(true, true);
  start();
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, router(1), kMap, 1));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, router(1), kMap, 2));
  std::vector<Line> expected{
      {8, kInitSignature + " ipv4"},
      {9, "doCleanup: ipv4Cleaning up the routerToNodeSegment map"},
      {9,
       "handleInitialized: ipv4: Iterating over prefix segments to build the prefix to "
       "originator map"},
  };
  update(expected, "10.0.0.1/32", 0);
  update(expected, "10.0.0.1/32", 128);
  update(expected, "10.0.0.1/32", 128);
  EXPECT_EQ(lines(), expected);

  mapper_.reset();
  start(AddressFamily::ipv6);
  capture_.clear();
  levels(false, true);
  status_->prefixSegmentIs(segment(p1_, router(2)));
  EXPECT_EQ(lines(),
            (std::vector<Line>{
                {9, "doUpdateRouterToNodeSegmentMap: prefix : 10.0.0.1/32, algo : 0"},
                {9,
                 "doUpdateRouterToNodeSegmentMap: ipv6: Skipping prefix 10.0.0.1/32: address "
                 "family mismatch"},
            }));
  capture_.clear();
  levels(false, false);
  status_->prefixSegmentIs(segment(p1_, router(3)));
  mapper_->doCleanup();
  EXPECT_TRUE(capture_.messages().empty());
}

}  // namespace
