// Subscriptions to one field of an entity, and to one field of whichever
// child a parent holds under one key.
#include "Pathkit/Subscription.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Pathkit/ChildSubscription.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace SegmentRouting::Mappers {
namespace {

// Whether subscribing to `field` of `entity` with Key and Prior is refused
// with a message holding every one of `parts`.
template <class Entity, class Key, class Prior>
::testing::AssertionResult refused(Pavo::Ptr<Entity> const& entity, Pavo::FieldId field,
                                   std::initializer_list<std::string_view> parts) {
  return throwsWith<Pavo::Exception>(
      [&] { Subscription<Entity, Key, Prior> s(entity, field, [](Key const&, Prior const*) {}); },
      parts);
}

TEST(SubscriptionTest, RefusesTypesThatDisagreeWithTheRegistration) {
  auto map = routerToNodeSegmentMapFactory(0);
  auto router = map->prefixMapIs(Mpls::RouterId::ipv4(0xC0000201u));
  EXPECT_TRUE((refused<RouterToNodeSegment, Mpls::RouterId, bool>(
      router, RouterToNodeSegment::kPrefixField,
      {"SegmentRouting::Mappers::RouterToNodeSegment field 131 (prefix)",
       "registered key Vantre::IpGenPrefix, prior bool", "subscribed with key Mpls::RouterId"})));
  EXPECT_TRUE((refused<RouterToNodeSegmentMap, Mpls::RouterId, RouterToNodeSegment>(
      map, RouterToNodeSegmentMap::kPrefixMapField,
      {"prior SegmentRouting::Mappers::RouterToNodeSegment (counted pointer); subscribed"})));
  EXPECT_TRUE((refused<RouterToNodeSegment, Vantre::IpGenPrefix, bool>(
      router, RouterToNodeSegment::kRouterIdField, {"field 130", "no collection attribute"})));
  // A child subscription checks the child's field before any child exists.
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  EXPECT_TRUE(throwsWith<Pavo::Exception>(
      [&] {
        ChildSubscription<&RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap,
                          Vantre::IpGenPrefix, bool>
            wrong(root, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField, 5,
                  RouterToNodeSegmentMap::kPrefixMapField,
                  [](Vantre::IpGenPrefix const&, bool const*) {});
      },
      {"ChildSubscription to SegmentRouting::Mappers::RouterToNodeSegmentMap field 131 "
       "(prefixMap)",
       "subscribed with key Vantre::IpGenPrefix"}));
  EXPECT_FALSE(router->publisher()->hasSubscribers());
  EXPECT_FALSE(map->publisher()->hasSubscribers());
  EXPECT_FALSE(root->publisher()->hasSubscribers());
}

// An entity that publishes two fields on one publisher: each subscription
// hears its own field only, with its own key and prior types (a flag, a
// counted pointer to the removed child), until it is reset; it does not keep
// the entity alive, and is told once when the entity goes first.
TEST(SubscriptionTest, HearsItsOwnFieldUntilResetOrTheEntityGoes) {
  TestSupport::TrackerGuard guard;
  auto const root = pqIdxToPathKeyMapFactory();
  auto entry = root->pathKeyMapIs(Cspf::Lfa::PqIdx(1));
  Cspf::PathKey const key(Cspf::VertexIdentifierBase::fromIpv4RouterId(0xC0000201u), 7);
  std::vector<std::string> seen;
  int gone = 0;
  std::optional<Subscription<PqIdxToPathKey, Cspf::PathKey, bool>> paths;
  paths.emplace(
      entry, PqIdxToPathKey::kPathKeyField,
      [&](Cspf::PathKey const& k, bool const* prior) {
        seen.push_back(k.toString() + (prior ? " was " + std::to_string(*prior) : " new"));
      },
      [&] { ++gone; });
  Subscription<PqIdxToPathKey, unsigned char, Pavo::Ptr<AlgoToPathKeySet>> algos(
      entry, PqIdxToPathKey::kAlgoSetField,
      [&](unsigned char const& algo, Pavo::Ptr<AlgoToPathKeySet> const* prior) {
        seen.push_back("algo " + std::to_string(algo) +
                       (prior ? " removed " + std::to_string((*prior)->algo()) : " new"));
      });
  EXPECT_EQ(entry->useCount(), 2u);
  entry->pathKeyIs(key, true);
  entry->algoSetIs(128);
  entry->pathKeyIs(key, false);
  entry->algoSetDel(128);
  entry->pathKeyDel(key);
  algos.reset();
  entry->algoSetIs(128);
  std::string const k = key.toString();
  EXPECT_EQ(seen, (std::vector<std::string>{k + " new", "algo 128 new", k + " was 1",
                                            "algo 128 removed 128", k + " was 0"}));
  root->pathKeyMapDel(Cspf::Lfa::PqIdx(1));
  entry.reset();
  EXPECT_EQ(gone, 1);
  EXPECT_FALSE(paths->active());
  EXPECT_EQ(paths->entity(), nullptr);
  paths.reset();  // under AddressSanitizer: touches nothing of the dead entity
  EXPECT_EQ(gone, 1);
}

using AlgoRouters = ChildSubscription<&RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap,
                                      Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>>;
constexpr unsigned char kWatched = 0;

// The routers of the map under kWatched, whatever becomes of it.
std::set<Mpls::RouterId> routersOf(RouterToNodeSegmentMapPerAlgo const& root) {
  std::set<Mpls::RouterId> out;
  if (auto const map = root.routerToNodeSegmentMap(kWatched)) {
    for (auto r = map->prefixMapCollection().begin(); !r.atEnd(); ++r)
      out.insert(r->key());
  }
  return out;
}

// Model: what an agent that only listens knows of the watched map's routers
// (added on addition, dropped on removal, all dropped on detachment) is at
// every step what the map holds, through random creations and removals of
// the watched map and of another, router changes in both, and changes of a
// removed map kept alive elsewhere, which must not be heard. A second
// subscription, reset halfway, hears nothing more and leaves both entities
// alone.
TEST(ChildSubscriptionTest, ListenersKnowTheWatchedMapWhetherItExistsOrNot) {
  TestSupport::TrackerGuard guard;
  std::mt19937 rng(7);
  auto pick = [&](unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng); };
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  std::set<Mpls::RouterId> known;
  RouterToNodeSegmentMap* attached = nullptr;
  int attachments = 0;
  AlgoRouters watch(
      root, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField, kWatched,
      RouterToNodeSegmentMap::kPrefixMapField,
      [&](Mpls::RouterId const& r, Pavo::Ptr<RouterToNodeSegment> const* prior) {
        if (prior)
          known.erase(r);
        else
          known.insert(r);
      },
      [&](RouterToNodeSegmentMap* map) {
        EXPECT_NE(map == nullptr, attached == nullptr) << "told twice";
        attached = map;
        attachments += map != nullptr;
        if (map == nullptr)
          known.clear();
      });
  int quiet = 0, quietAtReset = 0;
  AlgoRouters halfway(
      root, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField, kWatched,
      RouterToNodeSegmentMap::kPrefixMapField,
      [&](Mpls::RouterId const&, Pavo::Ptr<RouterToNodeSegment> const*) { ++quiet; },
      [&](RouterToNodeSegmentMap*) { ++quiet; });
  Pavo::Ptr<RouterToNodeSegmentMap> removed;  // a removed map, alive
  for (int step = 0; step < 3000; ++step) {
    if (step == 1500) {
      halfway.reset();
      quietAtReset = quiet;
    }
    unsigned char const algo = pick(3) == 0 ? 1 : kWatched;
    Mpls::RouterId const router = Mpls::RouterId::ipv4(0x0A000001u + pick(4));
    switch (pick(6)) {
      case 0:
        removed = root->routerToNodeSegmentMapDel(algo);
        break;
      case 1:
      case 2:
        root->routerToNodeSegmentMapIs(algo)->prefixMapIs(router);
        break;
      case 3:
        if (auto map = root->routerToNodeSegmentMap(algo))
          map->prefixMapDel(router);
        break;
      case 4:
        if (removed)
          removed->prefixMapIs(router);
        break;
      default:
        removed = nullptr;
    }
    ASSERT_EQ(known, routersOf(*root)) << "step " << step;
    ASSERT_EQ(attached, root->routerToNodeSegmentMap(kWatched).get());
    ASSERT_EQ(watch.child(), attached);
    if (step >= 1500) {
      ASSERT_EQ(root->publisher()->subscriberCount(), 1u);
      ASSERT_TRUE(!attached || attached->publisher()->subscriberCount() == 1u);
    }
  }
  EXPECT_GT(attachments, 10);
  EXPECT_GT(quietAtReset, 10);
  EXPECT_EQ(quiet, quietAtReset);
  removed = nullptr;
  root.reset();  // the parent goes: detached once, inactive
  EXPECT_EQ(attached, nullptr);
  EXPECT_FALSE(watch.active());
  EXPECT_EQ(watch.child(), nullptr);
}

}  // namespace
}  // namespace SegmentRouting::Mappers
