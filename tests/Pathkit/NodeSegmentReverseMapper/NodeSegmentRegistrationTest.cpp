// The module's registration: the four types under their names and indexes,
// field ids in declaration order, and every attribute and operation reached
// through the generic interface with the entities' own publications.
#include <gtest/gtest.h>

#include "Kroma/SegmentRouting/Status.h"
#include "OutputRecorder.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pavo/InspectModule.h"
#include "Pavo/Inspector.h"
#include "Segments.h"
#include "Vek/GenericIf.h"
#include "support/TrackedNode.h"

namespace {

using namespace SegmentRouting::Mappers;
using NodeSegTest::hostPrefix;
using NodeSegTest::router;
using Vek::GenericValue;
namespace GenericIf = Vek::GenericIf;

constexpr Vantre::AddressFamily kV4 = Vantre::AddressFamily::ipv4;

TEST(NodeSegmentRegistrationTest, TypesAttributesAndFieldIds) {
  auto const* module = Pavo::ModuleInspectData::module("Pathkit/NodeSegmentReverseMapper");
  ASSERT_NE(module, nullptr);
  struct Expected {
    char const* type;
    std::vector<char const*> attrs;  // from field id 130 on
  };
  std::vector<Expected> const expected = {
      {"SegmentRouting::Mappers::RouterToNodeSegment", {"routerId", "prefix"}},
      {"SegmentRouting::Mappers::RouterToNodeSegmentMap", {"algo", "prefixMap"}},
      {"SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo", {"routerToNodeSegmentMap"}},
      {"SegmentRouting::Mappers::NodeSegmentReverseMapper",
       {"af", "srStatus", "routerToNodeSegmentMapPerAlgo", "prefixToOriginatorCache",
        "doUpdateRouterToNodeSegmentMap", "handlePrefixSegment", "handlePrefixSegmentWithAlgo",
        "handleInitialized", "doCleanup"}},
  };
  ASSERT_EQ(module->typeCount(), expected.size());
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    auto const* type = module->type(i);
    EXPECT_EQ(type->name(), expected[i].type);
    ASSERT_EQ(type->attrCount(), expected[i].attrs.size()) << type->name();
    for (std::size_t a = 0; a < expected[i].attrs.size(); ++a) {
      auto const* attr = type->attr(static_cast<Pavo::FieldId>(130 + a));
      ASSERT_NE(attr, nullptr);
      EXPECT_EQ(attr->name(), expected[i].attrs[a]) << type->name();
    }
  }
  auto const& ctor = module->type(3)->ctorArgs();
  ASSERT_EQ(ctor.size(), 3u);
  EXPECT_EQ(ctor[0].name + " " + ctor[1].name + " " + ctor[2].name,
            "af srStatus routerToNodeSegmentMapPerAlgo");
  auto root = routerToNodeSegmentMapPerAlgoFactory();
  auto algoMap = root->routerToNodeSegmentMapIs(128);
  auto entry = algoMap->prefixMapIs(router(1));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(entry->typeData()), module->type(0));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(algoMap->typeData()), module->type(1));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(root->typeData()), module->type(2));
}

// Generic writes go through the entities' own mutators, so they publish.
TEST(NodeSegmentRegistrationTest, GenericInterfaceReachesTheMaps) {
  TestSupport::TrackerGuard guard;
  GenericValue root =
      GenericIf::construct("SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo");
  GenericValue algoMap = GenericIf::set(root, 130, std::uint8_t{0}, true);
  ASSERT_TRUE(algoMap.holdsEntity());
  EXPECT_EQ(GenericIf::read(algoMap, 130).as<std::uint8_t>(), 0u);
  EXPECT_EQ(GenericIf::count(root, 130), 1u);
  GenericValue entry = GenericIf::set(algoMap, 131, router(2), true);
  EXPECT_TRUE(GenericIf::read(entry, 130).as<Mpls::RouterId>() == router(2));
  NodeSegTest::OutputRecorder recorder(false);
  recorder.watch(static_cast<RouterToNodeSegment&>(*entry.node()), 0);
  GenericIf::set(entry, 131, hostPrefix(kV4, 1), true);
  GenericIf::set(entry, 131, hostPrefix(kV4, 2), false);
  EXPECT_TRUE(GenericIf::get(entry, 131, hostPrefix(kV4, 1)).as<bool>());
  EXPECT_FALSE(GenericIf::get(entry, 131, hostPrefix(kV4, 2)).as<bool>());
  EXPECT_FALSE(GenericIf::get(entry, 131, hostPrefix(kV4, 3)).as<bool>());  // absent reads false
  EXPECT_FALSE(GenericIf::del(entry, 131, hostPrefix(kV4, 2)).as<bool>());  // stored false
  EXPECT_EQ(GenericIf::count(entry, 131), 1u);
  EXPECT_EQ(recorder.events().size(), 3u);  // two additions, one removal
  GenericValue removed = GenericIf::del(algoMap, 131, router(2));
  EXPECT_EQ(removed.node(), entry.node());
  EXPECT_EQ(GenericIf::count(algoMap, 131), 0u);
}

// The mapper: its values, the cache as a collection, its operations and its
// constructor, all by field id.
TEST(NodeSegmentRegistrationTest, GenericInterfaceReachesTheMapper) {
  TestSupport::TrackerGuard guard;
  auto status = Kroma::SegmentRouting::Status::StatusIs();
  status->prefixSegmentIs(NodeSegTest::segment(hostPrefix(kV4, 1), router(1)));
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  GenericValue mapper = GenericIf::construct(
      "SegmentRouting::Mappers::NodeSegmentReverseMapper",
      {GenericValue(kV4), GenericValue(Pavo::Ptr<Kroma::SegmentRouting::Status const>(status)),
       GenericValue(out)});
  auto* typed = dynamic_cast<NodeSegmentReverseMapper*>(mapper.node());
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(typed->nodeFlag(Pavo::Node::kNotificationActive));
  EXPECT_TRUE(GenericIf::read(mapper, 130).as<Vantre::AddressFamily>() == kV4);
  EXPECT_EQ(GenericIf::read(mapper, 131).node(), status.get());
  EXPECT_EQ(GenericIf::read(mapper, 132).node(), out.get());

  Mpls::SegmentRouting::PrefixAlgoKey const key(hostPrefix(kV4, 1), 0);
  EXPECT_EQ(GenericIf::count(mapper, 133), 1u);
  EXPECT_TRUE(GenericIf::get(mapper, 133, key).as<Mpls::RouterId>() == router(1));

  GenericIf::invoke(mapper, 138);  // doCleanup: output emptied, cache kept
  EXPECT_EQ(out->routerToNodeSegmentMapCount(), 0u);
  EXPECT_EQ(GenericIf::count(mapper, 133), 1u);
  GenericIf::del(mapper, 133, key);
  GenericIf::invoke(mapper, 135, {GenericValue(hostPrefix(kV4, 1))});  // handlePrefixSegment
  ASSERT_TRUE(out->routerToNodeSegmentMap(0));
  EXPECT_TRUE(out->routerToNodeSegmentMap(0)->prefixMap(router(1))->prefixHas(hostPrefix(kV4, 1)));

  // doUpdateRouterToNodeSegmentMap with an absent segment removes the prefix again.
  GenericIf::invoke(
      mapper, 134,
      {GenericValue(key), GenericValue(Kroma::SegmentRouting::PrefixSegmentWithAlgo())});
  EXPECT_EQ(out->routerToNodeSegmentMapCount(), 0u);
  EXPECT_EQ(GenericIf::count(mapper, 133), 0u);
  GenericIf::invoke(mapper, 137);  // handleInitialized rebuilds
  EXPECT_EQ(out->routerToNodeSegmentMapCount(), 1u);
  EXPECT_NE(Pavo::Inspect::inspect(*out).find("[10.0.0.1/32] = true"), std::string::npos);
}

}  // namespace
