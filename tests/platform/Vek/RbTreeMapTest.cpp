#include "Vek/RbTreeMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <vector>

#include "Granule/Slab.h"
#include "Vek/AllocTrack.h"
#include "Vek/KeyOps.h"
#include "support/TrackedNode.h"

namespace {

class TestMember : public Vek::RbTreeMember<TestMember, std::int64_t, int>,
                   public Granule::SlabAllocated<TestMember> {
 public:
  using RbTreeMember::RbTreeMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Vek::Test::RbTreeTestMember"};
};

using Map = Vek::RbTreeMap<TestMember, std::int64_t, int>;

class RbTreeMapTest : public ::testing::Test {
 protected:
  static std::uint64_t liveMembers() { return TestMember::memAllocationTracker_.liveObjects(); }

 private:
  TestSupport::TrackerGuard trackers_;  // every test leaves the trackers as it found them
};

std::vector<std::int64_t> keysOf(Map const& map) {
  std::vector<std::int64_t> keys;
  for (auto it = map.begin(); !it.atEnd(); ++it)
    keys.push_back(it->key());
  return keys;
}

// from, from + step, ... below `to`.
std::vector<std::int64_t> keyRange(std::int64_t from, std::int64_t to, std::int64_t step = 1) {
  std::vector<std::int64_t> keys;
  for (std::int64_t k = from; k < to; k += step)
    keys.push_back(k);
  return keys;
}

Map filled(std::vector<std::int64_t> const& keys) {
  Map map;
  for (std::int64_t k : keys)
    map.memberIs(k, static_cast<int>(k * 10));
  return map;
}

// The tree against std::map under a random mix of every mutator, with the
// red-black rules checked after each step. VEK_RBTREE_SEED replays one seed.
TEST_F(RbTreeMapTest, RandomOperationsMatchStdMap) {
  std::vector<std::uint64_t> seeds = {1, 2, 3, 0xC0FFEE};
  if (char const* env = std::getenv("VEK_RBTREE_SEED"))
    seeds = {std::strtoull(env, nullptr, 0)};
  for (std::uint64_t seed : seeds) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    Map map;
    std::map<std::int64_t, int> ref;
    auto randomKey = [&] { return static_cast<std::int64_t>(rng() % 400) - 200; };
    for (int step = 0; step < 5000; ++step) {
      std::int64_t const key = randomKey();
      int const value = static_cast<int>(rng() % 1000);
      unsigned const op = rng() % 10;
      if (op < 4) {
        TestMember* m = map.memberIs(key, value);
        ASSERT_EQ(m->key(), key);
        ASSERT_EQ(m->value(), value);
        ref[key] = value;
      } else if (op < 6) {
        Pavo::Ptr<TestMember> gone = map.memberDel(key);
        auto r = ref.find(key);
        ASSERT_EQ(static_cast<bool>(gone), r != ref.end()) << "key " << key;
        if (gone) {
          ASSERT_FALSE(gone->linked());
          ASSERT_EQ(gone->value(), r->second);
          ref.erase(r);
        }
      } else if (op < 7) {
        // Removal through an iterator, which then moves on to the successor.
        Map::Iterator it = map.iterFrom(key);
        auto r = ref.lower_bound(key);
        ASSERT_EQ(it.atEnd(), r == ref.end());
        Pavo::Ptr<TestMember> gone = map.memberDel(it);
        ASSERT_EQ(static_cast<bool>(gone), r != ref.end());
        if (gone) {
          ASSERT_EQ(gone->key(), r->first);
          auto after = ref.erase(r);
          ++it;
          ASSERT_EQ(it.atEnd(), after == ref.end());
          if (after != ref.end()) {
            ASSERT_EQ(it->key(), after->first);
          }
        }
      } else if (op < 9) {
        TestMember* m = map.member(key);
        auto r = ref.find(key);
        ASSERT_EQ(m != nullptr, r != ref.end()) << "key " << key;
        ASSERT_EQ(map.memberHas(key), r != ref.end());
        if (m) {
          ASSERT_EQ(m->value(), r->second);
        }
      } else if (rng() % 50 == 0) {
        map.deleteAll();
        ref.clear();
      }
      ASSERT_TRUE(map.verify()) << "step " << step;
      ASSERT_EQ(map.size(), ref.size());
      ASSERT_EQ(map.empty(), ref.empty());
    }
    std::vector<std::int64_t> expected;
    for (auto const& [k, v] : ref)
      expected.push_back(k);
    EXPECT_EQ(keysOf(map), expected);
  }
}

TEST_F(RbTreeMapTest, MemberIsOverwritesInPlaceWithoutAllocating) {
  Map map = filled({1, 2, 3});
  TestMember* before = map.member(2);
  std::uint64_t const allocations = TestMember::memAllocationTracker_.totalAllocations();
  EXPECT_EQ(map.memberIs(2, 77), before);
  EXPECT_EQ(map.member(2)->value(), 77);
  EXPECT_EQ(map.size(), 3u);
  EXPECT_EQ(TestMember::memAllocationTracker_.totalAllocations(), allocations);
}

TEST_F(RbTreeMapTest, ErasingKeepsEveryOtherMemberObject) {
  Map map = filled(keyRange(0, 64));
  std::map<std::int64_t, TestMember*> objects;
  for (auto it = map.begin(); !it.atEnd(); ++it)
    objects[it->key()] = it.member();
  // Erase inner members (two children, so their successors are relinked).
  for (std::int64_t k : {31, 15, 47, 7, 55}) {
    Pavo::Ptr<TestMember> gone = map.memberDel(k);
    ASSERT_EQ(gone.get(), objects[k]);
    objects.erase(k);
    ASSERT_TRUE(map.verify());
  }
  for (auto const& [k, object] : objects) {
    EXPECT_EQ(map.member(k), object) << "key " << k;
    EXPECT_EQ(object->value(), k * 10);
  }
}

TEST_F(RbTreeMapTest, IteratorSurvivesDeletionOfItsOwnMember) {
  Map map = filled({10, 20, 30, 40, 50});
  std::uint64_t const live = liveMembers();
  Map::Iterator it = map.iterFrom(20);
  map.memberDel(20);  // the removed member is dropped by the map ...
  EXPECT_EQ(liveMembers(), live) << "... but the iterator still holds it";
  EXPECT_FALSE(it->linked());
  EXPECT_EQ(it->key(), 20);
  EXPECT_EQ(it->value(), 200);
  // Its successor went too, and a new key arrived after the removed one.
  map.memberDel(30);
  map.memberIs(25, 0);
  ++it;
  EXPECT_EQ(liveMembers(), live - 1) << "moving on releases the removed member";
  ASSERT_FALSE(it.atEnd());
  EXPECT_EQ(it->key(), 25);
  EXPECT_EQ((++it)->key(), 40);

  // The last member removed under the iterator: ++ ends.
  Map::Iterator last = map.iterFrom(50);
  map.memberDel(50);
  EXPECT_TRUE((++last).atEnd());
}

TEST_F(RbTreeMapTest, IterationWhileDeletingAheadAndBehind) {
  Map map = filled(keyRange(0, 100));
  std::vector<std::int64_t> visited;
  for (auto it = map.begin(); !it.atEnd(); ++it) {
    std::int64_t const k = it->key();
    visited.push_back(k);
    map.memberDel(k + 1);   // ahead: never visited
    map.memberDel(k - 10);  // behind
    if (k % 4 == 0)
      map.memberDel(k);
    ASSERT_TRUE(map.verify());
  }
  EXPECT_EQ(visited, keyRange(0, 100, 2));
}

TEST_F(RbTreeMapTest, DeleteAllLeavesHeldMembersAliveAndUnlinked) {
  std::uint64_t const liveAtStart = liveMembers();
  Map map = filled(keyRange(0, 50));
  Map::Iterator it = map.iterFrom(25);
  Pavo::Ptr<TestMember> held(map.member(7));
  map.deleteAll();
  EXPECT_TRUE(map.empty());
  EXPECT_TRUE(map.begin().atEnd());
  EXPECT_TRUE(map.verify());
  EXPECT_EQ(liveMembers(), liveAtStart + 2) << "only the two held members are left";
  EXPECT_FALSE(held->linked());
  EXPECT_EQ(held->key(), 7);
  EXPECT_FALSE(it->linked());
  EXPECT_EQ(it->key(), 25);
  EXPECT_FALSE(map.memberDel(it));
  Map::Iterator second = it;
  EXPECT_TRUE((++it).atEnd());

  // The map is usable again, and an old iterator continues among new members.
  map.memberIs(26, 1);
  map.memberIs(3, 1);
  ASSERT_TRUE(map.verify());
  EXPECT_EQ((++second)->key(), 26);
  EXPECT_EQ(map.begin()->key(), 3);
}

TEST_F(RbTreeMapTest, LargeTreesMoveAndClearWithoutDeepRecursion) {
  std::uint64_t const liveAtStart = liveMembers();
  {
    Map map;
    for (std::int64_t k = 0; k < 100000; ++k)
      map.memberIs(k, 0);
    for (std::int64_t k = 0; k < 100000; k += 3)
      map.memberDel(k);
    Map moved(std::move(map));
    EXPECT_TRUE(map.empty());  // NOLINT(bugprone-use-after-move): moved-from maps are empty
    EXPECT_EQ(moved.size(), 66666u);
    EXPECT_TRUE(moved.verify());
    EXPECT_EQ(liveMembers(), liveAtStart + 66666u);
  }
  EXPECT_EQ(liveMembers(), liveAtStart);
}

// A key whose equality is its own static isEq: DefaultKeyOps must use it
// rather than ==, and the tree's look-up walk ends on it.
struct CaseKey {
  int order;  // the tree order
  int tag;    // ignored by equality
  static bool isEq(void const* a, void const* b) {
    return static_cast<CaseKey const*>(a)->order == static_cast<CaseKey const*>(b)->order;
  }
  bool operator==(CaseKey const& o) const { return order == o.order && tag == o.tag; }
  auto operator<=>(CaseKey const& o) const { return order <=> o.order; }
};

class CaseMember : public Vek::RbTreeMember<CaseMember, CaseKey, bool>,
                   public Granule::SlabAllocated<CaseMember> {
 public:
  using RbTreeMember::RbTreeMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Vek::Test::RbTreeCaseMember"};
};

TEST_F(RbTreeMapTest, DefaultKeyOpsPrefersTheKeysStaticIsEq) {
  using Ops = Vek::DefaultKeyOps<CaseKey>;
  EXPECT_TRUE(Ops::isEq(CaseKey{1, 1}, CaseKey{1, 2}));
  EXPECT_FALSE(Ops::isEq(CaseKey{1, 1}, CaseKey{2, 1}));
  EXPECT_TRUE(Ops::less(CaseKey{1, 9}, CaseKey{2, 0}));
  EXPECT_FALSE(Ops::less(CaseKey{2, 0}, CaseKey{1, 9}));
  EXPECT_TRUE(Vek::DefaultKeyOps<int>::isEq(3, 3));

  Vek::RbTreeMap<CaseMember, CaseKey, bool> map;
  CaseMember* first = map.memberIs(CaseKey{5, 1}, true);
  EXPECT_EQ(map.memberIs(CaseKey{5, 2}, false), first);
  EXPECT_EQ(map.size(), 1u);
  EXPECT_EQ(first->key().tag, 1);
  EXPECT_FALSE(first->value());
}

}  // namespace
