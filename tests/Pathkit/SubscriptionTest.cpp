#include "Pathkit/Subscription.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace SegmentRouting::Mappers {
namespace {

using PrefixWatch = Subscription<RouterToNodeSegment, Vantre::IpGenPrefix, bool>;

Mpls::RouterId const kR = Mpls::RouterId::ipv4(0xC0000201u);

TEST(SubscriptionTest, IsToldOnceWhenTheEntityGoesFirstAndDoesNotKeepItAlive) {
  TestSupport::TrackerGuard guard;
  auto router = routerToNodeSegmentMapFactory(0)->prefixMapIs(kR);
  int gone = 0;
  std::optional<PrefixWatch> watch;
  watch.emplace(
      router, RouterToNodeSegment::kPrefixField, [](Vantre::IpGenPrefix const&, bool const*) {},
      [&] { ++gone; });
  EXPECT_EQ(router->useCount(), 1u);
  router.reset();
  EXPECT_EQ(gone, 1);
  EXPECT_FALSE(watch->active());
  EXPECT_EQ(watch->entity(), nullptr);
  watch.reset();  // under AddressSanitizer: touches nothing of the dead entity
  EXPECT_EQ(gone, 1);
}

TEST(SubscriptionTest, RefusesTypesThatDisagreeWithTheRegistration) {
  auto map = routerToNodeSegmentMapFactory(0);
  auto router = map->prefixMapIs(kR);
  EXPECT_TRUE(throwsWith<Pavo::Exception>(
      [&] {
        Subscription<RouterToNodeSegment, Mpls::RouterId, bool> s(
            router, RouterToNodeSegment::kPrefixField, [](Mpls::RouterId const&, bool const*) {});
      },
      {"SegmentRouting::Mappers::RouterToNodeSegment field 131 (prefix)",
       "registered key Vantre::IpGenPrefix, prior bool", "subscribed with key Mpls::RouterId"}));
  EXPECT_TRUE(throwsWith<Pavo::Exception>(
      [&] {
        Subscription<RouterToNodeSegmentMap, Mpls::RouterId, RouterToNodeSegment> s(
            map, RouterToNodeSegmentMap::kPrefixMapField,
            [](Mpls::RouterId const&, RouterToNodeSegment const*) {});
      },
      {"prior SegmentRouting::Mappers::RouterToNodeSegment (counted pointer); subscribed"}));
  EXPECT_TRUE(throwsWith<Pavo::Exception>(
      [&] {
        PrefixWatch s(router, RouterToNodeSegment::kRouterIdField,
                      [](Vantre::IpGenPrefix const&, bool const*) {});
      },
      {"field 130", "no collection attribute"}));
  EXPECT_FALSE(router->publisher()->hasSubscribers());
  EXPECT_FALSE(map->publisher()->hasSubscribers());
}

// An entity that publishes two fields on one publisher: each subscription
// hears its own field only, with its own key and prior types (a flag, a
// counted pointer to the removed child), until it is reset.
TEST(SubscriptionTest, HearsItsOwnFieldWithTypedKeyAndPriorUntilReset) {
  TestSupport::TrackerGuard guard;
  auto const root = pqIdxToPathKeyMapFactory();
  auto const entry = root->pathKeyMapIs(Cspf::Lfa::PqIdx(1));
  Cspf::PathKey const key(Cspf::VertexIdentifierBase::fromIpv4RouterId(0xC0000201u), 7);
  std::vector<std::string> seen;
  Subscription<PqIdxToPathKey, Cspf::PathKey, bool> paths(
      entry, PqIdxToPathKey::kPathKeyField, [&](Cspf::PathKey const& k, bool const* prior) {
        seen.push_back(k.toString() + (prior ? " was " + std::to_string(*prior) : " new"));
      });
  Subscription<PqIdxToPathKey, unsigned char, Pavo::Ptr<AlgoToPathKeySet>> algos(
      entry, PqIdxToPathKey::kAlgoSetField,
      [&](unsigned char const& algo, Pavo::Ptr<AlgoToPathKeySet> const* prior) {
        seen.push_back("algo " + std::to_string(algo) +
                       (prior ? " removed " + std::to_string((*prior)->algo()) : " new"));
      });
  entry->pathKeyIs(key, true);
  entry->algoSetIs(128);
  entry->pathKeyIs(key, false);
  entry->algoSetDel(128);
  entry->pathKeyDel(key);
  paths.reset();
  algos.reset();
  entry->pathKeyIs(key, true);
  entry->algoSetIs(128);
  std::string const k = key.toString();
  EXPECT_EQ(seen, (std::vector<std::string>{k + " new", "algo 128 new", k + " was 1",
                                            "algo 128 removed 128", k + " was 0"}));
  EXPECT_FALSE(entry->publisher()->hasSubscribers());
}

}  // namespace
}  // namespace SegmentRouting::Mappers
