// The PQ-index and P-router maps. One typed model test drives every keyed
// attribute of both families (sets, flagged maps, maps of children) through
// the generic interface with random operations, and checks results, contents,
// type data and each publication against a plain model; then what destroying
// a root publishes.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/InspectModule.h"
#include "Vek/GenericIf.h"
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

struct Make {
  static PathKey key(PathKey*, unsigned i) {
    return {VertexIdentifierBase::fromIpv4RouterId(i % 2), i};
  }
  static IpGenPrefix key(IpGenPrefix*, unsigned i) { return IpGenPrefix::ipv4(i << 8, 24); }
  static PqIdx key(PqIdx*, unsigned i) { return PqIdx(static_cast<std::uint16_t>(i * 4099)); }
  static unsigned char key(unsigned char*, unsigned i) { return static_cast<unsigned char>(i); }
  static Mpls::RouterId key(Mpls::RouterId*, unsigned i) { return Mpls::RouterId::ipv4(i); }
};
template <class K>
K keyOf(unsigned i) {
  return Make::key(static_cast<K*>(nullptr), i);
}

enum class Kind { set, flags, children };

// One keyed attribute: its kind, its owner (made by `make`, registered at
// `kIndex`), field id, whether it publishes, its key, what a publication's
// prior points at, and the owner's removal of all.
template <Kind kKindV, auto make, std::uint32_t kIndexV, Pavo::FieldId kFieldV, bool kPublishesV,
          class KeyT, class PriorT, auto kDelAll>
struct Attr {
  using Key = KeyT;
  using Prior = PriorT;  // a set's removed key, a flag, or a removed child
  static constexpr Kind kKind = kKindV;
  static constexpr std::uint32_t kIndex = kIndexV;
  static constexpr Pavo::FieldId kField = kFieldV;
  static constexpr bool kPublishes = kPublishesV;
  static auto owner() { return make(); }
  static void delAll(auto& owner) { (owner.*kDelAll)(); }
  // What a removal of an absent key answers: false, or a null child.
  static GV absent() { return kKind == Kind::children ? GV(Prior()) : GV(false); }
  // The prior of a removal, from the key and the stored value.
  static GV prior(Key const& k, GV const& stored) { return kKind == Kind::set ? GV(k) : stored; }
};

using Attrs =
    ::testing::Types<Attr<Kind::set, +[] { return Pavo::makePtr<A>(7); }, 9, 131, true, PathKey,
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
                          Pavo::Ptr<R>, &RM::pqIndexMapDelAll>>;

template <class T>
class KeyedAttrTest : public ::testing::Test {};
TYPED_TEST_SUITE(KeyedAttrTest, Attrs);

// Each publication: field id, key and the prior value (empty for a new key).
template <class T>
struct Recorder {
  using Event = std::tuple<Pavo::FieldId, typename T::Key, GV>;
  Pavo::Subscriber record{&dispatch};  // first: dispatch finds the recorder from it
  std::vector<Event> events;
  bool on = false;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const* key,
                       void const* prior) {
    GV const p = prior ? GV(*static_cast<typename T::Prior const*>(prior)) : GV();
    reinterpret_cast<Recorder*>(s)->events.emplace_back(
        f, *static_cast<typename T::Key const*>(key), p);
  }
};

TYPED_TEST(KeyedAttrTest, RandomOperationsMatchTheModelAndPublishEachChangeOnce) {
  using T = TypeParam;
  using Key = typename T::Key;
  TestSupport::TrackerGuard guard;
  Recorder<T> rec;
  auto owner = T::owner();
  GV g(owner);
  auto const* module = Pavo::ModuleInspectData::module("Pathkit/SegmentRoutingMappers");
  ASSERT_EQ(Pavo::ModuleInspectData::typeOf(owner->typeData()), module->type(T::kIndex));
  ASSERT_EQ(owner->publisher() != nullptr, T::kPublishes) << "only notifying entities publish";
  std::map<Key, GV> model;
  std::vector<typename Recorder<T>::Event> expected;
  std::vector<std::pair<Key, GV>> held;  // removed children, checked at the end
  auto const note = [&](Key const& k, GV const& prior) {
    if (rec.on)
      expected.emplace_back(T::kField, k, prior);
  };
  std::mt19937 rng(11);
  for (int step = 0; step < 400; ++step) {
    Key const k = keyOf<Key>(rng() % 6);
    bool const present = model.contains(k);
    GV const old = present ? model[k] : GV();
    bool const value = rng() % 2 != 0;
    switch (rng() % 8) {
      case 0:
        if (T::kPublishes && rec.on)
          owner->publisher()->subscriberRemove(&rec.record);
        else if (T::kPublishes)
          owner->publisher()->subscriberAdd(&rec.record, false);
        rec.on = T::kPublishes && !rec.on;
        break;
      case 1:  // member by member in the collection's order, when subscribed
        GenericIf::iterate(g, T::kField, [&](GV const& key, GV const&) {
          note(key.as<Key>(), T::prior(key.as<Key>(), model.at(key.as<Key>())));
        });
        model.clear();
        T::delAll(*owner);
        break;
      case 2:
      case 3:
        EXPECT_EQ(GenericIf::del(g, T::kField, k), present ? old : T::absent());
        if (present && T::kKind == Kind::children)
          held.emplace_back(k, old);
        if (present)
          note(k, T::prior(k, old));
        model.erase(k);
        break;
      default:
        if (T::kKind == Kind::set && !value) {
          EXPECT_THROW(GenericIf::set(g, T::kField, k, false), Pavo::Exception) << "set-false";
          break;
        }
        GV const got = GenericIf::set(g, T::kField, k, value);
        GV const now = T::kKind == Kind::children ? got : GV(value);
        EXPECT_TRUE(!present || T::kKind != Kind::children || now == old) << "the same child";
        if (!present || !(now == old))
          note(k, old);
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
  EXPECT_EQ(held.size() > 20, T::kKind == Kind::children) << "the run removed children";
  for (auto const& [key, child] : held) {
    EXPECT_EQ(child.node()->useCount(), 1u) << "a removed child is its holder's alone";
    EXPECT_EQ(GenericIf::read(child, 130), GV(key)) << "and keeps its key";
  }
}

// Every publication on the watched entities: publisher, field id and where
// the prior value lies (for a removed child: inside the removed member).
struct Log {
  using Event = std::tuple<Pavo::Publisher const*, Pavo::FieldId, void const*>;
  Pavo::Subscriber record{&dispatch};  // first: dispatch finds the log from it
  std::vector<Event> events;
  void watch(Pavo::Node const& n) { n.publisher()->subscriberAdd(&record, false); }
  static void dispatch(Pavo::Publisher* p, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const* prior) {
    reinterpret_cast<Log*>(s)->events.emplace_back(p, f, prior);
  }
};

// Releasing the root removes each index entry, published on the root; an
// entry that goes with it removes its algorithm entries, each published on
// the entry; path keys, sets and a held entry publish nothing.
TEST(PqIndexMapsTest, DestroyingTheRootPublishesEachEntryThenItsAlgorithmEntries) {
  TestSupport::TrackerGuard guard;
  Log log;
  auto root = pqIdxToPathKeyMapFactory();
  log.watch(*root);
  for (unsigned i = 0; i < 3; ++i) {
    auto entry = root->pathKeyMapIs(keyOf<PqIdx>(i));
    log.watch(*entry);
    entry->pathKeyIs(keyOf<PathKey>(i), true);
    for (unsigned char algo : {0, 128}) {
      log.watch(*entry->algoSetIs(algo));
      entry->algoSet(algo)->pathKeyIs(keyOf<PathKey>(algo));
      entry->algoSet(algo)->prefixKeyIs(keyOf<IpGenPrefix>(algo));
    }
  }
  auto kept = root->pathKeyMap(keyOf<PqIdx>(1));
  std::vector<Log::Event> expected;
  for (auto e = root->pathKeyMapCollection().begin(); !e.atEnd(); ++e) {
    expected.emplace_back(root->publisher(), 130, &e->value());
    for (auto a = e->value()->algoSetCollection().begin(); !a.atEnd() && e->value() != kept; ++a)
      expected.emplace_back(e->value()->publisher(), 132, &a->value());
  }
  log.events.clear();
  root.reset();
  EXPECT_EQ(log.events, expected);
  EXPECT_EQ(expected.size(), 7u);
  EXPECT_EQ(kept->algoSetCount(), 2u) << "a held entry keeps its contents";
  EXPECT_TRUE(kept->pathKey(keyOf<PathKey>(1)));
  kept.reset();
  EXPECT_EQ(log.events.size(), 9u) << "and removes its algorithm entries when it goes";
}

}  // namespace
