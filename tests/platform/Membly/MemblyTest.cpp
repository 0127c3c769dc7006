#include "Membly/Membly.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/StderrCapture.h"

namespace {

// A value is taken silently or refused with the one message and the default.
TEST(MemblyTest, OverrideTextIsTakenOnlyWhenValid) {
  struct Case {
    char const* text;
    std::optional<std::size_t> alignment;
  };
  // Decimal, not octal: "016" is sixteen (octal 14), "0100" a hundred (octal 64).
  Case const cases[] = {{"128", 128}, {"0x1000", 4096}, {"8", 8},   {"016", 16}, {"0100", {}},
                        {"4", {}},    {"8192", {}},     {"96", {}}, {"0", {}},   {"-64", {}},
                        {" 64", {}},  {"64k", {}},      {"", {}}};
  for (auto const& c : cases) {
    std::size_t got = 0;
    std::string const err = stderrOf([&] { got = Membly::alignmentFromText(c.text); });
    EXPECT_EQ(got, c.alignment.value_or(Membly::kDefaultAlignment)) << c.text;
    EXPECT_EQ(err, c.alignment ? std::string()
                               : "MEMBLY_BUFFER_ALIGNMENT_OVERRIDE=\"" + std::string(c.text) +
                                     "\" is not a power of two from 8 to 4096 in decimal or "
                                     "0x-hex; using 64\n");
  }
  std::string const err =
      stderrOf([] { EXPECT_EQ(Membly::alignmentFromText(nullptr), Membly::kDefaultAlignment); });
  EXPECT_EQ(err, "");
}

}  // namespace
