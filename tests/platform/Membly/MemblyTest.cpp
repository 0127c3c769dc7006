#include "Membly/Membly.h"

#include <gtest/gtest.h>

namespace {

TEST(MemblyTest, OverrideTextIsTakenOnlyWhenValid) {
  struct Case {
    char const* text;
    std::size_t expected;
  };
  Case const cases[] = {
      {nullptr, Membly::kDefaultAlignment},
      {"", Membly::kDefaultAlignment},
      {"128", 128},
      {"0x1000", 4096},
      {"8", 8},
      {"4", Membly::kDefaultAlignment},     // below the minimum
      {"8192", Membly::kDefaultAlignment},  // above the maximum
      {"96", Membly::kDefaultAlignment},    // not a power of two
      {"0", Membly::kDefaultAlignment},
      {"-64", Membly::kDefaultAlignment},
      {"+64", Membly::kDefaultAlignment},
      {"64k", Membly::kDefaultAlignment},
      {"abc", Membly::kDefaultAlignment},
      {"99999999999999999999999", Membly::kDefaultAlignment},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(Membly::alignmentFromText(c.text), c.expected) << (c.text ? c.text : "(unset)");
  }
}

}  // namespace
