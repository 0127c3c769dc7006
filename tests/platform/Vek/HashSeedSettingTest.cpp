#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "Vek/Hash.h"
#include "support/StderrCapture.h"

namespace {

// The seed setting is the strict number reader at 32 bits: each value is
// either taken silently or refused with the one message and no seed.
TEST(HashSeedSettingTest, TakesOnlyDecimalOr0xHexFitting32Bits) {
  struct Case {
    char const* text;
    std::optional<std::uint32_t> seed;
  };
  Case const cases[] = {
      {"0", 0u},
      {"1", 1u},
      {"010", 10u},  // decimal, not octal
      {"0000000000000000000000042", 42u},
      {"4294967295", 0xFFFFFFFFu},
      {"0xFFFFFFFF", 0xFFFFFFFFu},
      {"0X1f", 31u},
      {"0x00000000000000000001", 1u},
      {"", std::nullopt},
      {"abc", std::nullopt},
      {"1x", std::nullopt},
      {"0x", std::nullopt},
      {"0xg", std::nullopt},
      {"1e3", std::nullopt},
      {"0b1", std::nullopt},
      {"1 ", std::nullopt},
      {" 1", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {"4294967296", std::nullopt},
      {"0x100000000", std::nullopt},
      {"18446744073709551617", std::nullopt},  // beyond 64 bits too
  };
  for (auto const& c : cases) {
    std::optional<std::uint32_t> seed;
    std::string const err = stderrOf([&] { seed = Vek::hashSeedSetting(c.text); });
    EXPECT_EQ(seed, c.seed) << '"' << c.text << '"';
    EXPECT_EQ(err, c.seed ? std::string()
                          : "VEK_HASH_SEED=\"" + std::string(c.text) +
                                "\" is not a decimal or 0x-hex number that fits 32 bits; using a "
                                "random seed\n");
  }
  std::string const err = stderrOf([] { EXPECT_EQ(Vek::hashSeedSetting(nullptr), std::nullopt); });
  EXPECT_EQ(err, "");
}

}  // namespace
