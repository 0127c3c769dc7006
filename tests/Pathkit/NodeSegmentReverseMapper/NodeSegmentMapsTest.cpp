// The three node-segment map entities: the contract they share (one typed
// suite), then what each does on its own: bool values, ordered removal,
// children that outlive their removal, and publishing on destruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "OutputRecorder.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Segments.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using SegmentRouting::Mappers::routerToNodeSegmentMapFactory;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Prior = OutputEvent::Prior;
using Vantre::AddressFamily;

constexpr unsigned kAlgo = 129;  // the algorithm the standalone entities are watched under

// What differs between the three entities, behind one vocabulary: add a key,
// remove it, test for it, count, remove all, and the event each publishes.
template <class E>
struct Contract;

template <>
struct Contract<RouterToNodeSegment> {
  using Key = Vantre::IpGenPrefix;
  static constexpr bool kPublishesOnDestruction = false;
  static Pavo::Ptr<RouterToNodeSegment> make() {
    return Pavo::makePtr<RouterToNodeSegment>(router(7));
  }
  static Key key(unsigned i) { return hostPrefix(AddressFamily::ipv4, 40 - i); }
  static void watch(OutputRecorder& r, RouterToNodeSegment& e) { r.watch(e, kAlgo); }
  static void add(RouterToNodeSegment& e, Key const& k) { e.prefixIs(k, true); }
  // What the removal handed back: the bool as a non-null marker, or null.
  static void const* del(RouterToNodeSegment& e, Key const& k) {
    return e.prefixDel(k) ? &e : nullptr;
  }
  static void const* child(RouterToNodeSegment& e, Key const&) { return &e; }
  static bool has(RouterToNodeSegment const& e, Key const& k) { return e.prefixHas(k); }
  static std::size_t count(RouterToNodeSegment const& e) { return e.prefixCount(); }
  static void delAll(RouterToNodeSegment& e) { e.prefixDelAll(); }
  static OutputEvent added(RouterToNodeSegment const& e, Key const& k) {
    return OutputEvent::entryEvent(&e, kAlgo, e.routerId(), k);
  }
  static OutputEvent removed(RouterToNodeSegment const& e, Key const& k, void const*) {
    return OutputEvent::entryEvent(&e, kAlgo, e.routerId(), k, Prior::trueValue);
  }
};

template <>
struct Contract<RouterToNodeSegmentMap> {
  using Key = Mpls::RouterId;
  static constexpr bool kPublishesOnDestruction = true;
  static Pavo::Ptr<RouterToNodeSegmentMap> make() { return routerToNodeSegmentMapFactory(kAlgo); }
  static Key key(unsigned i) { return router(i + 1); }
  static void watch(OutputRecorder& r, RouterToNodeSegmentMap& e) { r.watch(e); }
  static void add(RouterToNodeSegmentMap& e, Key const& k) { e.prefixMapIs(k); }
  static void const* del(RouterToNodeSegmentMap& e, Key const& k) {
    return e.prefixMapDel(k).get();
  }
  static void const* child(RouterToNodeSegmentMap& e, Key const& k) { return e.prefixMap(k).get(); }
  static bool has(RouterToNodeSegmentMap const& e, Key const& k) { return e.prefixMapHas(k); }
  static std::size_t count(RouterToNodeSegmentMap const& e) { return e.prefixMapCount(); }
  static void delAll(RouterToNodeSegmentMap& e) { e.prefixMapDelAll(); }
  static OutputEvent added(RouterToNodeSegmentMap const& e, Key const& k) {
    return OutputEvent::mapEvent(&e, kAlgo, k);
  }
  static OutputEvent removed(RouterToNodeSegmentMap const& e, Key const& k, void const* child) {
    return OutputEvent::mapEvent(&e, kAlgo, k, child);
  }
};

template <>
struct Contract<RouterToNodeSegmentMapPerAlgo> {
  using Key = unsigned char;
  static constexpr bool kPublishesOnDestruction = true;
  static Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> make() {
    return routerToNodeSegmentMapPerAlgoFactory();
  }
  static Key key(unsigned i) { return static_cast<Key>(i == 0 ? 0 : 127 + i); }
  static void watch(OutputRecorder& r, RouterToNodeSegmentMapPerAlgo& e) { r.watch(e); }
  static void add(RouterToNodeSegmentMapPerAlgo& e, Key k) { e.routerToNodeSegmentMapIs(k); }
  static void const* del(RouterToNodeSegmentMapPerAlgo& e, Key k) {
    return e.routerToNodeSegmentMapDel(k).get();
  }
  static void const* child(RouterToNodeSegmentMapPerAlgo& e, Key k) {
    return e.routerToNodeSegmentMap(k).get();
  }
  static bool has(RouterToNodeSegmentMapPerAlgo const& e, Key k) {
    return e.routerToNodeSegmentMapHas(k);
  }
  static std::size_t count(RouterToNodeSegmentMapPerAlgo const& e) {
    return e.routerToNodeSegmentMapCount();
  }
  static void delAll(RouterToNodeSegmentMapPerAlgo& e) { e.routerToNodeSegmentMapDelAll(); }
  static OutputEvent added(RouterToNodeSegmentMapPerAlgo const& e, Key k) {
    return OutputEvent::rootEvent(&e, k);
  }
  static OutputEvent removed(RouterToNodeSegmentMapPerAlgo const& e, Key k, void const* child) {
    return OutputEvent::rootEvent(&e, k, child);
  }
};

template <class E>
class NodeSegmentMapContractTest : public ::testing::Test {
 protected:
  using C = Contract<E>;
  TestSupport::TrackerGuard guard_;  // first: checked after everything below is gone
  OutputRecorder recorder_{false};
  Pavo::Ptr<E> entity_ = C::make();

  void SetUp() override { C::watch(recorder_, *entity_); }
  void TearDown() override {
    recorder_.forget();
    entity_.reset();
  }
};

using Entities =
    ::testing::Types<RouterToNodeSegment, RouterToNodeSegmentMap, RouterToNodeSegmentMapPerAlgo>;
TYPED_TEST_SUITE(NodeSegmentMapContractTest, Entities);

TYPED_TEST(NodeSegmentMapContractTest, AddingPublishesOnceWithNoPriorValue) {
  using C = Contract<TypeParam>;
  TypeParam& e = *this->entity_;
  C::add(e, C::key(1));
  void const* const first = C::child(e, C::key(1));
  C::add(e, C::key(1));
  EXPECT_EQ(C::child(e, C::key(1)), first) << "an existing key keeps its child";
  C::add(e, C::key(2));
  EXPECT_EQ(C::count(e), 2u);
  EXPECT_TRUE(C::has(e, C::key(1)));
  EXPECT_FALSE(C::has(e, C::key(3)));
  EXPECT_EQ(this->recorder_.events(),
            (std::vector<OutputEvent>{C::added(e, C::key(1)), C::added(e, C::key(2))}));
}

TYPED_TEST(NodeSegmentMapContractTest, RemovalHandsBackAndPublishesThePriorValue) {
  using C = Contract<TypeParam>;
  TypeParam& e = *this->entity_;
  C::add(e, C::key(1));
  C::add(e, C::key(2));
  void const* const child = C::child(e, C::key(1));
  this->recorder_.clear();

  EXPECT_EQ(C::del(e, C::key(3)), nullptr) << "absent key";
  EXPECT_TRUE(this->recorder_.events().empty()) << "an absent key publishes nothing";
  EXPECT_EQ(C::del(e, C::key(1)), child);
  EXPECT_EQ(C::del(e, C::key(1)), nullptr) << "already removed";
  EXPECT_FALSE(C::has(e, C::key(1)));
  EXPECT_TRUE(C::has(e, C::key(2)));
  EXPECT_EQ(this->recorder_.events(), (std::vector<OutputEvent>{C::removed(e, C::key(1), child)}));
}

TYPED_TEST(NodeSegmentMapContractTest, RemoveAllWithASubscriberPublishesEachRemoval) {
  using C = Contract<TypeParam>;
  TypeParam& e = *this->entity_;
  std::vector<OutputEvent> expected;
  for (unsigned i = 0; i < 5; ++i)
    C::add(e, C::key(i));
  for (unsigned i = 0; i < 5; ++i)
    expected.push_back(C::removed(e, C::key(i), C::child(e, C::key(i))));
  this->recorder_.clear();
  C::delAll(e);
  EXPECT_EQ(C::count(e), 0u);
  // The order is the collection's own; it is checked per entity below.
  std::vector<OutputEvent> got = this->recorder_.events();
  auto const byKey = [](OutputEvent const& a, OutputEvent const& b) {
    return std::tie(a.algo, a.router, a.prefix) < std::tie(b.algo, b.router, b.prefix);
  };
  std::sort(got.begin(), got.end(), byKey);
  std::sort(expected.begin(), expected.end(), byKey);
  EXPECT_EQ(got, expected);
}

TYPED_TEST(NodeSegmentMapContractTest, DestructionPublishesOnlyForTheMaps) {
  using C = Contract<TypeParam>;
  C::add(*this->entity_, C::key(1));
  C::add(*this->entity_, C::key(2));
  this->recorder_.clear();
  this->recorder_.forget();
  this->entity_.reset();
  std::size_t const expected = C::kPublishesOnDestruction ? 2 : 0;
  EXPECT_EQ(this->recorder_.events().size(), expected);
  for (OutputEvent const& ev : this->recorder_.events())
    EXPECT_EQ(ev.prior, Prior::child) << ev;
}

// --- RouterToNodeSegment ---------------------------------------------------

class RouterToNodeSegmentTest : public ::testing::Test {
 protected:
  TestSupport::TrackerGuard guard_;
  OutputRecorder recorder_{false};
  Pavo::Ptr<RouterToNodeSegment> entry_ = Pavo::makePtr<RouterToNodeSegment>(router(1));

  OutputEvent ev(Vantre::IpGenPrefix const& p, Prior prior = Prior::none) const {
    return OutputEvent::entryEvent(entry_.get(), kAlgo, router(1), p, prior);
  }
  std::vector<Vantre::IpGenPrefix> members() const {
    std::vector<Vantre::IpGenPrefix> out;
    for (auto it = entry_->prefixCollection().begin(); !it.atEnd(); ++it)
      out.push_back(it->key());
    return out;
  }
};

TEST_F(RouterToNodeSegmentTest, AValueChangeReplacesAndPublishesThePriorBool) {
  recorder_.watch(*entry_, kAlgo);
  auto const p = hostPrefix(AddressFamily::ipv4, 1);
  entry_->prefixIs(p, true);
  entry_->prefixIs(p, true);
  entry_->prefixIs(p, false);
  EXPECT_EQ(entry_->prefixCount(), 1u);
  ASSERT_NE(entry_->prefix(p), nullptr);
  EXPECT_FALSE(entry_->prefix(p)->value());
  entry_->prefixIs(p, false);
  EXPECT_FALSE(entry_->prefixDel(p)) << "hands back the stored false";
  entry_->prefixIs(p, true);
  EXPECT_TRUE(entry_->prefixDel(p)) << "hands back the stored true";
  EXPECT_EQ(entry_->prefix(p), nullptr);
  EXPECT_EQ(recorder_.events(),
            (std::vector<OutputEvent>{ev(p), ev(p, Prior::trueValue), ev(p, Prior::falseValue),
                                      ev(p), ev(p, Prior::trueValue)}));
  recorder_.forget();
}

TEST_F(RouterToNodeSegmentTest, MembersStayInAscendingPrefixOrder) {
  auto const a = hostPrefix(AddressFamily::ipv4, 300);
  auto const b = hostPrefix(AddressFamily::ipv4, 2);
  auto const c = hostPrefix(AddressFamily::ipv6, 1);
  auto const d = Vantre::IpGenPrefix("10.0.0.0/8");
  for (auto const& p : {c, a, d, b})
    entry_->prefixIs(p, true);
  std::vector<Vantre::IpGenPrefix> sorted{a, b, c, d};
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(members(), sorted);
  EXPECT_TRUE(entry_->prefixCollection().begin()->key() < c) << "ipv4 before ipv6";
}

TEST_F(RouterToNodeSegmentTest, RemoveAllWithoutSubscribersClearsAtOnce) {
  for (unsigned i = 0; i < 3; ++i)
    entry_->prefixIs(hostPrefix(AddressFamily::ipv4, i), true);
  // A subscriber that came and went leaves the fast path open.
  recorder_.watch(*entry_, kAlgo);
  recorder_.unwatch(entry_.get());
  ASSERT_FALSE(entry_->publisher()->hasSubscribers());
  auto const& tracker = RouterToNodeSegment::VekPrefix::memAllocationTracker_;
  std::uint64_t const live = tracker.liveObjects();
  entry_->prefixDelAll();
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_EQ(tracker.liveObjects(), live - 3) << "every member freed";
  EXPECT_TRUE(recorder_.events().empty());
}

TEST_F(RouterToNodeSegmentTest, RemoveAllWithASubscriberPublishesInAscendingOrder) {
  auto const a = hostPrefix(AddressFamily::ipv4, 5);
  auto const b = hostPrefix(AddressFamily::ipv4, 260);
  auto const c = hostPrefix(AddressFamily::ipv6, 1);
  for (auto const& p : {c, b, a})
    entry_->prefixIs(p, true);
  entry_->prefixIs(b, false);
  recorder_.watch(*entry_, kAlgo);
  entry_->prefixDelAll();
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_EQ(recorder_.events(),
            (std::vector<OutputEvent>{ev(a, Prior::trueValue), ev(b, Prior::falseValue),
                                      ev(c, Prior::trueValue)}));
  recorder_.forget();
}

// A subscriber that removes a later prefix while the removal walk stands on
// an earlier one: the walk goes on from the next prefix still present.
struct RemoveOnFirst {
  Pavo::Subscriber record{&RemoveOnFirst::dispatch};
  RouterToNodeSegment* entry;
  Vantre::IpGenPrefix victim;
  std::vector<Vantre::IpGenPrefix> seen;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const* key,
                       void const*) {
    auto& self = *reinterpret_cast<RemoveOnFirst*>(s);
    self.seen.push_back(*static_cast<Vantre::IpGenPrefix const*>(key));
    if (self.seen.size() == 1)
      self.entry->prefixDel(self.victim);
  }
};

TEST_F(RouterToNodeSegmentTest, RemoveAllSurvivesRemovalsFromInsideANotification) {
  std::vector<Vantre::IpGenPrefix> p;
  for (unsigned i = 0; i < 4; ++i) {
    p.push_back(hostPrefix(AddressFamily::ipv4, i));
    entry_->prefixIs(p.back(), true);
  }
  RemoveOnFirst sub{{&RemoveOnFirst::dispatch}, entry_.get(), p[2], {}};
  entry_->publisher()->subscriberAdd(&sub.record, false);
  entry_->prefixDelAll();
  entry_->publisher()->subscriberRemove(&sub.record);
  EXPECT_EQ(entry_->prefixCount(), 0u);
  EXPECT_EQ(sub.seen, (std::vector<Vantre::IpGenPrefix>{p[0], p[2], p[1], p[3]}));
}

TEST_F(RouterToNodeSegmentTest, DestructionPublishesNothingAndFreesTheTree) {
  auto const& tracker = RouterToNodeSegment::VekPrefix::memAllocationTracker_;
  std::uint64_t const live = tracker.liveObjects();
  for (unsigned i = 0; i < 20; ++i)
    entry_->prefixIs(hostPrefix(AddressFamily::ipv6, i), true);
  EXPECT_EQ(tracker.liveObjects(), live + 20);
  recorder_.watch(*entry_, kAlgo);
  recorder_.forget();
  entry_.reset();
  EXPECT_EQ(tracker.liveObjects(), live);
  EXPECT_TRUE(recorder_.events().empty());
}

// --- the maps ----------------------------------------------------------------

class NodeSegmentMapsTest : public ::testing::Test {
 protected:
  TestSupport::TrackerGuard guard_;
  OutputRecorder recorder_;
};

TEST_F(NodeSegmentMapsTest, AlgorithmMapsAreIndependentAndKeepTheirAlgo) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  auto zero = root->routerToNodeSegmentMapIs(0);
  auto flex = root->routerToNodeSegmentMapIs(128);
  ASSERT_NE(zero, flex);
  EXPECT_EQ(zero->algo(), 0u);
  EXPECT_EQ(flex->algo(), 128u);
  zero->prefixMapIs(router(1))->prefixIs(hostPrefix(AddressFamily::ipv4, 1), true);
  EXPECT_EQ(flex->prefixMapCount(), 0u);
  EXPECT_EQ(root->routerToNodeSegmentMap(128), flex);
  EXPECT_EQ(root->routerToNodeSegmentMap(129), nullptr);
  EXPECT_EQ(root->routerToNodeSegmentMapDel(129), nullptr);
  auto entry = zero->prefixMapIs(router(1));
  EXPECT_EQ(entry->routerId(), router(1));
  EXPECT_EQ(entry->prefixCount(), 1u) << "the existing entry, not a new one";
  EXPECT_EQ(zero->prefixMapDel(router(2)), nullptr);
}

TEST_F(NodeSegmentMapsTest, AChildHeldElsewhereSurvivesItsRemovalUnchanged) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  auto const p = hostPrefix(AddressFamily::ipv4, 9);
  Pavo::Ptr<RouterToNodeSegmentMap> held = root->routerToNodeSegmentMapIs(130);
  Pavo::Ptr<RouterToNodeSegment> heldEntry = held->prefixMapIs(router(3));
  heldEntry->prefixIs(p, true);
  held->prefixMapIs(router(4));

  EXPECT_EQ(root->routerToNodeSegmentMapDel(130), held);
  EXPECT_FALSE(root->routerToNodeSegmentMapHas(130));
  EXPECT_EQ(held->prefixMapCount(), 2u) << "a removed map keeps its routers";
  EXPECT_EQ(held->prefixMap(router(3)), heldEntry);

  EXPECT_EQ(held->prefixMapDel(router(3)), heldEntry);
  EXPECT_EQ(heldEntry->routerId(), router(3));
  EXPECT_TRUE(heldEntry->prefixHas(p)) << "a removed entry keeps its prefixes";
  EXPECT_EQ(heldEntry->useCount(), 1u) << "only the test holds it now";
}

TEST_F(NodeSegmentMapsTest, DestroyingTheRootPublishesEveryMapAndRouterRemoval) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  recorder_.watch(*root);
  for (unsigned a : {0u, 128u}) {
    auto map = root->routerToNodeSegmentMapIs(static_cast<unsigned char>(a));
    for (unsigned r = 1; r <= 2; ++r)
      map->prefixMapIs(router(r))->prefixIs(hostPrefix(AddressFamily::ipv4, r), true);
  }
  EXPECT_EQ(recorder_.events().size(), 2u + 4u + 4u);
  recorder_.clear();
  recorder_.forget();
  void const* const rootAddress = root.get();
  root.reset();

  // Each algorithm's removal from the root, then (as the removed map goes at
  // once) its routers' removals on that map; router entries publish nothing.
  std::vector<OutputEvent> const& got = recorder_.events();
  ASSERT_EQ(got.size(), 6u);
  for (std::size_t i = 0; i < got.size(); i += 3) {
    EXPECT_EQ(got[i].source, OutputEvent::Source::root);
    EXPECT_EQ(got[i].entity, rootAddress);
    EXPECT_EQ(got[i].prior, Prior::child);
    for (std::size_t j = i + 1; j < i + 3; ++j) {
      EXPECT_EQ(got[j].source, OutputEvent::Source::algoMap) << got[j];
      EXPECT_EQ(got[j].entity, got[i].priorChild) << "published by the map just removed";
      EXPECT_EQ(got[j].algo, got[i].algo);
      EXPECT_EQ(got[j].prior, Prior::child);
    }
    EXPECT_NE(got[i + 1].router, got[i + 2].router);
  }
  EXPECT_NE(got[0].algo, got[3].algo);
}

TEST_F(NodeSegmentMapsTest, RemovingAMapNobodyHoldsRemovesItsRoutersOneByOne) {
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  auto map = root->routerToNodeSegmentMapIs(0);
  map->prefixMapIs(router(1));
  map->prefixMapIs(router(2));
  recorder_.watch(*root);
  void const* const mapAddress = map.get();
  map.reset();
  recorder_.clear();
  EXPECT_NE(root->routerToNodeSegmentMapDel(0), nullptr);  // released at the end of the statement
  std::vector<OutputEvent> const& got = recorder_.events();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], OutputEvent::rootEvent(root.get(), 0, mapAddress));
  EXPECT_EQ(got[1].entity, mapAddress);
  EXPECT_EQ(got[2].entity, mapAddress);
  EXPECT_EQ(root->routerToNodeSegmentMapCount(), 0u);
  recorder_.forget();
}

}  // namespace
