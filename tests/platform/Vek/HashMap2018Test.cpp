#include "Vek/HashMap2018.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Granule/Slab.h"
#include "Vek/AllocTrack.h"
#include "Vek/Hash.h"
#include "Vek/KeyOps.h"

namespace {

// One key type per hash trait. Each is built from, and read back as, an int id.
struct SeededKey {
  std::uint32_t v;
  std::uint32_t hash(std::uint32_t seed) const {
    Vek::Hash h(seed);
    h.hashMix<4>(v);
    return h.result();
  }
  bool operator==(SeededKey const&) const = default;
  auto operator<=>(SeededKey const&) const = default;
};

struct AttrKey {
  std::uint16_t v;
  std::uint16_t value() const { return v; }
  bool operator==(AttrKey const&) const = default;
  auto operator<=>(AttrKey const&) const = default;
};

struct HandedKey {
  std::uint32_t v;
  std::uint32_t hash() const { return v * 0x9E3779B1u; }
  bool operator==(HandedKey const&) const = default;
  auto operator<=>(HandedKey const&) const = default;
};

// Eight distinct keys share every hash; equality goes through the static
// isEq that framework value types provide.
struct CollidingKey {
  int v;
  static bool isEq(void const* a, void const* b) {
    return static_cast<CollidingKey const*>(a)->v == static_cast<CollidingKey const*>(b)->v;
  }
  bool operator<(CollidingKey const& o) const { return v < o.v; }
};
struct CollidingKeyOps : Vek::DefaultKeyOps<CollidingKey> {
  static std::uint32_t hash(CollidingKey const& k) {
    return Vek::hashHandedOver(static_cast<std::uint32_t>(k.v / 8), 91u);
  }
};
// Few distinct hashes, all in the lowest buckets: long chains that split late.
struct ClusteredKeyOps : Vek::DefaultKeyOps<CollidingKey> {
  static std::uint32_t hash(CollidingKey const& k) {
    return static_cast<std::uint32_t>(k.v / 8) << 18;
  }
};

template <class K, class Ops>
struct Case {
  using Key = K;
  using KeyOps = Ops;
};

template <class Key>
Key keyOf(int id) {
  if constexpr (std::is_integral_v<Key>) {
    return static_cast<Key>(id);
  } else {
    return Key{static_cast<decltype(Key::v)>(id)};
  }
}
template <class Key>
int idOf(Key const& key) {
  if constexpr (std::is_integral_v<Key>) {
    return static_cast<int>(key);
  } else {
    return static_cast<int>(key.v);
  }
}

std::vector<int> idsBelow(int n) {
  std::vector<int> ids(static_cast<std::size_t>(n));
  std::iota(ids.begin(), ids.end(), 0);
  return ids;
}

template <class Key>
class TestNode : public Vek::HashMapMember<TestNode<Key>, Key, int>,
                 public Granule::SlabAllocated<TestNode<Key>> {
 public:
  using Base = Vek::HashMapMember<TestNode<Key>, Key, int>;
  using Base::Base;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"VekTest::HashMap2018::TestNode"};
};

template <class C>
class HashMap2018Test : public ::testing::Test {
 protected:
  using Key = typename C::Key;
  using Ops = typename C::KeyOps;
  using Node = TestNode<Key>;
  using Map = Vek::HashMap2018<Node, Key, Ops>;

  void TearDown() override { EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveBefore_); }

  static Key key(int id) { return keyOf<Key>(id); }
  static Pavo::Ptr<Node> node(int id, int value = 0) { return Pavo::makePtr<Node>(key(id), value); }
  static void fill(Map& map, std::vector<int> const& ids) {
    for (int id : ids)
      ASSERT_TRUE(map.memberIs(node(id, id)).second) << id;
  }

  // The canonical order, computed without the map: ascending hash, then key.
  static bool before(int a, int b) {
    std::uint32_t const ha = Ops::hash(key(a)), hb = Ops::hash(key(b));
    return ha != hb ? ha < hb : Ops::less(key(a), key(b));
  }
  static std::vector<int> canonical(std::vector<int> ids) {
    std::sort(ids.begin(), ids.end(), before);
    return ids;
  }
  // First id of `sorted` at or after (inclusive) / strictly after `id`; -1 for the end.
  static int boundIn(std::vector<int> const& sorted, int id, bool inclusive) {
    auto it = inclusive ? std::lower_bound(sorted.begin(), sorted.end(), id, before)
                        : std::upper_bound(sorted.begin(), sorted.end(), id, before);
    return it == sorted.end() ? -1 : *it;
  }
  static int idAt(typename Map::Iterator const& it) { return it.atEnd() ? -1 : idOf(it->key()); }

  static std::vector<int> order(Map const& map) {
    std::vector<int> ids;
    for (Node& n : map)
      ids.push_back(idOf(n.key()));
    return ids;
  }

  static constexpr int kMaxId = 1499;
  static ::testing::AssertionResult consistent(Map const& map,
                                               std::unordered_map<int, int> const& ref) {
    if (map.size() != ref.size() || map.empty() != ref.empty()) {
      return ::testing::AssertionFailure() << "size " << map.size() << " vs " << ref.size();
    }
    std::vector<int> ids;
    for (auto const& [id, value] : ref) {
      Node const* n = map.member(key(id));
      if (!n || n != map.member(key(id), Map::hashOf(key(id))) || !n->linked()) {
        return ::testing::AssertionFailure() << "key " << id << " not found";
      }
      if (n->value() != value)
        return ::testing::AssertionFailure() << "value of " << id;
      ids.push_back(id);
    }
    std::vector<int> const sorted = canonical(ids);
    if (order(map) != sorted)
      return ::testing::AssertionFailure() << "iteration order or members differ";
    // iterFrom lands on the key itself or the next one in the canonical order.
    for (int id = 0; id <= kMaxId + 1; ++id) {
      if (idAt(map.iterFrom(key(id))) != boundIn(sorted, id, true))
        return ::testing::AssertionFailure() << "iterFrom " << id;
    }
    return ::testing::AssertionSuccess();
  }

  std::uint64_t const liveBefore_ = Vek::AllocTrackTypeInfo::liveObjectsAll();
};

using Cases =
    ::testing::Types<Case<int, Vek::IntegerKeyOps<int, 3997538310u>>,
                     Case<SeededKey, Vek::SeededKeyOps<SeededKey, 297630782u>>,
                     Case<AttrKey, Vek::SingleAttrKeyOps<AttrKey, 512710871u>>,
                     Case<HandedKey, Vek::HandedOverKeyOps<HandedKey, 4229093608u>>,
                     Case<CollidingKey, CollidingKeyOps>, Case<CollidingKey, ClusteredKeyOps>>;
TYPED_TEST_SUITE(HashMap2018Test, Cases);

std::uint32_t testSeed() {
  if (char const* text = std::getenv("VEK_TEST_SEED")) {
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0));
  }
  return std::random_device{}();
}

TYPED_TEST(HashMap2018Test, RandomOperationsMatchUnorderedMap) {
  using Map = typename TestFixture::Map;
  std::uint32_t const seed = testSeed();
  SCOPED_TRACE("VEK_TEST_SEED=" + std::to_string(seed));
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> anyId(0, TestFixture::kMaxId);
  std::uniform_int_distribution<int> percent(0, 999);

  Map map;
  std::unordered_map<int, int> ref;
  for (int step = 0; step < 20000; ++step) {
    int const id = anyId(rng);
    int const value = static_cast<int>(rng() % 1000);
    int const op = percent(rng);
    if (op < 400) {
      auto const [stored, inserted] = map.memberIs(TestFixture::node(id, value));
      ASSERT_EQ(inserted, !ref.contains(id)) << "step " << step;
      ASSERT_EQ(idOf(stored->key()), id);
      if (inserted)
        ref[id] = value;
      ASSERT_EQ(stored->value(), ref[id]) << "a refused insertion must not overwrite";
    } else if (op < 500) {
      if (auto* n = map.member(TestFixture::key(id))) {
        n->valueIs(value);
        ref[id] = value;
      }
    } else if (op < 650) {
      Pavo::Ptr<typename TestFixture::Node> removed = map.memberDel(TestFixture::key(id));
      ASSERT_EQ(removed != nullptr, ref.erase(id) == 1) << "step " << step;
      if (removed) {
        EXPECT_FALSE(removed->linked());
        EXPECT_EQ(idOf(removed->key()), id);
      }
    } else if (op < 750) {
      auto it = map.iterFrom(TestFixture::key(id));
      int const at = TestFixture::idAt(it);
      Pavo::Ptr<typename TestFixture::Node> removed = map.memberDel(it);
      ASSERT_EQ(removed.get(), it.member());
      if (at >= 0) {
        ASSERT_EQ(ref.erase(at), 1u);
      }
      // The removed key is gone, so iterFrom finds the first member after it.
      int const expected = at < 0 ? -1 : TestFixture::idAt(map.iterFrom(TestFixture::key(at)));
      ASSERT_EQ(TestFixture::idAt(++it), expected) << "step " << step;
    } else if (op < 999) {
      ASSERT_EQ(map.memberHas(TestFixture::key(id)), ref.contains(id)) << "step " << step;
    } else {
      map.deleteAll();
      ref.clear();
      ASSERT_EQ(map.bucketCount(), 0u);
    }
    if (step % 1000 == 999) {
      ASSERT_TRUE(TestFixture::consistent(map, ref)) << "step " << step;
    }
  }
  ASSERT_TRUE(TestFixture::consistent(map, ref));
}

TYPED_TEST(HashMap2018Test, OrderIsCanonicalWhateverTheHistory) {
  using Map = typename TestFixture::Map;
  using Node = typename TestFixture::Node;
  std::vector<int> ids = idsBelow(500);
  Map ascending;
  TestFixture::fill(ascending, ids);

  // The other map sees the keys shuffled, grows to four times the buckets, then shrinks.
  std::vector<int> more = idsBelow(2000);
  std::shuffle(more.begin(), more.end(), std::mt19937(7));
  Map shuffled;
  TestFixture::fill(shuffled, more);
  for (int id = 500; id < 2000; ++id)
    ASSERT_TRUE(shuffled.memberDel(TestFixture::key(id)));
  ASSERT_GT(shuffled.bucketCount(), ascending.bucketCount());

  EXPECT_EQ(TestFixture::order(ascending), TestFixture::canonical(ids));
  EXPECT_EQ(TestFixture::order(shuffled), TestFixture::order(ascending));

  auto const sameValue = [](Node const& a, Node const& b) {
    return TestFixture::Ops::isEq(a.key(), b.key()) && a.value() == b.value();
  };
  auto const sameKey = [](Node const& a, Node const& b) {
    return TestFixture::Ops::isEq(a.key(), b.key());
  };
  EXPECT_TRUE(ascending.isEq(shuffled, sameValue));
  EXPECT_TRUE(ascending.isEq(ascending, sameValue));
  shuffled.member(TestFixture::key(250))->valueIs(-1);
  EXPECT_FALSE(ascending.isEq(shuffled, sameValue));
  EXPECT_TRUE(ascending.isEq(shuffled, sameKey));
  // Same count, one different key.
  shuffled.memberDel(TestFixture::key(3));
  shuffled.memberIs(TestFixture::node(600));
  EXPECT_FALSE(ascending.isEq(shuffled, sameKey));
  shuffled.memberDel(TestFixture::key(600));
  EXPECT_FALSE(ascending.isEq(shuffled, sameKey));
  EXPECT_FALSE(Map().isEq(shuffled, sameKey));
}

TYPED_TEST(HashMap2018Test, IteratorSurvivesRemovalOfItsMemberAndOthers) {
  using Map = typename TestFixture::Map;
  std::vector<int> ids = idsBelow(100);
  Map map;
  TestFixture::fill(map, ids);
  std::vector<int> const sorted = TestFixture::canonical(ids);

  auto it = map.iterFrom(TestFixture::key(sorted[40]));
  auto removed = map.memberDel(TestFixture::key(sorted[40]));
  ASSERT_EQ(removed.get(), it.member());
  EXPECT_FALSE(removed->linked());
  removed.reset();  // the iterator alone keeps the member readable
  EXPECT_EQ(TestFixture::idAt(it), sorted[40]);
  EXPECT_TRUE(map.memberDel(TestFixture::key(sorted[41])));
  EXPECT_TRUE(map.memberDel(TestFixture::key(sorted[39])));
  EXPECT_EQ(TestFixture::idAt(++it), sorted[42]);
  EXPECT_EQ(TestFixture::idAt(++it), sorted[43]);

  // Removing through the iterator while walking visits every member once.
  std::vector<int> visited;
  for (auto walk = map.begin(); !walk.atEnd(); ++walk) {
    visited.push_back(TestFixture::idAt(walk));
    if (TestFixture::idAt(walk) % 2 == 0) {
      EXPECT_TRUE(map.memberDel(walk));
      EXPECT_FALSE(map.memberDel(walk)) << "a removed member is not removed twice";
    }
  }
  std::vector<int> expected = sorted;
  std::erase_if(expected,
                [&](int id) { return id == sorted[39] || id == sorted[40] || id == sorted[41]; });
  EXPECT_EQ(visited, expected);
  std::erase_if(expected, [](int id) { return id % 2 == 0; });
  EXPECT_EQ(TestFixture::order(map), expected);
}

TYPED_TEST(HashMap2018Test, IteratorSurvivesGrowth) {
  using Map = typename TestFixture::Map;
  Map map;
  std::vector<int> ids = idsBelow(10);
  TestFixture::fill(map, ids);
  std::size_t const buckets = map.bucketCount();
  auto onLinked = map.iterFrom(TestFixture::key(3));
  auto onRemoved = map.iterFrom(TestFixture::key(6));
  EXPECT_TRUE(map.memberDel(TestFixture::key(6)));

  for (int id = 10; id < 1000; ++id) {
    ids.push_back(id);
    ASSERT_TRUE(map.memberIs(TestFixture::node(id)).second);
  }
  ASSERT_GT(map.bucketCount(), buckets);
  std::erase(ids, 6);
  std::vector<int> const sorted = TestFixture::canonical(ids);
  EXPECT_EQ(TestFixture::idAt(++onLinked), TestFixture::boundIn(sorted, 3, false));
  EXPECT_EQ(TestFixture::idAt(++onRemoved), TestFixture::boundIn(sorted, 6, false));
}

TYPED_TEST(HashMap2018Test, DeleteAllUnlinksAndFreesEverything) {
  using Map = typename TestFixture::Map;
  std::uint64_t const liveEmpty = Vek::AllocTrackTypeInfo::liveObjectsAll();
  Map map;
  std::vector<int> ids = idsBelow(300);
  TestFixture::fill(map, ids);
  EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveEmpty + 300);

  auto it = map.iterFrom(TestFixture::key(17));
  Pavo::Ptr<typename TestFixture::Node> kept(map.member(TestFixture::key(18)));
  map.deleteAll();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.bucketCount(), 0u);
  EXPECT_TRUE(map.begin().atEnd());
  EXPECT_TRUE(map.iterFrom(TestFixture::key(18)).atEnd());
  EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveEmpty + 2);
  EXPECT_FALSE(it->linked());
  EXPECT_FALSE(kept->linked());
  EXPECT_TRUE((++it).atEnd());

  // An unlinked member can go back into a map.
  auto const [stored, inserted] = map.memberIs(kept);
  EXPECT_TRUE(inserted);
  EXPECT_EQ(stored, kept.get());
  EXPECT_EQ(TestFixture::order(map), std::vector<int>{18});
  EXPECT_FALSE(map.memberDel(it)) << "an iterator on an unlinked member removes nothing";
  map.deleteAll();
  map.deleteAll();
}

// Fixed-key tests that need no typed variant.
class HashMap2018EdgeTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveBefore_); }
  std::uint64_t const liveBefore_ = Vek::AllocTrackTypeInfo::liveObjectsAll();
};

using CollidingMap = Vek::HashMap2018<TestNode<CollidingKey>, CollidingKey, CollidingKeyOps>;

TEST_F(HashMap2018EdgeTest, RefusesNullAndForeignMembers) {
  CollidingMap a, b;
  EXPECT_THROW(a.memberIs(nullptr), Pavo::NullPointerException);
  auto n = Pavo::makePtr<TestNode<CollidingKey>>(CollidingKey{1}, 1);
  EXPECT_TRUE(a.memberIs(n).second);
  EXPECT_THROW(b.memberIs(n), Pavo::Exception);
  EXPECT_THROW(a.memberIs(n), Pavo::Exception);
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(a.size(), 1u);
}

TEST_F(HashMap2018EdgeTest, MovedMapKeepsItsMembers) {
  CollidingMap a;
  a.memberIs(Pavo::makePtr<TestNode<CollidingKey>>(CollidingKey{1}, 1));
  CollidingMap b(std::move(a));
  EXPECT_EQ(a.size(), 0u);  // NOLINT(bugprone-use-after-move): moved-from maps are empty
  EXPECT_TRUE(b.memberHas(CollidingKey{1}));
  CollidingMap c;
  c.memberIs(Pavo::makePtr<TestNode<CollidingKey>>(CollidingKey{2}, 2));
  c = std::move(b);
  EXPECT_FALSE(c.memberHas(CollidingKey{2}));
  EXPECT_TRUE(c.memberHas(CollidingKey{1}));
}

// The trait's constant takes part in every hash, so tables of different
// types spread the same keys differently.
TEST(KeyOpsTest, HashTraitsMixTheirConstant) {
  EXPECT_NE((Vek::SeededKeyOps<SeededKey, 11u>::hash(SeededKey{42})),
            (Vek::SeededKeyOps<SeededKey, 12u>::hash(SeededKey{42})));
  EXPECT_NE((Vek::IntegerKeyOps<int, 11u>::hash(7)), (Vek::IntegerKeyOps<int, 12u>::hash(7)));
  EXPECT_NE((Vek::SingleAttrKeyOps<AttrKey, 11u>::hash(AttrKey{513})),
            (Vek::SingleAttrKeyOps<AttrKey, 12u>::hash(AttrKey{513})));
  EXPECT_NE((Vek::HandedOverKeyOps<HandedKey, 11u>::hash(HandedKey{9})),
            (Vek::HandedOverKeyOps<HandedKey, 12u>::hash(HandedKey{9})));
}

}  // namespace
