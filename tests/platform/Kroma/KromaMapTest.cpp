#include "Kroma/KromaMap.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/ThrowsWith.h"

namespace {

struct Entry {
  std::uint32_t key = 0;
  std::uint32_t payload = 0;
  static bool isEq(void const* a, void const* b) {
    auto const& x = *static_cast<Entry const*>(a);
    auto const& y = *static_cast<Entry const*>(b);
    return x.key == y.key && x.payload == y.payload;
  }
};

using Map = Kroma::KromaMap<std::uint32_t, Entry>;

void put(Map& map, std::uint32_t key, std::uint32_t payload = 1) {
  map.entryIs(key, Entry{key, payload}, [](Entry const*) {});
}

void del(Map& map, std::uint32_t key) {
  map.entryDel(key, [](Entry const*) {});
}

std::vector<std::uint32_t> walk(Map const& map) {
  std::vector<std::uint32_t> keys;
  Kroma::IterHint hint;
  std::uint32_t k = 0;
  for (bool more = map.firstKey(hint, k); more; more = map.nextKey(hint, k, k))
    keys.push_back(k);
  return keys;
}

TEST(KromaMapTest, WalksInKeyOrderAcrossChanges) {
  Map map("test.map");
  for (std::uint32_t k : {30u, 10u, 20u, 40u})
    put(map, k);
  EXPECT_EQ(walk(map), (std::vector<std::uint32_t>{10, 20, 30, 40}));

  Kroma::IterHint hint;
  std::uint32_t k = 0;
  ASSERT_TRUE(map.firstKey(hint, k));
  ASSERT_TRUE(map.nextKey(hint, k, k));
  EXPECT_EQ(k, 20u);
  del(map, 20);  // the key the walk stands on goes away
  ASSERT_TRUE(map.nextKey(hint, k, k));
  EXPECT_EQ(k, 30u);
  put(map, 35);  // a key inserted ahead of the walk is seen
  ASSERT_TRUE(map.nextKey(hint, k, k));
  EXPECT_EQ(k, 35u);
  ASSERT_TRUE(map.nextKey(hint, k, k));
  EXPECT_EQ(k, 40u);
  EXPECT_FALSE(map.nextKey(hint, k, k));

  // A hint from another walk position is not trusted blindly.
  ASSERT_TRUE(map.firstKey(hint, k));
  std::uint32_t out = 0;
  ASSERT_TRUE(map.nextKey(hint, 30, out));
  EXPECT_EQ(out, 35u);
  EXPECT_FALSE(Map("empty").firstKey(hint, k));
}

TEST(KromaMapTest, EachFaultFiresExactlyWhereConfigured) {
  Map map("test.map");
  for (std::uint32_t k : {1u, 2u, 3u})
    put(map, k);

  map.faultIs(Kroma::Fault::lookup, 2);
  EXPECT_NO_THROW(map.lookup(1));
  EXPECT_NO_THROW(map.lookup(9));
  EXPECT_TRUE(throwsWith<Pavo::CorruptionDetectedException>(
      [&] { map.lookup(1); }, {"test.map", "corruption detected in lookup"}));
  EXPECT_NO_THROW(map.lookup(1));  // fired once, off again
  EXPECT_EQ(map.fault(), Kroma::Fault::none);

  Kroma::IterHint hint;
  std::uint32_t k = 0;
  map.faultIs(Kroma::Fault::nextKey, 1);
  ASSERT_TRUE(map.firstKey(hint, k));  // other operations do not count
  ASSERT_TRUE(map.nextKey(hint, k, k));
  EXPECT_TRUE(throwsWith<Pavo::CorruptionDetectedException>([&] { map.nextKey(hint, k, k); },
                                                            {"test.map", "nextKey"}));

  map.faultIs(Kroma::Fault::firstKey, 0);
  EXPECT_TRUE(throwsWith<Pavo::CorruptionDetectedException>([&] { map.firstKey(hint, k); },
                                                            {"test.map", "firstKey"}));
  map.faultIs(Kroma::Fault::lookup, 0);
  map.faultClear();
  EXPECT_NO_THROW(map.lookup(1));
}

// A removed key's node waits for the key to return, which counts as a new
// key; waiting nodes are let go once they outnumber half the entries.
TEST(KromaMapTest, RemovedKeysReturnAsNewAndWaitingNodesAreLetGo) {
  Map map("test.map");
  for (std::uint32_t k = 0; k < 40; ++k)
    put(map, k);
  std::size_t const full = map.memoryBytes();
  for (std::uint32_t k = 0; k < 10; ++k)
    del(map, 2 * k);
  EXPECT_EQ(map.memoryBytes(), full);
  bool fresh = false;
  map.entryIs(4, Entry{4, 2}, [&](Entry const* prior) { fresh = prior == nullptr; });
  EXPECT_TRUE(fresh);
  for (std::uint32_t k = 20; k < 40; ++k)
    del(map, k);
  EXPECT_LT(map.memoryBytes(), full);
  EXPECT_EQ(walk(map), (std::vector<std::uint32_t>{1, 3, 4, 5, 7, 9, 11, 13, 15, 17, 19}));
  EXPECT_EQ(map.lookup(4).payload, 2u);
  EXPECT_FALSE(map.contains(6));
  put(map, 6);
  EXPECT_EQ(map.size(), 12u);
}

}  // namespace
