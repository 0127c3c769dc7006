// The keyed attributes and hashed collections of both modules' entities: the
// node-segment maps, PQ-index and P-router maps, per-protocol-instance tables
// and the connector map. One typed model test drives every keyed attribute
// (sets, flagged maps, maps of values, maps of children made from a key or
// handed in) through the generic interface with random operations, and checks
// results, contents, type data, each publication and the references on
// children against a plain model. One table test checks each hashed
// collection's constant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"
#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/ScopedSubscriber.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectModule.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using namespace SegmentRouting::Mappers;
using Cspf::PathKey;
using Cspf::VertexIdentifierBase;
using Cspf::Lfa::PqIdx;
using Vantre::IpGenPrefix;
using GV = Vek::GenericValue;
namespace GenericIf = Vek::GenericIf;
using A = AlgoToPathKeySet;
using P = PqIdxToPathKey;
using M = PqIdxToPathKeyMap;
using R = PRouterToPqIdx;
using RM = PRouterToPqIdxMap;
using LT = AdjSegmentListPerProtoId;
using NT = NeighborSetPerProtoId;
using ST = AdjSegmentSetPerProtoId;
using C = AdjSegmentConnectorMapV2;
using NE = RouterToNodeSegment;
using NM = RouterToNodeSegmentMap;
using NR = RouterToNodeSegmentMapPerAlgo;
using AdjKey = Kroma::SegmentRouting::AdjacencySegmentKey;
using Mpls::SegmentRouting::SegmentIdentifier;

struct Make {
  static PathKey key(PathKey*, unsigned i) {
    return {VertexIdentifierBase::fromIpv4RouterId(i % 2), i};
  }
  static IpGenPrefix key(IpGenPrefix*, unsigned i) { return IpGenPrefix::ipv4(i << 8, 24); }
  static PqIdx key(PqIdx*, unsigned i) { return PqIdx(static_cast<std::uint16_t>(i * 4099)); }
  static unsigned char key(unsigned char*, unsigned i) { return static_cast<unsigned char>(i); }
  static Mpls::RouterId key(Mpls::RouterId*, unsigned i) { return Mpls::RouterId::ipv4(i); }
  static std::uint16_t key(std::uint16_t*, unsigned i) { return std::uint16_t(i * 257); }
  static Cspf::LinkKey key(Cspf::LinkKey*, unsigned i) {
    Cspf::LinkDescription d;
    d.linkId = i;
    return {d, Cspf::IgpRouterId()};
  }
  static AdjKey key(AdjKey*, unsigned i) { return {SegmentIdentifier(i, 0), {}}; }
  static AdjSegmentEntry key(AdjSegmentEntry*, unsigned i) {
    return {i % 2 == 0, 10, SegmentIdentifier(16 + i, 0)};
  }
};
template <class K>
K keyOf(unsigned i) {
  return Make::key(static_cast<K*>(nullptr), i);
}
// Values 0..3 of a table: empty, one member, two, two others (a list: the
// second one's bool changed).
template <class V>
V valueOf(unsigned i) {
  V v;
  for (unsigned j = 0; j < std::min(i, 2u); ++j) {
    if constexpr (std::is_same_v<V, AdjSegmentList>)
      v.adjSegmentEntryIs(keyOf<AdjSegmentEntry>(j), i != 3 || j == 0);
    else if constexpr (std::is_same_v<V, NeighborSet>)
      v.linkIs(keyOf<Cspf::LinkKey>(j + i / 3));
    else
      v.adjSegmentEntryIs(keyOf<AdjSegmentEntry>(j + i / 3));
  }
  return v;
}

// children: made by the owner from a key; given: made by the caller and
// stored under the child's own key, by identity.
enum class Kind { set, flags, values, children, given };

// One keyed attribute: its kind, its owner (made by `make`, registered at
// `kIndex`), field id, whether it publishes, its key, what a publication's
// prior points at, and the owner's removal of all.
template <Kind kKindV, auto make, std::uint32_t kIndexV, Pavo::FieldId kFieldV, bool kPublishesV,
          class KeyT, class PriorT, auto kDelAll>
struct Attr {
  using Key = KeyT;
  using Prior = PriorT;  // a set's removed key, a flag, a value or a removed child
  static constexpr Kind kKind = kKindV;
  static constexpr std::uint32_t kIndex = kIndexV;
  static constexpr Pavo::FieldId kField = kFieldV;
  static constexpr bool kPublishes = kPublishesV;
  static auto owner() { return make(); }
  static void delAll(auto& owner) { (owner.*kDelAll)(); }
  static constexpr bool kHoldsChildren = kKind == Kind::children || kKind == Kind::given;
  // What a removal of an absent key answers: false, an empty value or a null child.
  static GV absent() { return kKind <= Kind::flags ? GV(false) : GV(Prior()); }
  // What a set stores: a flag; one of four values; the stored child again or
  // a new one with the key (given).
  static GV stored(unsigned r, Key const& k, GV const& old) {
    if constexpr (kKind == Kind::values) {
      return GV(valueOf<Prior>(r % 4));
    } else if constexpr (kKind == Kind::given) {
      return r % 2 && !(old == GV()) ? old : GV(Pavo::makePtr<typename Prior::element_type>(k));
    } else {
      return GV(r % 2 != 0);
    }
  }
  // The prior of a removal, from the key and the stored value.
  static GV prior(Key const& k, GV const& stored) { return kKind == Kind::set ? GV(k) : stored; }
};

using Attrs =
    ::testing::Types<Attr<Kind::flags, +[] { return Pavo::makePtr<NE>(Mpls::RouterId::ipv4(7)); },
                          0, 131, true, IpGenPrefix, bool, &NE::prefixDelAll>,
                     Attr<Kind::children, +[] { return routerToNodeSegmentMapFactory(7); }, 1, 131,
                          true, Mpls::RouterId, Pavo::Ptr<NE>, &NM::prefixMapDelAll>,
                     Attr<Kind::children, &routerToNodeSegmentMapPerAlgoFactory, 2, 130, true,
                          unsigned char, Pavo::Ptr<NM>, &NR::routerToNodeSegmentMapDelAll>,
                     Attr<Kind::set, +[] { return Pavo::makePtr<A>(7); }, 9, 131, true, PathKey,
                          PathKey, &A::pathKeyDelAll>,
                     Attr<Kind::set, +[] { return Pavo::makePtr<A>(7); }, 9, 132, true, IpGenPrefix,
                          IpGenPrefix, &A::prefixKeyDelAll>,
                     Attr<Kind::flags, +[] { return Pavo::makePtr<P>(PqIdx(7)); }, 10, 131, true,
                          PathKey, bool, &P::pathKeyDelAll>,
                     Attr<Kind::children, +[] { return Pavo::makePtr<P>(PqIdx(7)); }, 10, 132, true,
                          unsigned char, Pavo::Ptr<A>, &P::algoSetDelAll>,
                     Attr<Kind::children, &pqIdxToPathKeyMapFactory, 11, 130, true, PqIdx,
                          Pavo::Ptr<P>, &M::pathKeyMapDelAll>,
                     Attr<Kind::flags, +[] { return Pavo::makePtr<R>(Mpls::RouterId::ipv4(7)); },
                          12, 131, false, PqIdx, bool, &R::pqIndexDelAll>,
                     Attr<Kind::children, &pRouterToPqIdxMapFactory, 13, 130, false, Mpls::RouterId,
                          Pavo::Ptr<R>, &RM::pqIndexMapDelAll>,
                     Attr<Kind::values, +[] { return adjSegmentListPerProtoIdFactory(7); }, 2, 131,
                          true, Cspf::LinkKey, AdjSegmentList, &LT::adjSegmentListDelAll>,
                     Attr<Kind::values, +[] { return neighborSetPerProtoIdFactory(7); }, 4, 131,
                          true, AdjKey, NeighborSet, &NT::neighborSetDelAll>,
                     Attr<Kind::values, +[] { return adjSegmentSetPerProtoIdFactory(7); }, 6, 131,
                          true, AdjKey, AdjSegmentSet, &ST::adjSegmentSetDelAll>,
                     Attr<Kind::given, &adjSegmentConnectorMapV2Factory, 7, 130, true,
                          std::uint16_t, Pavo::Ptr<LT>, &C::mapDelAll>,
                     Attr<Kind::given, &adjSegmentConnectorMapV2Factory, 7, 131, true,
                          std::uint16_t, Pavo::Ptr<NT>, &C::cacheDelAll>>;

template <class T>
class KeyedAttrTest : public ::testing::Test {};
TYPED_TEST_SUITE(KeyedAttrTest, Attrs);

// Each publication: field id, key and the prior value (empty for a new key).
template <class T>
struct Recorder {
  using Event = std::tuple<Pavo::FieldId, typename T::Key, GV>;
  std::vector<Event> events;
  bool on = false;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const* key,
                       void const* prior) {
    GV const p = prior ? GV(*static_cast<typename T::Prior const*>(prior)) : GV();
    Record::ownerOf(s).events.emplace_back(f, *static_cast<typename T::Key const*>(key), p);
  }
  using Record = Pavo::ScopedSubscriber<Recorder, &Recorder::dispatch>;
  Record record{*this};
};

TYPED_TEST(KeyedAttrTest, RandomOperationsMatchTheModelAndPublishEachChangeOnce) {
  using T = TypeParam;
  using Key = typename T::Key;
  TestSupport::TrackerGuard guard;
  Recorder<T> rec;
  auto owner = T::owner();
  GV g(owner);
  auto const* type = Pavo::ModuleInspectData::typeOf(owner->typeData());
  ASSERT_EQ(type->module()->type(T::kIndex), type);
  ASSERT_EQ(owner->publisher() != nullptr, T::kPublishes) << "only notifying entities publish";
  std::map<Key, GV> model;
  std::vector<typename Recorder<T>::Event> expected;
  std::vector<std::pair<Key, GV>> held;  // removed or replaced children, checked at the end
  auto const note = [&](Key const& k, GV const& prior) {
    if (rec.on)
      expected.emplace_back(T::kField, k, prior);
  };
  std::mt19937 rng(11);
  for (int step = 0; step < 400; ++step) {
    Key const k = keyOf<Key>(rng() % 6);
    bool const present = model.contains(k);
    GV const old = present ? model[k] : GV();
    unsigned const r = rng();
    switch (rng() % 8) {
      case 0:
        if (T::kPublishes && rec.on)
          rec.record.unsubscribe();
        else if (T::kPublishes)
          rec.record.subscribe(*owner->publisher());
        rec.on = T::kPublishes && !rec.on;
        break;
      case 1:  // member by member in the collection's order, when subscribed; a
               // visitor may delete the member it stands on
        GenericIf::iterate(g, T::kField, [&](GV const& key, GV const&) {
          note(key.as<Key>(), T::prior(key.as<Key>(), model.at(key.as<Key>())));
          if (r % 2 != 0)
            GenericIf::del(g, T::kField, key);
        });
        model.clear();
        T::delAll(*owner);
        break;
      case 2:
      case 3:
        EXPECT_EQ(GenericIf::del(g, T::kField, k), present ? old : T::absent());
        if (present && T::kHoldsChildren)
          held.emplace_back(k, old);
        if (present)
          note(k, T::prior(k, old));
        model.erase(k);
        break;
      default:
        GV const value = T::stored(r, k, old);
        if (T::kKind == Kind::given && r % 7 == 0) {  // refused, nothing changes
          EXPECT_TRUE(throwsWith<Pavo::NullPointerException>(
              [&] { GenericIf::set(g, T::kField, k, GV(typename T::Prior())); },
              {C::kTypeName, std::to_string(T::kField)}));
          break;
        }
        if (T::kKind == Kind::set && !(value == GV(true))) {
          EXPECT_THROW(GenericIf::set(g, T::kField, k, false), Pavo::Exception) << "set-false";
          break;
        }
        // A given child is stored under its own key, not the one named here.
        Key const named = T::kKind == Kind::given ? keyOf<Key>(99) : k;
        GV const got = GenericIf::set(g, T::kField, named, value);
        GV const now = T::kKind == Kind::children ? got : value;
        EXPECT_TRUE(!present || T::kKind != Kind::children || now == old) << "the same child";
        if (!present || !(now == old))
          note(k, old);
        if (present && !(now == old) && T::kKind == Kind::given)
          held.emplace_back(k, old);
        model[k] = now;
    }
    ASSERT_EQ(GenericIf::count(g, T::kField), model.size()) << "step " << step;
    for (auto const& [key, v] : model)
      EXPECT_EQ(GenericIf::get(g, T::kField, key), v);
  }
  EXPECT_EQ(rec.events, expected);
  EXPECT_EQ(expected.size() > 50, T::kPublishes) << "the run exercised publication";
  rec.events.clear();  // the priors hold removed children too
  expected.clear();
  EXPECT_EQ(held.size() > 20, T::kHoldsChildren) << "the run removed children";
  for (auto const& [key, child] : held) {
    EXPECT_EQ(child.node()->useCount(), 1u) << "a removed child is its holder's alone";
    EXPECT_EQ(GenericIf::read(child, 130), GV(key)) << "and keeps its key";
  }
  for (auto const& entry : model) {
    if (T::kHoldsChildren) {
      EXPECT_EQ(entry.second.node()->useCount(), 2u)
          << "one reference by the map, one by the model";
    }
  }
}

// A child of the PQ-index and P-router maps is made only by its parent: the
// generic interface refuses to make one on its own.
TEST(KeyedAttrChildTest, IsNotConstructedOutsideItsParent) {
  for (std::string const type : {"AlgoToPathKeySet", "PqIdxToPathKey", "PRouterToPqIdx"}) {
    std::string const name = "SegmentRouting::Mappers::" + type;
    EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { GenericIf::construct(name, {GV(7u)}); },
                                            {name + " has no generic constructor"}));
  }
}

// Every hashed collection of both modules with its constant. A collection
// hashes a key in one of four ways, each with the collection's constant: a
// value type's own hash seeded with the process seed XOR the constant, a
// plain integer hashed with it, a 16-bit value's single attribute hashed
// under that seed, or a key's seedless hash handed over with it. A wrong
// constant changes nothing but every such collection's order, silently.
//
// A collection's constant, its hash of a sample key, and that key's hash for
// a given constant.
struct Row {
  std::uint32_t constant;
  std::uint32_t hashed;
  std::function<std::uint32_t(std::uint32_t)> expected;
};

template <class Collection, class Key, class Way>
Row row(std::uint32_t constant, Key const& key, Way way) {
  return {constant, Collection::hashOf(key), [key, way](std::uint32_t c) { return way(key, c); }};
}

TEST(HashConstantsTest, EveryHashedCollectionHashesWithItsConstant) {
  std::uint32_t const seed = Vek::HashHelper::hashSeed32();
  auto const seeded = [seed](auto const& key, std::uint32_t c) { return key.hash(seed ^ c); };
  auto const integer = [](auto key, std::uint32_t c) { return Vek::hashInteger(key, c); };
  auto const singleAttr = [seed](PqIdx key, std::uint32_t c) {
    return Vek::hashSingleAttr(seed ^ c, key.value());
  };
  auto const handedOver = [](PathKey const& key, std::uint32_t c) {
    return Vek::hashHandedOver(key.hash(), c);
  };
  Mpls::RouterId const router = Mpls::RouterId::ipv4(0xC0000201u);
  Vantre::IpGenPrefix const prefix = Vantre::IpGenPrefix::ipv4(0x0A000000u, 8);
  Cspf::LinkDescription link;
  link.linkId = 9;
  Cspf::LinkKey const linkKey(link, Cspf::IgpRouterId());
  Kroma::SegmentRouting::AdjacencySegmentKey const sid(
      Mpls::SegmentRouting::SegmentIdentifier(24001, 0), router);
  PathKey const path(Cspf::VertexIdentifierBase::fromIpv4RouterId(0xC0000202u), 7);
  PqIdx const pqIdx(4099);
  unsigned short const protoId = 2;
  unsigned char const algo = 128;
  std::vector<Row> const rows = {
      // node-segment maps and the reverse mapper's cache
      row<RouterToNodeSegmentMap::PrefixMapCollection>(297630782u, router, seeded),
      row<RouterToNodeSegmentMapPerAlgo::RouterToNodeSegmentMapCollection>(3997538310u, algo,
                                                                           integer),
      row<NodeSegmentReverseMapper::PrefixToOriginatorCacheCollection>(
          2987357345u, Mpls::SegmentRouting::PrefixAlgoKey(prefix, algo), seeded),
      // adjacency values, per-protoId tables, connector map, the mapper's cache
      row<NeighborSet::Collection>(3187245051u, linkKey, seeded),
      row<AdjSegmentSet::Collection>(42316860u, AdjSegmentEntry(true, 10, sid.sid()), seeded),
      row<AdjSegmentListPerProtoId::Collection>(2931124741u, linkKey, seeded),
      row<NeighborSetPerProtoId::Collection>(2244204891u, sid, seeded),
      row<AdjSegmentSetPerProtoId::Collection>(2080700746u, sid, seeded),
      row<AdjSegmentConnectorMapV2::MapCollection>(524521858u, protoId, integer),
      row<AdjSegmentConnectorMapV2::CacheCollection>(3690883250u, protoId, integer),
      row<AdjacencySegmentMapperV2::AdjSegmentEntryCacheCollection>(3184209212u, protoId, integer),
      // PQ-index and P-router maps
      row<AlgoToPathKeySet::PathKeyCollection>(4229093608u, path, handedOver),
      row<AlgoToPathKeySet::PrefixKeyCollection>(312797146u, prefix, seeded),
      row<PqIdxToPathKey::PathKeyCollection>(2352440314u, path, handedOver),
      row<PqIdxToPathKey::AlgoSetCollection>(608949734u, algo, integer),
      row<PqIdxToPathKeyMap::PathKeyMapCollection>(243582325u, pqIdx, singleAttr),
      row<PRouterToPqIdx::PqIndexCollection>(512710871u, pqIdx, singleAttr),
      row<PRouterToPqIdxMap::PqIndexMapCollection>(3591295307u, router, seeded),
  };
  for (Row const& r : rows) {
    EXPECT_EQ(r.hashed, r.expected(r.constant)) << "the collection of " << r.constant;
    EXPECT_NE(r.hashed, r.expected(r.constant ^ 1))
        << "a hash blind to the constant " << r.constant;
  }
}

}  // namespace
