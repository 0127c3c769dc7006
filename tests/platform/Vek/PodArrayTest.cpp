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

// The shared-memory layout is the count, then the records; counts past the
// bound are refused by every writer, and reads of a corrupt count stop there.
TEST(PodArrayTest, BoundsAreChecked) {
  static_assert(sizeof(Small) == 4 + 3 * sizeof(Rec));
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
