// The PQ-index and P-router maps. One typed model test drives every keyed
// attribute of both families (sets, flagged maps, maps of children) with
// random operations and checks results, contents and each publication against
// a plain model; then what destroying a root publishes, hashing, registration.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/InspectModule.h"
#include "Vek/GenericIf.h"
#include "support/TrackedNode.h"

namespace {

using namespace SegmentRouting::Mappers;
using Cspf::Lfa::PqIdx;
using Vantre::IpGenPrefix;
using A = AlgoToPathKeySet;
using P = PqIdxToPathKey;
using M = PqIdxToPathKeyMap;
using R = PRouterToPqIdx;
using RM = PRouterToPqIdxMap;

// Keys and owners by type; a new child gets one member derived from its own
// key, so a removed child can be checked for its key and contents.
struct Make {
  static Cspf::PathKey key(Cspf::PathKey*, unsigned i) {  // two destinations, many path ids
    return {Cspf::VertexIdentifierBase::fromIpv4RouterId(0x0A000001u + i % 2), i / 2};
  }
  static IpGenPrefix key(IpGenPrefix*, unsigned i) {
    return IpGenPrefix::ipv4(0x0A000000u + i, 32);
  }
  static PqIdx key(PqIdx*, unsigned i) { return PqIdx(static_cast<std::uint16_t>(i * 4099)); }
  static unsigned char key(unsigned char*, unsigned i) {
    return static_cast<unsigned char>(i * 37);
  }
  static Mpls::RouterId key(Mpls::RouterId*, unsigned i) {
    return Mpls::RouterId::ipv4(0xC0000200 + i);
  }
  static auto owner(A*) { return Pavo::makePtr<A>(3); }
  static auto owner(P*) { return Pavo::makePtr<P>(PqIdx(3)); }
  static auto owner(M*) { return pqIdxToPathKeyMapFactory(); }
  static auto owner(R*) { return Pavo::makePtr<R>(Mpls::RouterId::ipv4(3)); }
  static auto owner(RM*) { return pRouterToPqIdxMapFactory(); }
  static IpGenPrefix mark(A const& c) { return key(static_cast<IpGenPrefix*>(nullptr), c.algo()); }
  static void markIs(A& c) { c.prefixKeyIs(mark(c)); }
  static bool marked(A const& c) { return c.prefixKeyHas(mark(c)) && c.prefixKeyCount() == 1; }
  static void markIs(P& c) { c.pathKeyIs(Cspf::PathKey({}, c.pqIdx().value()), false); }
  static bool marked(P const& c) {
    return c.pathKeyHas({{}, c.pqIdx().value()}) && c.pathKeyCount() == 1;
  }
  static void markIs(R& c) { c.pqIndexIs(PqIdx(c.router().rtrIdValue() & 0xFFFF), true); }
  static bool marked(R const& c) {
    return c.pqIndex(PqIdx(c.router().rtrIdValue() & 0xFFFF)) && c.pqIndexCount() == 1;
  }
};
template <class K>
K keyOf(unsigned i) {
  return Make::key(static_cast<K*>(nullptr), i);
}

// The model's view of a stored value: the flag, or the child's address.
using ModelValue = std::uintptr_t;
ModelValue toModel(bool b) {
  return b;
}
template <class C>
ModelValue toModel(Pavo::Ptr<C> const& c) {
  return reinterpret_cast<ModelValue>(c.get());
}

enum class Kind { set, flags, children };

// One keyed attribute: owner, kind, field id, whether it publishes, and its
// owner's mutators and collection accessor.
template <class O, Kind kKindV, Pavo::FieldId kFieldV, bool kPublishesV, auto kIs, auto kDel,
          auto kDelAll, auto kColl>
struct Attr {
  using Owner = O;
  using Coll = std::remove_cvref_t<std::invoke_result_t<decltype(kColl), O const&>>;
  using Key = typename Coll::Key;
  using DelResult = std::invoke_result_t<decltype(kDel), O&, Key const&>;
  static constexpr Kind kKind = kKindV;
  static constexpr Pavo::FieldId kField = kFieldV;
  static constexpr bool kPublishes = kPublishesV;
  static Coll const& coll(O const& o) { return (o.*kColl)(); }
  static DelResult del(O& o, Key const& k) { return (o.*kDel)(k); }
  static void delAll(O& o) { (o.*kDelAll)(); }
  // Adds or sets; answers what the model stores (1 for a set member).
  static ModelValue is(O& o, Key const& k, bool value) {
    if constexpr (kKind == Kind::set) {
      (o.*kIs)(k);
      return 1;
    } else if constexpr (kKind == Kind::flags) {
      (o.*kIs)(k, value);
      return value;
    } else {
      auto child = (o.*kIs)(k);
      Make::markIs(*child);
      return toModel(child);
    }
  }
  // A published prior value: a set publishes the removed key (1 when it is `k`).
  static ModelValue prior(void const* p, Key const& k) {
    if constexpr (kKind == Kind::set)
      return *static_cast<Key const*>(p) == k;
    else
      return toModel(*static_cast<DelResult const*>(p));
  }
};

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
  bool on = false;
  void toggle(Pavo::Publisher& p) {
    on ? p.subscriberRemove(&record) : p.subscriberAdd(&record, false);
    on = !on;
  }
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const* key,
                       void const* prior) {
    auto const& k = *static_cast<typename T::Key const*>(key);
    auto p = prior ? std::optional(T::prior(prior, k)) : std::nullopt;
    reinterpret_cast<Recorder*>(s)->events.push_back({f, k, p});
  }
};

TYPED_TEST(KeyedAttrTest, RandomOperationsMatchTheModelAndPublishEachChangeOnce) {
  using T = TypeParam;
  using Key = typename T::Key;
  TestSupport::TrackerGuard guard;
  Recorder<T> rec;
  auto owner = Make::owner(static_cast<typename T::Owner*>(nullptr));
  ASSERT_EQ(owner->publisher() != nullptr, T::kPublishes) << "only notifying entities publish";
  std::map<Key, ModelValue> model;
  std::vector<typename Recorder<T>::Event> expected;
  std::vector<typename T::DelResult> held;  // removed children, checked at the end
  auto const note = [&](Key const& k, std::optional<ModelValue> prior) {
    if (rec.on)
      expected.push_back({T::kField, k, prior});
  };
  std::mt19937 rng(11);
  for (int step = 0; step < 400; ++step) {
    Key const k = keyOf<Key>(rng() % 6);
    auto const old = model.contains(k) ? std::optional(model[k]) : std::nullopt;
    switch (rng() % 8) {
      case 0:
        if (T::kPublishes)
          rec.toggle(*owner->publisher());
        break;
      case 1:  // member by member in the collection's order, when subscribed
        for (auto it = T::coll(*owner).begin(); !it.atEnd(); ++it)
          note(it->key(), model.at(it->key()));
        model.clear();
        T::delAll(*owner);
        break;
      case 2:
      case 3: {
        auto const got = T::del(*owner, k);
        EXPECT_EQ(toModel(got), old.value_or(0)) << "the removed value; absent: false or null";
        if (old)
          note(k, old);
        if constexpr (T::kKind == Kind::children) {
          if (got)
            held.push_back(got);
        }
        model.erase(k);
        break;
      }
      default:
        model[k] = T::is(*owner, k, rng() % 2 != 0);
        if (old && T::kKind == Kind::children) {
          EXPECT_EQ(model[k], *old) << "the same child";
        }
        if (old != model[k])
          note(k, old);
    }
    ASSERT_EQ(T::coll(*owner).size(), model.size()) << "step " << step;
    for (auto const& [key, v] : model) {
      auto const* m = T::coll(*owner).member(key);
      ASSERT_NE(m, nullptr);
      if constexpr (T::kKind != Kind::set) {
        EXPECT_EQ(toModel(m->value()), v);
      }
    }
  }
  EXPECT_EQ(rec.events, expected);
  EXPECT_EQ(expected.size() > 100, T::kPublishes) << "the run exercised publication";
  if constexpr (T::kKind == Kind::children) {
    EXPECT_GT(held.size(), 20u) << "the run removed children";
    for (auto const& c : held) {
      EXPECT_TRUE(c->useCount() == 1 && Make::marked(*c)) << "kept, unchanged, by us alone";
    }
  }
}

// Every publication on the watched entities: publisher, field id and where
// the prior value lies (for a removed child: inside the removed member).
struct Log {
  struct Event {
    Pavo::Publisher const* publisher;
    Pavo::FieldId field;
    void const* prior;
    bool operator==(Event const&) const = default;
  };
  Pavo::Subscriber record{&dispatch};  // first: dispatch finds the log from it
  std::vector<Event> events;
  static void dispatch(Pavo::Publisher* p, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const* prior) {
    reinterpret_cast<Log*>(s)->events.push_back({p, f, prior});
  }
};

// Releasing the root removes each index entry, published on the root; an
// entry that goes with it removes its algorithm entries, each published on
// the entry; path keys, sets and a held entry publish nothing.
TEST(PqIndexMapsTest, DestroyingTheRootPublishesEachEntryThenItsAlgorithmEntries) {
  TestSupport::TrackerGuard guard;
  Log log;
  auto root = pqIdxToPathKeyMapFactory();
  root->publisher()->subscriberAdd(&log.record, false);
  for (unsigned i = 0; i < 3; ++i) {
    auto entry = root->pathKeyMapIs(keyOf<PqIdx>(i));
    entry->publisher()->subscriberAdd(&log.record, false);
    entry->pathKeyIs(keyOf<Cspf::PathKey>(i), true);
    for (unsigned char algo : {0, 128}) {
      auto set = entry->algoSetIs(algo);
      set->publisher()->subscriberAdd(&log.record, false);
      set->pathKeyIs(keyOf<Cspf::PathKey>(algo));
      set->prefixKeyIs(keyOf<IpGenPrefix>(algo));
    }
  }
  auto kept = root->pathKeyMap(keyOf<PqIdx>(1));
  std::vector<Log::Event> expected;
  for (auto e = root->pathKeyMapCollection().begin(); !e.atEnd(); ++e) {
    expected.push_back({root->publisher(), 130, &e->value()});
    for (auto a = e->value()->algoSetCollection().begin(); !a.atEnd() && e->value() != kept; ++a)
      expected.push_back({e->value()->publisher(), 132, &a->value()});
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

TEST(PqIndexMapsTest, CollectionsHashByTheirKeyRulesAndConstants) {
  auto const path = keyOf<Cspf::PathKey>(5);
  auto const own = path.destination().hash() ^ path.pathId();  // no process seed
  auto const seed = [](std::uint32_t c) { return Vek::HashHelper::hashSeed32() ^ c; };
  EXPECT_EQ(A::PathKeyCollection::hashOf(path), Vek::hashHandedOver(own, 4229093608u));
  EXPECT_EQ(P::PathKeyCollection::hashOf(path), Vek::hashHandedOver(own, 2352440314u));
  auto const prefix = keyOf<IpGenPrefix>(5);
  EXPECT_EQ(A::PrefixKeyCollection::hashOf(prefix), prefix.hash(seed(312797146u)));
  EXPECT_EQ(P::AlgoSetCollection::hashOf(200), Vek::hashInteger(200, 608949734u));
  EXPECT_EQ(M::PathKeyMapCollection::hashOf(PqIdx(9)), Vek::hashSingleAttr(seed(243582325u), 9));
  EXPECT_EQ(R::PqIndexCollection::hashOf(PqIdx(9)), Vek::hashSingleAttr(seed(512710871u), 9));
  auto const router = keyOf<Mpls::RouterId>(5);
  EXPECT_EQ(RM::PqIndexMapCollection::hashOf(router), router.hash(seed(3591295307u)));
}

// Names, indexes and field ids; through the generic interface a flag may be
// set to false, a set member may not.
TEST(PqIndexMapsTest, RegistrationAndGenericSets) {
  TestSupport::TrackerGuard guard;
  auto const* module = Pavo::ModuleInspectData::module("Pathkit/SegmentRoutingMappers");
  ASSERT_NE(module, nullptr);
  auto const root = pqIdxToPathKeyMapFactory();
  auto const entry = root->pathKeyMapIs(PqIdx(7));
  auto const algo = entry->algoSetIs(3);
  auto const proot = pRouterToPqIdxMapFactory();
  auto const prouter = proot->pqIndexMapIs(keyOf<Mpls::RouterId>(1));
  std::vector<std::tuple<Pavo::Node const*, char const*, std::vector<char const*>>> const types = {
      {algo.get(), "AlgoToPathKeySet", {"algo", "pathKey", "prefixKey"}},
      {entry.get(), "PqIdxToPathKey", {"pqIdx", "pathKey", "algoSet"}},
      {root.get(), "PqIdxToPathKeyMap", {"pathKeyMap"}},
      {prouter.get(), "PRouterToPqIdx", {"router", "pqIndex"}},
      {proot.get(), "PRouterToPqIdxMap", {"pqIndexMap"}}};
  for (std::uint32_t i = 0; i < types.size(); ++i) {
    auto const& [node, name, attrs] = types[i];
    auto const* type = Pavo::ModuleInspectData::typeOf(node->typeData());
    ASSERT_EQ(type, module->type(9 + i));
    EXPECT_EQ(type->name(), std::string("SegmentRouting::Mappers::") + name);
    ASSERT_EQ(type->attrCount(), attrs.size());
    for (std::size_t a = 0; a < attrs.size(); ++a)
      EXPECT_EQ(type->attr(static_cast<Pavo::FieldId>(130 + a))->name(), attrs[a]);
  }
  Vek::GenericValue generic(entry);
  Vek::GenericIf::set(generic, 131, keyOf<Cspf::PathKey>(1), false);
  EXPECT_TRUE(entry->pathKeyHas(keyOf<Cspf::PathKey>(1)));
  generic = Vek::GenericValue(algo);
  for (auto [f, name] : {std::pair{131u, "pathKey"}, std::pair{132u, "prefixKey"}}) {
    Vek::GenericValue const key = f == 131 ? Vek::GenericValue(keyOf<Cspf::PathKey>(1))
                                           : Vek::GenericValue(keyOf<IpGenPrefix>(1));
    try {
      Vek::GenericIf::set(generic, f, key, false);
      ADD_FAILURE() << "set to false accepted";
    } catch (Pavo::Exception const& e) {
      EXPECT_NE(e.msg().find(std::string(name) + " to false"), std::string::npos) << e.msg();
    }
    EXPECT_EQ(Vek::GenericIf::count(generic, f), 0u);
  }
}

}  // namespace
