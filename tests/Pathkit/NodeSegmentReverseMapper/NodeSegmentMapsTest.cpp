// The three node-segment map entities on their own: what the reverse mapper
// never exercises (bool values, removing all prefixes, looking up before
// adding, children outliving their removal) and what destroying the root
// publishes. Their use through the mapper is covered by the model test.
#include <gtest/gtest.h>

#include <vector>

#include "OutputRecorder.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Segments.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Prior = OutputEvent::Prior;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;
using Events = std::vector<OutputEvent>;

constexpr unsigned kAlgo = 129;  // the algorithm a standalone router entry is watched under

class NodeSegmentMapsTest : public ::testing::Test {
 protected:
  // Declared first: checked after everything below is gone.
  TestSupport::TrackerGuard guard_;
  OutputRecorder recorder_{false};
  Pavo::Ptr<RouterToNodeSegment> entry_ = Pavo::makePtr<RouterToNodeSegment>(router(1));

  void TearDown() override { recorder_.forget(); }
  OutputEvent ev(IpGenPrefix const& p, Prior prior = Prior::none) const {
    return OutputEvent::entryEvent(entry_.get(), kAlgo, router(1), p, prior);
  }
};

TEST_F(NodeSegmentMapsTest, APrefixValueIsReplacedAndHandedBackWithItsPriorBool) {
  recorder_.watch(*entry_, kAlgo);
  auto const p = hostPrefix(AddressFamily::ipv4, 1);
  for (bool value : {true, true, false, true, false})
    entry_->prefixIs(p, value);
  EXPECT_EQ(entry_->prefixCount(), 1u);
  ASSERT_NE(entry_->prefix(p), nullptr);
  EXPECT_FALSE(entry_->prefix(p)->value());
  EXPECT_FALSE(entry_->prefixDel(p)) << "hands back the stored false";
  EXPECT_FALSE(entry_->prefixDel(p)) << "absent";
  entry_->prefixIs(p, true);
  EXPECT_TRUE(entry_->prefixDel(p)) << "hands back the stored true";
  EXPECT_EQ(entry_->prefix(p), nullptr);
  EXPECT_EQ(recorder_.events(), (Events{ev(p), ev(p, Prior::trueValue), ev(p, Prior::falseValue),
                                        ev(p, Prior::trueValue), ev(p, Prior::falseValue), ev(p),
                                        ev(p, Prior::trueValue)}));
}

// Without subscribers all go at once; with one, each removal is published in
// ascending prefix order with its prior bool.
TEST_F(NodeSegmentMapsTest, RemovingAllPrefixes) {
  auto const a = hostPrefix(AddressFamily::ipv4, 5);
  auto const b = hostPrefix(AddressFamily::ipv4, 260);
  auto const c = hostPrefix(AddressFamily::ipv6, 1);
  for (auto const& p : {c, b, a})
    entry_->prefixIs(p, true);
  entry_->prefixDelAll();
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_TRUE(entry_->prefixCollection().begin().atEnd());
  for (auto const& p : {c, b, a})
    entry_->prefixIs(p, true);
  entry_->prefixIs(b, false);
  recorder_.watch(*entry_, kAlgo);
  entry_->prefixDelAll();
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_EQ(recorder_.events(),
            (Events{ev(a, Prior::trueValue), ev(b, Prior::falseValue), ev(c, Prior::trueValue)}));
}

// A subscriber that removes a later prefix while the removal walk stands on
// an earlier one: the walk goes on from the next prefix still present.
struct RemoveOnFirst {
  Pavo::Subscriber record{&RemoveOnFirst::dispatch};  // first: dispatch finds the struct
  RouterToNodeSegment* entry;
  IpGenPrefix victim;
  std::vector<IpGenPrefix> seen;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const* key,
                       void const*) {
    auto& self = *reinterpret_cast<RemoveOnFirst*>(s);
    self.seen.push_back(*static_cast<IpGenPrefix const*>(key));
    if (self.seen.size() == 1)
      self.entry->prefixDel(self.victim);
  }
};

TEST_F(NodeSegmentMapsTest, RemovingAllPrefixesSurvivesARemovalFromInsideANotification) {
  std::vector<IpGenPrefix> p;
  for (unsigned i = 0; i < 4; ++i) {
    p.push_back(hostPrefix(AddressFamily::ipv4, i));
    entry_->prefixIs(p.back(), true);
  }
  RemoveOnFirst sub{{&RemoveOnFirst::dispatch}, entry_.get(), p[2], {}};
  entry_->publisher()->subscriberAdd(&sub.record, false);
  entry_->prefixDelAll();
  entry_->publisher()->subscriberRemove(&sub.record);
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_EQ(sub.seen, (std::vector<IpGenPrefix>{p[0], p[2], p[1], p[3]}));
}

// Both maps: one child per key, created and published once; a removal hands
// the child back (absent: null, nothing published), and a child held
// elsewhere lives on with its contents.
TEST_F(NodeSegmentMapsTest, EachKeyHasOneChildThatOutlivesItsRemoval) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  recorder_.watch(*root);
  auto zero = root->routerToNodeSegmentMapIs(0);
  auto flex = root->routerToNodeSegmentMapIs(128);
  ASSERT_NE(zero, flex);
  EXPECT_EQ(root->routerToNodeSegmentMapIs(128), flex);
  EXPECT_EQ(zero->algo(), 0u);
  EXPECT_EQ(flex->algo(), 128u);
  recorder_.watch(*flex);
  auto x = flex->prefixMapIs(router(3));
  EXPECT_EQ(flex->prefixMapIs(router(3)), x);
  EXPECT_EQ(x->routerId(), router(3));
  flex->prefixMapIs(router(4));
  x->prefixIs(hostPrefix(AddressFamily::ipv4, 9), true);
  EXPECT_EQ(zero->prefixMapCount(), 0u);

  EXPECT_EQ(root->routerToNodeSegmentMapDel(129), nullptr);
  EXPECT_EQ(flex->prefixMapDel(router(5)), nullptr);
  EXPECT_EQ(root->routerToNodeSegmentMapDel(128), flex);
  EXPECT_EQ(root->routerToNodeSegmentMap(128), nullptr);
  EXPECT_EQ(flex->prefixMapCount(), 2u) << "a removed map keeps its routers";
  EXPECT_EQ(flex->prefixMapDel(router(3)), x);
  EXPECT_EQ(flex->prefixMap(router(3)), nullptr);
  EXPECT_TRUE(x->prefixHas(hostPrefix(AddressFamily::ipv4, 9))) << "and an entry its prefixes";
  EXPECT_EQ(x->useCount(), 1u) << "only the test holds it now";
  EXPECT_EQ(recorder_.events(),
            (Events{OutputEvent::rootEvent(root.get(), 0), OutputEvent::rootEvent(root.get(), 128),
                    OutputEvent::mapEvent(flex.get(), 128, router(3)),
                    OutputEvent::mapEvent(flex.get(), 128, router(4)),
                    OutputEvent::rootEvent(root.get(), 128, flex.get()),
                    OutputEvent::mapEvent(flex.get(), 128, router(3), x.get())}));
}

// Each algorithm's removal from the root, in the root's order, then (as the
// removed map goes at once) its routers' removals on that map, in its order;
// router entries publish nothing.
TEST_F(NodeSegmentMapsTest, DestroyingTheRootPublishesEachMapThenItsRouters) {
  OutputRecorder recorder;
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  recorder.watch(*root);
  for (unsigned char a : {0, 128}) {
    auto map = root->routerToNodeSegmentMapIs(a);
    for (unsigned r = 1; r <= 2; ++r)
      map->prefixMapIs(router(r))->prefixIs(hostPrefix(AddressFamily::ipv4, r), true);
  }
  Events expected;
  for (auto a = root->routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
    RouterToNodeSegmentMap const* map = a->value().get();
    expected.push_back(OutputEvent::rootEvent(root.get(), a->key(), map));
    for (auto r = map->prefixMapCollection().begin(); !r.atEnd(); ++r)
      expected.push_back(OutputEvent::mapEvent(map, a->key(), r->key(), r->value().get()));
  }
  recorder.clear();
  recorder.forget();
  root.reset();
  EXPECT_EQ(recorder.events(), expected);
}

}  // namespace
