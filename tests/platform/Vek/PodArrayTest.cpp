#include "Vek/PodArray.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/ThrowsWith.h"

namespace {

struct Rec {
  std::uint32_t a;
  std::uint32_t b;
};
using Small = Vek::PodArray<Rec, 3>;

TEST(PodArrayTest, LayoutIsCountThenRecords) {
  static_assert(sizeof(Small) == 4 + 3 * sizeof(Rec));
  Small arr;
  arr.push({1, 2});
  std::uint32_t words[3];
  std::memcpy(words, &arr, sizeof words);
  EXPECT_EQ(words[0], 1u);
  EXPECT_EQ(words[1], 1u);
  EXPECT_EQ(words[2], 2u);
}

TEST(PodArrayTest, CopiesCountRecordsAndCompares) {
  Small a;
  a.push({1, 1});
  a.push({2, 2});
  Small b = a;
  EXPECT_EQ(b.count(), 2u);
  EXPECT_EQ(b[1].a, 2u);
  EXPECT_EQ(a, b);
  b[1].b = 9;
  EXPECT_FALSE(a == b);
  Small c;
  c.push({7, 7});
  c.push({8, 8});
  c.push({9, 9});
  c = a;  // the stale third record is past the count and does not matter
  EXPECT_EQ(c, a);
  std::uint32_t sum = 0;
  for (Rec const& r : c)
    sum += r.a;
  EXPECT_EQ(sum, 3u);
}

TEST(PodArrayTest, BoundsAreChecked) {
  Small full;
  for (std::uint32_t i = 0; i < 3; ++i)
    full.push({i, i});
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] {
        full.push({0, 0});
      },
      {"count 4", "bound of 3"}));
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([&] { (void)full[3]; }, {"index 3", "count of 3"}));
  Small two;
  two.push({5, 5});
  two.push({6, 6});
  EXPECT_THROW((void)two[2], Pavo::RangeException);

  Small corrupt = full;
  corrupt.countIsUnchecked(101);
  EXPECT_TRUE(
      throwsWith<Pavo::RangeException>([&] { Small copy(corrupt); }, {"count 101", "bound of 3"}));
  Small target = two;
  EXPECT_THROW(target = corrupt, Pavo::RangeException);
  EXPECT_EQ(target, two);                         // untouched
  EXPECT_EQ(corrupt.end() - corrupt.begin(), 3);  // reads stop at the bound
  EXPECT_EQ(corrupt[2].a, 2u);
  EXPECT_THROW((void)corrupt[3], Pavo::RangeException);
}

}  // namespace
