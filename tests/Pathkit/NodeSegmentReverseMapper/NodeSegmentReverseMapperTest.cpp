// The node-segment reverse mapper against a live status table, for what the
// randomized model test does not reach: a former user's output, the flags
// around subscription and the generic interface. (Corruption met in walks
// and look-ups, a clean-up on a running mapper and the exact trace texts are
// the example scenarios'; range errors are FailedStartUpTest's.)
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "Segments.h"
#include "VekPavo/GenericIf.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;
namespace GenericIf = Vek::GenericIf;

using Mappings = std::set<std::tuple<unsigned, RouterId, IpGenPrefix>>;

// Every (algo, router, prefix) in the output.
Mappings contents(RouterToNodeSegmentMapPerAlgo const& out) {
  Mappings got;
  for (auto a = out.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
    for (auto r = a->value()->prefixMapCollection().begin(); !r.atEnd(); ++r) {
      for (auto p = r->value()->prefixCollection().begin(); !p.atEnd(); ++p)
        got.emplace(a->key(), r->key(), p->key());
    }
  }
  return got;
}

// Made through the generic interface over a former user's output: the
// start-up cleans it and subscribes once; values, the cache as a collection
// and operations by field id; the flags around subscription.
TEST(NodeSegmentReverseMapperTest, StartUpGenericInterfaceAndSubscriptionFlags) {
  TestSupport::TrackerGuard guard;
  auto status = Status::StatusIs();
  auto out = SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory();
  IpGenPrefix const p1 = hostPrefix(AddressFamily::ipv4, 1);
  RouterId const x = router(1);
  Mappings const mapped{{0, x, p1}};
  status->prefixSegmentIs(segment(p1, x));
  out->routerToNodeSegmentMapIs(7)->prefixMapIs(router(2))->prefixIs(p1, true);
  Vek::GenericValue g = GenericIf::construct(
      "SegmentRouting::Mappers::NodeSegmentReverseMapper",
      {AddressFamily(AddressFamily::ipv4), Pavo::Ptr<Status const>(status), out});
  auto const mapper = g.as<Pavo::Ptr<NodeSegmentReverseMapper>>();
  EXPECT_EQ(contents(*out), mapped);
  EXPECT_EQ(GenericIf::read(g, 131).node(), status.get());
  EXPECT_EQ(GenericIf::read(g, 132).node(), out.get());
  PrefixAlgoKey const key(p1, 0);
  EXPECT_TRUE(GenericIf::get(g, 133, key).as<RouterId>() == x);
  GenericIf::invoke(g, 138);  // doCleanup: output emptied, cache kept
  EXPECT_TRUE(contents(*out).empty());
  EXPECT_EQ(GenericIf::count(g, 133), 1u);
  GenericIf::del(g, 133, key);
  GenericIf::invoke(g, 135, {p1});  // handlePrefixSegment
  EXPECT_EQ(contents(*out), mapped);
  // doUpdateRouterToNodeSegmentMap with an absent segment removes the prefix.
  GenericIf::invoke(g, 134, {key, Kroma::SegmentRouting::PrefixSegmentWithAlgo()});
  EXPECT_TRUE(contents(*out).empty());
  EXPECT_EQ(GenericIf::count(g, 133), 0u);
  GenericIf::invoke(g, 137);  // handleInitialized rebuilds
  EXPECT_EQ(contents(*out), mapped);

  auto const subscribers = [&] { return status->publisher()->subscriberCount(); };
  EXPECT_TRUE(mapper->nodeFlag(Pavo::Node::kNotificationActive));
  mapper->hasNotificationActiveIs(true);
  EXPECT_EQ(subscribers(), 1u);
  mapper->hasNotificationActiveIs(false);
  EXPECT_EQ(subscribers(), 0u);
  EXPECT_FALSE(mapper->nodeFlag(Pavo::Node::kZombie)) << "the zombie flag is put back";
  mapper->vekDoZombieReactors(true);
  mapper->hasNotificationActiveIs(true);
  EXPECT_TRUE(mapper->nodeFlag(Pavo::Node::kZombie)) << "a set zombie flag stays set";
  EXPECT_EQ(subscribers(), 1u);
}

}  // namespace
