// The PQ-index and P-router maps. One typed model test drives every keyed
// attribute of both families (sets, flagged maps, maps of children) with
// random operations and checks results, contents and each publication against
// a plain model; then what destroying a root publishes, and the registration.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <vector>

#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/InspectModule.h"
#include "Vek/GenericIf.h"
#include "support/TrackedNode.h"

namespace {

using namespace SegmentRouting::Mappers;
using Cspf::Lfa::PqIdx;
using Vek::GenericValue;
namespace GenericIf = Vek::GenericIf;

template <class K>
K keyOf(unsigned i);
template <>
Cspf::PathKey keyOf(unsigned i) {  // two destinations, so the hash mixes both fields
  return {Cspf::VertexIdentifierBase::fromIpv4RouterId(0x0A000001u + i % 2), i / 2};
}
template <>
Vantre::IpGenPrefix keyOf(unsigned i) {
  return Vantre::IpGenPrefix::ipv4(0x0A000000u + i, 32);
}
template <>
PqIdx keyOf(unsigned i) {
  return PqIdx(static_cast<std::uint16_t>(i * 4099));
}
template <>
unsigned char keyOf(unsigned i) {
  return static_cast<unsigned char>(i * 37);
}
template <>
Mpls::RouterId keyOf(unsigned i) {
  return Mpls::RouterId::ipv4(0xC0000200u + i);
}

// A child gets one member of its own when created, so a removed child can be
// checked for its contents.
void mark(AlgoToPathKeySet& c) {
  c.prefixKeyIs(keyOf<Vantre::IpGenPrefix>(c.algo()));
}
bool marked(AlgoToPathKeySet const& c) {
  return c.prefixKeyHas(keyOf<Vantre::IpGenPrefix>(c.algo())) && c.prefixKeyCount() == 1;
}
void mark(PqIdxToPathKey& c) {
  c.pathKeyIs(keyOf<Cspf::PathKey>(c.pqIdx().value()), false);
}
bool marked(PqIdxToPathKey const& c) {
  return c.pathKeyHas(keyOf<Cspf::PathKey>(c.pqIdx().value())) && c.pathKeyCount() == 1;
}
void mark(PRouterToPqIdx& c) {
  c.pqIndexIs(PqIdx(c.router().rtrIdValue() & 0xFFFF), true);
}
bool marked(PRouterToPqIdx const& c) {
  return c.pqIndex(PqIdx(c.router().rtrIdValue() & 0xFFFF)) && c.pqIndexCount() == 1;
}

enum class Kind { set, flags, children };

// One keyed attribute: owner, kind, field id, whether it publishes, and its
// owner's mutators and collection accessor.
template <class O, Kind kKindV, Pavo::FieldId kFieldV, bool kPublishesV, auto kIsV, auto kDelV,
          auto kDelAllV, auto kCollV>
struct Attr {
  using Owner = O;
  using Coll = std::remove_cvref_t<std::invoke_result_t<decltype(kCollV), O const&>>;
  using Key = typename Coll::Key;
  using DelResult = std::invoke_result_t<decltype(kDelV), O&, Key const&>;
  static constexpr Kind kKind = kKindV;
  static constexpr Pavo::FieldId kField = kFieldV;
  static constexpr bool kPublishes = kPublishesV;
  static constexpr auto kIs = kIsV;
  static constexpr auto kDel = kDelV;
  static constexpr auto kDelAll = kDelAllV;
  static Coll const& coll(O const& o) { return (o.*kCollV)(); }
};

Pavo::Ptr<AlgoToPathKeySet> makeOwner(AlgoToPathKeySet*) {
  return Pavo::makePtr<AlgoToPathKeySet>(3);
}
Pavo::Ptr<PqIdxToPathKey> makeOwner(PqIdxToPathKey*) {
  return Pavo::makePtr<PqIdxToPathKey>(PqIdx(3));
}
Pavo::Ptr<PqIdxToPathKeyMap> makeOwner(PqIdxToPathKeyMap*) {
  return pqIdxToPathKeyMapFactory();
}
Pavo::Ptr<PRouterToPqIdx> makeOwner(PRouterToPqIdx*) {
  return Pavo::makePtr<PRouterToPqIdx>(keyOf<Mpls::RouterId>(3));
}
Pavo::Ptr<PRouterToPqIdxMap> makeOwner(PRouterToPqIdxMap*) {
  return pRouterToPqIdxMapFactory();
}

using A = AlgoToPathKeySet;
using P = PqIdxToPathKey;
using M = PqIdxToPathKeyMap;
using R = PRouterToPqIdx;
using RM = PRouterToPqIdxMap;
using Attrs =
    ::testing::Types<Attr<A, Kind::set, 131, true, &A::pathKeyIs, &A::pathKeyDel, &A::pathKeyDelAll,
                          &A::pathKeyCollection>,
                     Attr<A, Kind::set, 132, true, &A::prefixKeyIs, &A::prefixKeyDel,
                          &A::prefixKeyDelAll, &A::prefixKeyCollection>,
                     Attr<P, Kind::flags, 131, true, &P::pathKeyIs, &P::pathKeyDel,
                          &P::pathKeyDelAll, &P::pathKeyCollection>,
                     Attr<P, Kind::children, 132, true, &P::algoSetIs, &P::algoSetDel,
                          &P::algoSetDelAll, &P::algoSetCollection>,
                     Attr<M, Kind::children, 130, true, &M::pathKeyMapIs, &M::pathKeyMapDel,
                          &M::pathKeyMapDelAll, &M::pathKeyMapCollection>,
                     Attr<R, Kind::flags, 131, false, &R::pqIndexIs, &R::pqIndexDel,
                          &R::pqIndexDelAll, &R::pqIndexCollection>,
                     Attr<RM, Kind::children, 130, false, &RM::pqIndexMapIs, &RM::pqIndexMapDel,
                          &RM::pqIndexMapDelAll, &RM::pqIndexMapCollection>>;

template <class T>
class KeyedAttrTest : public ::testing::Test {};
TYPED_TEST_SUITE(KeyedAttrTest, Attrs);

// A model value: the flag, 1 for a set member, the child's address for a map
// of children. A set publishes the removed key as prior: 1 when it is the key.
using ModelValue = std::uintptr_t;

template <class T>
ModelValue modelOf(void const* stored, typename T::Key const& key) {
  if constexpr (T::kKind == Kind::set)
    return *static_cast<typename T::Key const*>(stored) == key;
  else if constexpr (T::kKind == Kind::flags)
    return *static_cast<bool const*>(stored);
  else
    return reinterpret_cast<ModelValue>(static_cast<typename T::DelResult const*>(stored)->get());
}

template <class T>
struct Recorder {
  struct Event {
    Pavo::FieldId field;
    typename T::Key key;
    std::optional<ModelValue> prior;
    bool operator==(Event const&) const = default;
  };
  Pavo::Subscriber record{&dispatch};  // first: dispatch finds the recorder from it
  std::vector<Event> events;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const* key,
                       void const* prior) {
    auto const& k = *static_cast<typename T::Key const*>(key);
    auto p = prior ? std::optional(modelOf<T>(prior, k)) : std::nullopt;
    reinterpret_cast<Recorder*>(s)->events.push_back({f, k, p});
  }
};

TYPED_TEST(KeyedAttrTest, RandomOperationsMatchTheModelAndPublishEachChangeOnce) {
  using T = TypeParam;
  using Key = typename T::Key;
  TestSupport::TrackerGuard guard;
  Recorder<T> rec;
  auto owner = makeOwner(static_cast<typename T::Owner*>(nullptr));
  ASSERT_EQ(owner->publisher() != nullptr, T::kPublishes) << "only notifying entities publish";
  std::map<Key, ModelValue> model;
  std::vector<typename Recorder<T>::Event> expected;
  std::vector<typename T::DelResult> held;  // removed children, checked at the end
  std::mt19937 rng(11);
  bool subscribed = false;
  auto const note = [&](Key const& k, std::optional<ModelValue> prior) {
    if (subscribed)
      expected.push_back({T::kField, k, prior});
  };
  for (int step = 0; step < 400; ++step) {
    Key const k = keyOf<Key>(rng() % 6);
    auto const found = model.find(k);
    bool const present = found != model.end();
    switch (rng() % 8) {
      case 0:
        if (T::kPublishes && !subscribed)
          owner->publisher()->subscriberAdd(&rec.record, false);
        else if (T::kPublishes)
          owner->publisher()->subscriberRemove(&rec.record);
        subscribed = T::kPublishes && !subscribed;
        break;
      case 1:  // removing all: member by member, in the collection's order
        for (auto it = T::coll(*owner).begin(); !it.atEnd(); ++it)
          note(it->key(), model.at(it->key()));
        model.clear();
        std::invoke(T::kDelAll, *owner);
        break;
      case 2:
      case 3: {
        auto const got = std::invoke(T::kDel, *owner, k);
        if constexpr (T::kKind == Kind::children) {
          EXPECT_EQ(reinterpret_cast<ModelValue>(got.get()), present ? found->second : 0);
          if (got)
            held.push_back(got);
        } else {
          EXPECT_EQ(got, present && found->second != 0);
        }
        if (present) {
          note(k, found->second);
          model.erase(found);
        }
        break;
      }
      default:
        if constexpr (T::kKind == Kind::set) {
          std::invoke(T::kIs, *owner, k);
          if (!present)
            note(k, std::nullopt);
          model[k] = 1;
        } else if constexpr (T::kKind == Kind::flags) {
          bool const value = rng() % 2 != 0;
          std::invoke(T::kIs, *owner, k, value);
          if (!present)
            note(k, std::nullopt);
          else if (found->second != value)
            note(k, found->second);
          model[k] = value;
        } else {
          auto const child = std::invoke(T::kIs, *owner, k);
          if (!present) {
            note(k, std::nullopt);
            model[k] = reinterpret_cast<ModelValue>(child.get());
            mark(*child);
          }
          EXPECT_EQ(reinterpret_cast<ModelValue>(child.get()), model[k]);
        }
    }
    ASSERT_EQ(T::coll(*owner).size(), model.size()) << "step " << step;
    for (auto const& [key, v] : model) {
      auto const* m = T::coll(*owner).member(key);
      ASSERT_NE(m, nullptr);
      if constexpr (T::kKind != Kind::set) {
        EXPECT_EQ(modelOf<T>(&m->value(), key), v);
      }
    }
  }
  if (subscribed)
    owner->publisher()->subscriberRemove(&rec.record);
  EXPECT_EQ(rec.events, expected);
  EXPECT_EQ(expected.size() > 100, T::kPublishes) << "the run exercised publication";
  if constexpr (T::kKind == Kind::children) {
    EXPECT_GT(held.size(), 10u);
    for (auto const& c : held) {
      EXPECT_EQ(c->useCount(), 1u) << "a removed child is the holder's alone";
      EXPECT_TRUE(marked(*c)) << "and keeps its key and contents";
    }
  }
}

// Every publication on any watched entity: who published, the field, and
// the removed child (null for other priors).
struct Log {
  struct Event {
    Pavo::Publisher const* publisher;
    Pavo::FieldId field;
    void const* child;
    bool operator==(Event const&) const = default;
  };
  Pavo::Subscriber record{&dispatch};  // first: dispatch finds the log from it
  std::vector<Event> events;
  static void dispatch(Pavo::Publisher* p, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const* prior) {
    void const* child = nullptr;
    if (prior && f == PqIdxToPathKeyMap::kPathKeyMapField)
      child = static_cast<Pavo::Ptr<PqIdxToPathKey> const*>(prior)->get();
    else if (prior && f == PqIdxToPathKey::kAlgoSetField)
      child = static_cast<Pavo::Ptr<AlgoToPathKeySet> const*>(prior)->get();
    reinterpret_cast<Log*>(s)->events.push_back({p, f, child});
  }
};

// Releasing the root removes each index entry, published on the root; an
// entry that goes with it removes its algorithm entries, each published on
// the entry; path keys, sets and a held entry publish nothing.
TEST(PqIndexMapsTest, DestroyingTheRootPublishesEachChildThenItsAlgorithmEntries) {
  TestSupport::TrackerGuard guard;
  Log log;
  auto root = pqIdxToPathKeyMapFactory();
  root->publisher()->subscriberAdd(&log.record, false);
  Pavo::Ptr<PqIdxToPathKey> kept;
  for (unsigned i = 0; i < 3; ++i) {
    auto entry = root->pathKeyMapIs(keyOf<PqIdx>(i));
    entry->publisher()->subscriberAdd(&log.record, false);
    entry->pathKeyIs(keyOf<Cspf::PathKey>(i), true);
    for (unsigned char algo : {0, 128}) {
      auto set = entry->algoSetIs(algo);
      set->publisher()->subscriberAdd(&log.record, false);
      set->pathKeyIs(keyOf<Cspf::PathKey>(algo));
      set->prefixKeyIs(keyOf<Vantre::IpGenPrefix>(algo));
    }
    if (i == 1)
      kept = entry;
  }
  std::vector<Log::Event> expected;
  for (auto e = root->pathKeyMapCollection().begin(); !e.atEnd(); ++e) {
    PqIdxToPathKey const* entry = e->value().get();
    expected.push_back({root->publisher(), 130, entry});
    for (auto a = entry->algoSetCollection().begin(); !a.atEnd() && entry != kept.get(); ++a)
      expected.push_back({entry->publisher(), 132, a->value().get()});
  }
  log.events.clear();
  root.reset();
  EXPECT_EQ(log.events, expected);
  EXPECT_EQ(expected.size(), 7u);
  EXPECT_EQ(kept->useCount(), 1u);
  EXPECT_EQ(kept->algoSetCount(), 2u);
  EXPECT_TRUE(kept->pathKey(keyOf<Cspf::PathKey>(1)));
  log.events.clear();
  kept.reset();
  EXPECT_EQ(log.events.size(), 2u) << "the held entry's algorithm entries, when it goes";
}

// Releasing the P-router root drops its children; a held one keeps its router
// and indexes. Neither entity has a publisher to subscribe to.
TEST(PqIndexMapsTest, APRouterEntryOutlivesItsRootWhileHeld) {
  TestSupport::TrackerGuard guard;
  auto root = pRouterToPqIdxMapFactory();
  auto held = root->pqIndexMapIs(keyOf<Mpls::RouterId>(1));
  held->pqIndexIs(PqIdx(4), true);
  held->pqIndexIs(PqIdx(5), false);
  EXPECT_EQ(root->pqIndexMapIs(keyOf<Mpls::RouterId>(1)), held);
  root->pqIndexMapIs(keyOf<Mpls::RouterId>(2))->pqIndexIs(PqIdx(4), true);
  EXPECT_EQ(root->publisher(), nullptr);
  EXPECT_EQ(held->publisher(), nullptr);
  root.reset();
  EXPECT_EQ(held->useCount(), 1u);
  EXPECT_EQ(held->router(), keyOf<Mpls::RouterId>(1));
  EXPECT_EQ(held->pqIndexCount(), 2u);
  EXPECT_FALSE(held->pqIndexDel(PqIdx(5))) << "stored false";
  EXPECT_FALSE(held->pqIndexHas(PqIdx(5)));
}

// Hash rules and constants of every collection, against the key types' own
// hashes.
TEST(PqIndexMapsTest, CollectionsHashByTheirKeyRulesAndConstants) {
  auto const path = keyOf<Cspf::PathKey>(5);
  auto const own = path.destination().hash() ^ path.pathId();
  auto const seed = [](std::uint32_t c) { return Vek::HashHelper::hashSeed32() ^ c; };
  EXPECT_EQ(A::PathKeyCollection::hashOf(path), Vek::hashHandedOver(own, 4229093608u));
  EXPECT_EQ(P::PathKeyCollection::hashOf(path), Vek::hashHandedOver(own, 2352440314u));
  auto const prefix = keyOf<Vantre::IpGenPrefix>(5);
  EXPECT_EQ(A::PrefixKeyCollection::hashOf(prefix), prefix.hash(seed(312797146u)));
  EXPECT_EQ(P::AlgoSetCollection::hashOf(200), Vek::hashInteger(200, 608949734u));
  EXPECT_EQ(M::PathKeyMapCollection::hashOf(PqIdx(9)), Vek::hashSingleAttr(seed(243582325u), 9));
  EXPECT_EQ(R::PqIndexCollection::hashOf(PqIdx(9)), Vek::hashSingleAttr(seed(512710871u), 9));
  auto const router = keyOf<Mpls::RouterId>(5);
  EXPECT_EQ(RM::PqIndexMapCollection::hashOf(router), router.hash(seed(3591295307u)));
}

// Names, indexes and field ids, and the generic interface on the sets and
// flags: a set member cannot be set to false, a flag can.
TEST(PqIndexMapsTest, RegistrationAndGenericInterface) {
  TestSupport::TrackerGuard guard;
  auto const* module = Pavo::ModuleInspectData::module("Pathkit/SegmentRoutingMappers");
  ASSERT_NE(module, nullptr);
  std::vector<std::pair<char const*, std::vector<char const*>>> const expected = {
      {"AlgoToPathKeySet", {"algo", "pathKey", "prefixKey"}},
      {"PqIdxToPathKey", {"pqIdx", "pathKey", "algoSet"}},
      {"PqIdxToPathKeyMap", {"pathKeyMap"}},
      {"PRouterToPqIdx", {"router", "pqIndex"}},
      {"PRouterToPqIdxMap", {"pqIndexMap"}},
  };
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    auto const* type = module->type(9 + i);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->name(), std::string("SegmentRouting::Mappers::") + expected[i].first);
    ASSERT_EQ(type->attrCount(), expected[i].second.size());
    for (std::size_t a = 0; a < expected[i].second.size(); ++a)
      EXPECT_EQ(type->attr(static_cast<Pavo::FieldId>(130 + a))->name(), expected[i].second[a]);
  }
  GenericValue root = GenericIf::construct("SegmentRouting::Mappers::PqIdxToPathKeyMap");
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(root.node()->typeData()), module->type(11));
  GenericValue entry = GenericIf::set(root, 130, PqIdx(7), true);
  EXPECT_EQ(GenericIf::read(entry, 130).as<PqIdx>(), PqIdx(7));
  GenericIf::set(entry, 131, keyOf<Cspf::PathKey>(1), false);
  EXPECT_EQ(GenericIf::count(entry, 131), 1u) << "a false flag is stored";
  GenericValue set = GenericIf::set(entry, 132, std::uint8_t{3}, true);
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(set.node()->typeData()), module->type(9));
  GenericIf::set(set, 132, keyOf<Vantre::IpGenPrefix>(1), true);
  for (Pavo::FieldId f : {131u, 132u}) {
    GenericValue const key = f == 131 ? GenericValue(keyOf<Cspf::PathKey>(1))
                                      : GenericValue(keyOf<Vantre::IpGenPrefix>(1));
    try {
      GenericIf::set(set, f, key, false);
      ADD_FAILURE() << "set to false accepted";
    } catch (Pavo::Exception const& e) {
      EXPECT_NE(e.msg().find(std::string(f == 131 ? "pathKey" : "prefixKey") + " to false"),
                std::string::npos)
          << e.msg();
    }
  }
  EXPECT_EQ(GenericIf::count(set, 131), 0u);
  EXPECT_EQ(GenericIf::count(set, 132), 1u);
  GenericValue prouter = GenericIf::construct("SegmentRouting::Mappers::PRouterToPqIdxMap");
  GenericValue child = GenericIf::set(prouter, 130, keyOf<Mpls::RouterId>(1), true);
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(child.node()->typeData()), module->type(12));
  GenericIf::set(child, 131, PqIdx(2), false);
  EXPECT_FALSE(GenericIf::del(child, 131, PqIdx(2)).as<bool>());
  EXPECT_EQ(GenericIf::count(child, 131), 0u);
}

}  // namespace
