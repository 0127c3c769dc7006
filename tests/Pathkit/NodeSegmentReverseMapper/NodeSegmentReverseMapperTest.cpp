// The node-segment reverse mapper against a live status table: what each
// kind of change does to the shared output and what it publishes, the
// start-up build, corruption and range errors, the zombie flag and
// subscription, clean-up on a running mapper, and destruction.
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "OutputRecorder.h"
#include "Segments.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Prior = OutputEvent::Prior;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::nodeSegmentReverseMapperFactory;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

using Mapping = std::tuple<unsigned, RouterId, IpGenPrefix>;

class NodeSegmentReverseMapperTest : public ::testing::Test {
 protected:
  // Declaration order is teardown order reversed: the mapper goes first and
  // publishes its removals to a live recorder; the guard checks last.
  TestSupport::TrackerGuard guard_;
  Pavo::Ptr<Status> status_ = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out_ = routerToNodeSegmentMapPerAlgoFactory();
  OutputRecorder recorder_;
  Pavo::Ptr<NodeSegmentReverseMapper> mapper_;

  IpGenPrefix const p1_ = hostPrefix(AddressFamily::ipv4, 1);
  IpGenPrefix const p2_ = hostPrefix(AddressFamily::ipv4, 2);
  IpGenPrefix const p3_ = hostPrefix(AddressFamily::ipv4, 3);
  RouterId const x_ = router(1);
  RouterId const y_ = router(2);

  void start(AddressFamily af = AddressFamily::ipv4) {
    mapper_ = nodeSegmentReverseMapperFactory(af, status_, out_);
  }
  void watch() { recorder_.watch(*out_); }

  // Every (algo, router, prefix) in the output, checked for empty entries.
  std::set<Mapping> contents() const {
    std::set<Mapping> out;
    for (auto a = out_->routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
      EXPECT_NE(a->value()->prefixMapCount(), 0u) << "empty algorithm map " << unsigned(a->key());
      for (auto r = a->value()->prefixMapCollection().begin(); !r.atEnd(); ++r) {
        EXPECT_NE(r->value()->prefixCount(), 0u) << "empty router entry " << r->key();
        for (auto p = r->value()->prefixCollection().begin(); !p.atEnd(); ++p)
          out.emplace(a->key(), r->key(), p->key());
      }
    }
    return out;
  }
  RouterToNodeSegmentMap const* algoMap(unsigned algo) const {
    return out_->routerToNodeSegmentMap(static_cast<unsigned char>(algo)).get();
  }
  RouterToNodeSegment const* entry(unsigned algo, RouterId const& r) const {
    RouterToNodeSegmentMap const* m = algoMap(algo);
    return m != nullptr ? m->prefixMap(r).get() : nullptr;
  }
};

// --- one change at a time ----------------------------------------------------------

TEST_F(NodeSegmentReverseMapperTest, FirstSegmentPublishesRootThenAlgoMapThenRouterEntry) {
  start();
  watch();
  status_->prefixSegmentIs(segment(p1_, x_));
  ASSERT_NE(entry(0, x_), nullptr);
  EXPECT_EQ(recorder_.events(), (std::vector<OutputEvent>{
                                    OutputEvent::rootEvent(out_.get(), 0),
                                    OutputEvent::mapEvent(algoMap(0), 0, x_),
                                    OutputEvent::entryEvent(entry(0, x_), 0, x_, p1_),
                                }));
  EXPECT_EQ(mapper_->prefixToOriginatorCache(PrefixAlgoKey(p1_, 0)), x_);
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 1u);
  EXPECT_TRUE(entry(0, x_)->prefix(p1_)->value());
}

TEST_F(NodeSegmentReverseMapperTest, TheSameOriginatorAgainPublishesNothingNew) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_, kMap, 100));
  watch();
  // Another SID, same originator: the table publishes, the output stays.
  status_->prefixSegmentIs(segment(p1_, x_, kMap, 200));
  mapper_->handlePrefixSegment(p1_);
  EXPECT_TRUE(recorder_.events().empty());
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}}));
}

TEST_F(NodeSegmentReverseMapperTest, MovingTheOnlyPrefixReplacesTheAlgorithmMap) {
  start();
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, x_));
  Pavo::Ptr<RouterToNodeSegmentMap> const oldMap = out_->routerToNodeSegmentMap(128);
  void const* const oldEntry = entry(128, x_);
  watch();
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
  ASSERT_NE(algoMap(128), nullptr);
  EXPECT_NE(algoMap(128), oldMap.get()) << "a new algorithm map";
  EXPECT_EQ(oldMap->prefixMapCount(), 0u);
  EXPECT_EQ(recorder_.events(),
            (std::vector<OutputEvent>{
                OutputEvent::entryEvent(oldEntry, 128, x_, p1_, Prior::trueValue),
                OutputEvent::mapEvent(oldMap.get(), 128, x_, oldEntry),
                OutputEvent::rootEvent(out_.get(), 128, oldMap.get()),
                OutputEvent::rootEvent(out_.get(), 128),
                OutputEvent::mapEvent(algoMap(128), 128, y_),
                OutputEvent::entryEvent(entry(128, y_), 128, y_, p1_),
            }));
  EXPECT_EQ(contents(), (std::set<Mapping>{{128, y_, p1_}}));
  EXPECT_EQ(mapper_->prefixToOriginatorCache(PrefixAlgoKey(p1_, 128)), y_);
}

TEST_F(NodeSegmentReverseMapperTest, MovingOnePrefixKeepsTheOthersAndTheMap) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, x_));
  RouterToNodeSegmentMap const* const map = algoMap(0);
  RouterToNodeSegment const* const xEntry = entry(0, x_);
  watch();
  status_->prefixSegmentIs(segment(p1_, y_));
  EXPECT_EQ(algoMap(0), map);
  EXPECT_EQ(entry(0, x_), xEntry);
  EXPECT_EQ(recorder_.events(), (std::vector<OutputEvent>{
                                    OutputEvent::entryEvent(xEntry, 0, x_, p1_, Prior::trueValue),
                                    OutputEvent::mapEvent(map, 0, y_),
                                    OutputEvent::entryEvent(entry(0, y_), 0, y_, p1_),
                                }));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p2_}, {0, y_, p1_}}));
}

TEST_F(NodeSegmentReverseMapperTest, FlagsDecideWhetherAPrefixIsMapped) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p1_, x_, kMap | kDoNotMap));
  EXPECT_TRUE(contents().empty()) << "0x10 wins over 0x04";
  EXPECT_FALSE(mapper_->prefixToOriginatorCacheHas(PrefixAlgoKey(p1_, 0)));
  EXPECT_EQ(out_->routerToNodeSegmentMapCount(), 0u) << "empty map and entry pruned";
  status_->prefixSegmentIs(segment(p1_, x_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}})) << "back once 0x10 clears";
  status_->prefixSegmentIs(segment(p1_, x_, 0x01));
  EXPECT_TRUE(contents().empty()) << "0x04 clear";
  status_->prefixSegmentIs(segment(p2_, x_, kDoNotMap));
  status_->prefixSegmentIs(segment(p3_, x_, kMap | 0x08 | 0x01));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p3_}})) << "other bits do not matter";
}

TEST_F(NodeSegmentReverseMapperTest, RemovingTheSegmentPrunesEmptyEntries) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, y_));
  RouterToNodeSegmentMap const* const map = algoMap(0);
  RouterToNodeSegment const* const xEntry = entry(0, x_);
  RouterToNodeSegment const* const yEntry = entry(0, y_);
  watch();
  EXPECT_TRUE(status_->prefixSegmentDel(p1_));
  EXPECT_TRUE(status_->prefixSegmentDel(p2_));
  EXPECT_EQ(recorder_.events(), (std::vector<OutputEvent>{
                                    OutputEvent::entryEvent(xEntry, 0, x_, p1_, Prior::trueValue),
                                    OutputEvent::mapEvent(map, 0, x_, xEntry),
                                    OutputEvent::entryEvent(yEntry, 0, y_, p2_, Prior::trueValue),
                                    OutputEvent::mapEvent(map, 0, y_, yEntry),
                                    OutputEvent::rootEvent(out_.get(), 0, map),
                                }));
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 0u);
}

TEST_F(NodeSegmentReverseMapperTest, OtherAddressFamilyAndZeroOriginatorAreNotMapped) {
  start(AddressFamily::ipv6);
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, x_));
  IpGenPrefix const v6 = hostPrefix(AddressFamily::ipv6, 1);
  status_->prefixSegmentIs(segment(v6, RouterId::zero()));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(v6, 129, RouterId::zero()));
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 0u);
  status_->prefixSegmentIs(segment(v6, y_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, y_, v6}}));
}

TEST_F(NodeSegmentReverseMapperTest, AlgorithmsAreIndependent) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 255, x_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}, {128, y_, p1_}, {255, x_, p1_}}));
  EXPECT_TRUE(status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(p1_, 128)));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}, {255, x_, p1_}}));
  EXPECT_EQ(mapper_->prefixToOriginatorCache(PrefixAlgoKey(p1_, 255)), x_);
  EXPECT_EQ(mapper_->prefixToOriginatorCacheGet(PrefixAlgoKey(p1_, 128)), std::nullopt);
}

TEST_F(NodeSegmentReverseMapperTest, BothCollectionsShareAlgorithmZeroAndTheLatestWins) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 0, y_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, y_, p1_}}));
  status_->prefixSegmentIs(segment(p1_, x_, kMap, 17000));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}}));
  // Removing the older entry's twin takes the prefix away: one key, one update.
  EXPECT_TRUE(status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(p1_, 0)));
  EXPECT_TRUE(contents().empty());
}

TEST_F(NodeSegmentReverseMapperTest, AHandlerForAnAbsentKeyRemovesWhatWasMapped) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 130, x_));
  mapper_->vekDoZombieReactors(true);
  status_->prefixSegmentDel(p1_);
  status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(p2_, 130));
  mapper_->vekDoZombieReactors(false);
  EXPECT_EQ(contents().size(), 2u) << "the zombie missed both removals";
  mapper_->handlePrefixSegment(p1_);
  mapper_->handlePrefixSegmentWithAlgo(PrefixAlgoKey(p2_, 130));
  mapper_->handlePrefixSegmentWithAlgo(PrefixAlgoKey(p3_, 7));  // never there
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 0u);
}

// --- start-up ------------------------------------------------------------------------

TEST_F(NodeSegmentReverseMapperTest, StartUpMapsWhatTheTableAlreadyHolds) {
  IpGenPrefix const v6 = hostPrefix(AddressFamily::ipv6, 4);
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, x_, kDoNotMap | kMap));
  status_->prefixSegmentIs(segment(p3_, y_));
  status_->prefixSegmentIs(segment(v6, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 129, y_));
  // The walk takes the prefix collection first: its twin here wins.
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p3_, 0, x_));
  // A previous user's leftovers are cleaned away first.
  out_->routerToNodeSegmentMapIs(7)->prefixMapIs(y_)->prefixIs(p2_, true);
  watch();
  start();
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}, {0, x_, p3_}, {129, y_, p1_}}));
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 3u);
  EXPECT_EQ(recorder_.events().front().prior, Prior::child) << "algorithm 7 went first";
  EXPECT_EQ(status_->publisher()->subscriberCount(), 1u);
}

TEST_F(NodeSegmentReverseMapperTest, CorruptionEndsTheWalkOfThatCollectionOnly) {
  for (unsigned i = 1; i <= 4; ++i)
    status_->prefixSegmentIs(segment(hostPrefix(AddressFamily::ipv4, i), x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
  status_->prefixSegmentMut().faultIs(Kroma::Fault::nextKey, 1);
  start();
  EXPECT_EQ(contents(),
            (std::set<Mapping>{{0, x_, p1_}, {0, x_, p2_}, {128, y_, p1_}, {128, y_, p2_}}));
  EXPECT_EQ(status_->prefixSegment().corruptionReports(), 1u);
  EXPECT_NE(status_->prefixSegment().lastCorruptionReport().find("corruption detected in nextKey"),
            std::string::npos)
      << status_->prefixSegment().lastCorruptionReport();
  EXPECT_EQ(status_->prefixSegmentWithAlgo().corruptionReports(), 0u);
}

TEST_F(NodeSegmentReverseMapperTest, CorruptionAtTheFirstKeyStillWalksTheOtherCollection) {
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
  status_->prefixSegmentWithAlgoMut().faultIs(Kroma::Fault::firstKey, 0);
  start();
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}}));
  EXPECT_EQ(status_->prefixSegmentWithAlgo().corruptionReports(), 1u);
  EXPECT_EQ(status_->prefixSegment().corruptionReports(), 0u);
}

TEST_F(NodeSegmentReverseMapperTest, CorruptionInALookUpCountsAsAbsent) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, x_));
  status_->prefixSegmentMut().faultIs(Kroma::Fault::lookup, 0);
  status_->prefixSegmentIs(segment(p1_, x_, kMap, 999));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p2_}}));
  EXPECT_EQ(status_->prefixSegment().corruptionReports(), 1u);
  EXPECT_NE(status_->prefixSegment().lastCorruptionReport().find("lookup"), std::string::npos);
  mapper_->handlePrefixSegment(p1_);  // the fault fired once: the entry reads again
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}, {0, x_, p2_}}));
}

TEST_F(NodeSegmentReverseMapperTest, AnOversizedEntryRaisesAndLeavesTheOutputAlone) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, y_));
  std::set<Mapping> const before = contents();
  watch();
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentRecordCountIsUnchecked(p1_, 101); }, {"101", "100"}));
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentWithAlgoRecordCountIsUnchecked(PrefixAlgoKey(p2_, 128), 101); },
      {"101", "100"}));
  EXPECT_EQ(contents(), before);
  EXPECT_TRUE(recorder_.events().empty());
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 2u);
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
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u) << "unsubscribed on the way out";
  EXPECT_EQ(out_->useCount(), 1u) << "the output is released";
  // The guard checks that the cache members went with the failed mapper.
  out_->routerToNodeSegmentMapDelAll();
}

// --- lifecycle and gating ---------------------------------------------------------------

TEST_F(NodeSegmentReverseMapperTest, DestructionEmptiesTheSharedOutputThatLivesOn) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 128, y_));
  watch();
  std::uint64_t const outUses = out_->useCount();
  mapper_.reset();
  EXPECT_EQ(out_->useCount(), outUses - 1);
  EXPECT_EQ(out_->routerToNodeSegmentMapCount(), 0u);
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u);
  // Two algorithm removals on the root, three router removals on the maps.
  std::multiset<std::pair<OutputEvent::Source, unsigned>> got;
  for (OutputEvent const& e : recorder_.events()) {
    EXPECT_EQ(e.prior, Prior::child) << e;
    got.emplace(e.source, e.algo);
  }
  EXPECT_EQ(got, (std::multiset<std::pair<OutputEvent::Source, unsigned>>{
                     {OutputEvent::Source::root, 0},
                     {OutputEvent::Source::root, 128},
                     {OutputEvent::Source::algoMap, 0},
                     {OutputEvent::Source::algoMap, 0},
                     {OutputEvent::Source::algoMap, 128}}));
  status_->prefixSegmentIs(segment(p3_, x_));
  EXPECT_TRUE(contents().empty()) << "a destroyed mapper hears nothing";
}

TEST_F(NodeSegmentReverseMapperTest, TheZombieFlagKeepsNotificationsOut) {
  start();
  mapper_->vekDoZombieReactors(true);
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, x_));
  EXPECT_TRUE(contents().empty());
  mapper_->vekDoZombieReactors(false);
  status_->prefixSegmentIs(segment(p2_, y_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, y_, p2_}})) << "missed changes stay missed";
}

TEST_F(NodeSegmentReverseMapperTest, OnlyThePrefixFieldIdsAreHandled) {
  start();
  mapper_->vekDoZombieReactors(true);
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p2_, 128, x_));
  mapper_->vekDoZombieReactors(false);
  PrefixAlgoKey const k2(p2_, 128);
  Pavo::Publisher& pub = *status_->publisher();
  for (Pavo::FieldId id : {0u, 1u, 130u, 131u, 257u, 260u, 263u, 264u, 0x10000u}) {
    pub.publishChangeRecursive(id, &p1_, nullptr, &IpGenPrefix::isEq);
    pub.publishChangeRecursive(id, &k2, nullptr, &PrefixAlgoKey::isEq);
  }
  EXPECT_TRUE(contents().empty());
  pub.publishChangeRecursive(0x30000u | 258u, &p1_, nullptr, &IpGenPrefix::isEq);
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}})) << "only the low 16 bits count";
  pub.publishChangeRecursive(259u, &k2, nullptr, &PrefixAlgoKey::isEq);
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p1_}, {128, x_, p2_}}));
}

TEST_F(NodeSegmentReverseMapperTest, NotificationActiveSubscribesOnceAndUnsubscribes) {
  start();
  EXPECT_TRUE(mapper_->nodeFlag(Pavo::Node::kNotificationActive));
  mapper_->hasNotificationActiveIs(true);
  EXPECT_EQ(status_->publisher()->subscriberCount(), 1u);
  mapper_->hasNotificationActiveIs(false);
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u);
  EXPECT_FALSE(mapper_->nodeFlag(Pavo::Node::kZombie)) << "the zombie flag is put back";
  status_->prefixSegmentIs(segment(p1_, x_));
  EXPECT_TRUE(contents().empty());
  mapper_->vekDoZombieReactors(true);
  mapper_->hasNotificationActiveIs(true);
  EXPECT_TRUE(mapper_->nodeFlag(Pavo::Node::kZombie)) << "a set zombie flag stays set";
  mapper_->vekDoZombieReactors(false);
  EXPECT_EQ(status_->publisher()->subscriberCount(), 1u);
  status_->prefixSegmentIs(segment(p2_, x_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p2_}}));
}

TEST_F(NodeSegmentReverseMapperTest, CleanupOnARunningMapperKeepsTheCacheSafe) {
  start();
  status_->prefixSegmentIs(segment(p1_, x_));
  status_->prefixSegmentIs(segment(p2_, y_));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p3_, 128, x_));
  mapper_->doCleanup();
  EXPECT_TRUE(contents().empty());
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 3u) << "the cache is kept";
  // A removal whose algorithm map is gone.
  EXPECT_TRUE(status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(p3_, 128)));
  EXPECT_FALSE(mapper_->prefixToOriginatorCacheHas(PrefixAlgoKey(p3_, 128)));
  // A removal whose router entry is gone while its algorithm map is back.
  status_->prefixSegmentIs(segment(p3_, x_));
  EXPECT_TRUE(status_->prefixSegmentDel(p2_));
  EXPECT_FALSE(mapper_->prefixToOriginatorCacheHas(PrefixAlgoKey(p2_, 0)));
  // A removal whose router entry is back without the prefix.
  EXPECT_TRUE(status_->prefixSegmentDel(p1_));
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p3_}}));
  EXPECT_EQ(mapper_->prefixToOriginatorCacheCount(), 1u);
  // A rebuild restores the output from the table.
  status_->prefixSegmentIs(segment(p1_, y_));
  mapper_->doCleanup();
  mapper_->handleInitialized();
  EXPECT_EQ(contents(), (std::set<Mapping>{{0, x_, p3_}, {0, y_, p1_}}));
}

}  // namespace
