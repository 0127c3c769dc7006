// One conformance suite for the intrusive collections (Vek::RbTreeMap and
// Vek::HashMap2018): random operations checked against a std::map model kept
// in the collection's own iteration order, with iterators held across every
// mutation. Collection-specific properties follow the suite as short tests.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Vek/Hash.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"
#include "Vek/RbTreeMap.h"
#include "support/TrackedNode.h"

namespace {

// Equality only through the static isEq that framework value types provide.
struct CollidingKey {
  int v;
  static bool isEq(void const* a, void const* b) {
    return static_cast<CollidingKey const*>(a)->v == static_cast<CollidingKey const*>(b)->v;
  }
  bool operator<(CollidingKey const& o) const { return v < o.v; }
};
// Eight keys share every hash.
struct CollidingKeyOps : Vek::DefaultKeyOps<CollidingKey> {
  static std::uint32_t hash(CollidingKey const& k) {
    return Vek::hashHandedOver(static_cast<std::uint32_t>(k.v / 8), 91u);
  }
};
// Few hashes, all in the lowest buckets: long chains that split late.
struct ClusteredKeyOps : Vek::DefaultKeyOps<CollidingKey> {
  static std::uint32_t hash(CollidingKey const& k) {
    return static_cast<std::uint32_t>(k.v / 8) << 18;
  }
};

// Adapters: the map type, key <-> id, the iteration order over ids, and insertion.
struct Tree {
  class Node : public Vek::RbTreeMember<Node, std::int64_t, int>,
               public Granule::SlabAllocated<Node> {
   public:
    using RbTreeMember::RbTreeMember;
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"VekTest::Tree::Node"};
  };
  using Map = Vek::RbTreeMap<Node, std::int64_t, int>;
  static constexpr bool kOverwrites = true;
  static std::int64_t key(int id) { return id - 700; }  // negative keys too
  static int id(std::int64_t key) { return static_cast<int>(key + 700); }
  static bool before(int a, int b) { return a < b; }
  // A present key keeps its member and takes the new value, without allocating.
  static std::pair<Node*, bool> insert(Map& map, int id, int value) {
    Node* const present = map.find(key(id));
    auto const allocations = Node::memAllocationTracker_.totalAllocations();
    Node* const stored = map.memberIs(key(id), value);
    EXPECT_TRUE(!present || (stored == present &&
                             Node::memAllocationTracker_.totalAllocations() == allocations));
    return {stored, !present};
  }
  static bool valid(Map const& map) { return map.verify(); }
  static Node* lookup(Map& map, int id) { return map.find(key(id)); }
};

template <class K, class Ops>
struct Hash {
  class Node : public Vek::HashMapMember<Node, K, int>, public Granule::SlabAllocated<Node> {
   public:
    using Vek::HashMapMember<Node, K, int>::HashMapMember;
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"VekTest::Hash::Node"};
  };
  using Map = Vek::HashMap2018<Node, K, Ops>;
  static constexpr bool kOverwrites = false;
  static K key(int id) {
    if constexpr (std::is_integral_v<K>)
      return static_cast<K>(id);
    else
      return K{static_cast<decltype(K::v)>(id)};
  }
  static int id(K const& key) {
    if constexpr (std::is_integral_v<K>)
      return static_cast<int>(key);
    else
      return static_cast<int>(key.v);
  }
  // The canonical order, computed without the map: ascending hash, then key.
  static bool before(int a, int b) {
    std::uint32_t const ha = Ops::hash(key(a)), hb = Ops::hash(key(b));
    return ha != hb ? ha < hb : Ops::less(key(a), key(b));
  }
  // A present key refuses the new member and keeps its value.
  static std::pair<Node*, bool> insert(Map& map, int id, int value) {
    return map.memberIs(Pavo::makePtr<Node>(key(id), value));
  }
  // Load factor at most 1; no buckets while empty after deleteAll.
  static bool valid(Map const& map) { return map.size() <= map.bucketCount(); }
  static Node* lookup(Map& map, int id) {
    Node* const n = map.find(key(id));
    EXPECT_EQ(n, map.find(key(id), Map::hashOf(key(id))));
    return n;
  }
};

template <class T>
class CollectionConformance : public ::testing::Test {
 protected:
  using Map = typename T::Map;
  using Node = typename T::Node;
  using Iterator = typename Map::Iterator;
  struct Order {
    bool operator()(int a, int b) const { return T::before(a, b); }
  };
  struct Entry {
    int value;
    Node* node;  // members keep their identity while linked
  };
  using Model = std::map<int, Entry, Order>;
  static constexpr int kMaxId = 1499;

  static int idAt(Iterator const& it) { return it.atEnd() ? -1 : T::id(it->key()); }
  static int idOf(typename Model::const_iterator it, Model const& model) {
    return it == model.end() ? -1 : it->first;
  }

  // Everything the model says, plus: iterFrom lands on the key or the next one,
  // and exactly the members and the removed members still held are alive.
  static ::testing::AssertionResult matches(Map const& map, Model const& model,
                                            std::array<Iterator, 4> const& held) {
    if (map.size() != model.size() || map.empty() != model.empty())
      return ::testing::AssertionFailure() << "size " << map.size() << " vs " << model.size();
    auto m = model.begin();
    for (auto it = map.begin(); !it.atEnd(); ++it, ++m) {
      if (m == model.end() || idAt(it) != m->first || it.member() != m->second.node ||
          it->value() != m->second.value || !it->linked())
        return ::testing::AssertionFailure() << "member " << idAt(it) << " out of order or changed";
    }
    for (int id = 0; id <= kMaxId + 1; ++id) {
      if (idAt(map.iterFrom(T::key(id))) != idOf(model.lower_bound(id), model))
        return ::testing::AssertionFailure() << "iterFrom " << id;
    }
    std::set<Node const*> unlinked;
    for (Iterator const& it : held) {
      if (!it.atEnd() && !it->linked())
        unlinked.insert(it.member());
    }
    if (Node::memAllocationTracker_.liveObjects() != map.size() + unlinked.size())
      return ::testing::AssertionFailure()
             << "live members " << Node::memAllocationTracker_.liveObjects();
    return ::testing::AssertionSuccess();
  }

  TestSupport::TrackerGuard trackers_;
};

using Collections =
    ::testing::Types<Tree, Hash<int, Vek::IntegerKeyOps<int, 3997538310u>>,
                     Hash<CollidingKey, CollidingKeyOps>, Hash<CollidingKey, ClusteredKeyOps>>;
TYPED_TEST_SUITE(CollectionConformance, Collections);

// VEK_TEST_SEED replays one run.
TYPED_TEST(CollectionConformance, RandomOperationsMatchTheModel) {
  using T = TypeParam;
  using Map = typename TestFixture::Map;
  std::uint32_t const seed =
      std::getenv("VEK_TEST_SEED")
          ? static_cast<std::uint32_t>(std::strtoul(std::getenv("VEK_TEST_SEED"), nullptr, 0))
          : std::random_device{}();
  SCOPED_TRACE("VEK_TEST_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  Map map;
  typename TestFixture::Model model;
  std::array<typename Map::Iterator, 4> held;
  auto const after = [&](int id) { return TestFixture::idOf(model.upper_bound(id), model); };
  for (int step = 0; step < 20000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    auto& it = held[rng() % held.size()];
    // A quarter of the operations hit a held iterator's key.
    int const id = rng() % 4 == 0 && !it.atEnd()
                       ? TestFixture::idAt(it)
                       : static_cast<int>(rng() % (TestFixture::kMaxId + 1));
    int const value = static_cast<int>(rng() % 1000);
    unsigned const op = rng() % 1000;
    if (op < 350) {
      auto const [stored, inserted] = T::insert(map, id, value);
      ASSERT_EQ(inserted, !model.contains(id));
      ASSERT_EQ(T::id(stored->key()), id);
      if (inserted)
        model[id] = {value, stored};
      else if (T::kOverwrites)
        model[id].value = value;
    } else if (op < 450) {
      if (auto* n = T::lookup(map, id)) {
        n->valueIs(value);
        model[id].value = value;
      }
    } else if (op < 600) {
      auto const removed = map.memberDel(T::key(id));
      ASSERT_EQ(removed != nullptr, model.contains(id));
      if (removed) {
        ASSERT_EQ(removed.get(), model[id].node);
        ASSERT_FALSE(removed->linked());
        model.erase(id);
      }
    } else if (op < 680) {
      // Removal through a fresh iterator, which then moves on to the successor.
      auto walk = map.iterFrom(T::key(id));
      int const at = TestFixture::idAt(walk);
      ASSERT_EQ(map.memberDel(walk).get(), walk.member());
      model.erase(at);
      ASSERT_EQ(TestFixture::idAt(++walk), at < 0 ? -1 : after(at));
    } else if (op < 750) {
      it = map.iterFrom(T::key(id));
    } else if (op < 800) {
      // Whatever happened since, a held iterator continues after its key.
      int const at = TestFixture::idAt(it);
      ASSERT_EQ(TestFixture::idAt(++it), at < 0 ? -1 : after(at));
    } else if (op < 830) {
      // Removes only while its member is still the one in the map.
      int const at = TestFixture::idAt(it);
      bool const current = at >= 0 && model.contains(at) && model[at].node == it.member();
      ASSERT_EQ(map.memberDel(it) != nullptr, current);
      if (current)
        model.erase(at);
    } else if (op < 999) {
      typename T::Node* n = T::lookup(map, id);
      ASSERT_EQ(map.contains(T::key(id)), model.contains(id));
      ASSERT_EQ(n, model.contains(id) ? model[id].node : nullptr);
    } else {
      map.deleteAll();
      model.clear();
      for (auto const& h : held)
        ASSERT_TRUE(h.atEnd() || !h->linked());
      ASSERT_TRUE(map.begin().atEnd());
    }
    ASSERT_TRUE(T::valid(map));
    if (step % 500 == 499) {
      ASSERT_TRUE(TestFixture::matches(map, model, held));
    }
  }
  ASSERT_TRUE(TestFixture::matches(map, model, held));
  held = {};
  // Moves hand every member over; the moved-from map is empty and usable.
  Map moved(std::move(map));
  EXPECT_TRUE(map.empty());  // NOLINT(bugprone-use-after-move): moved-from maps are empty
  EXPECT_TRUE(TestFixture::matches(moved, model, held));
  T::insert(map, 1, 1);
  map = std::move(moved);
  EXPECT_TRUE(TestFixture::matches(map, model, held));
}

using IntHash = Hash<int, Vek::IntegerKeyOps<int, 11u>>;

TEST(HashMap2018Test, RefusesNullAndForeignMembers) {
  TestSupport::TrackerGuard trackers;
  IntHash::Map a, b;
  EXPECT_THROW(a.memberIs(nullptr), Pavo::NullPointerException);
  auto n = Pavo::makePtr<IntHash::Node>(1, 1);
  EXPECT_TRUE(a.memberIs(n).second);
  EXPECT_THROW(b.memberIs(n), Pavo::Exception);
  EXPECT_THROW(a.memberIs(n), Pavo::Exception);
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(a.size(), 1u);
}

}  // namespace
