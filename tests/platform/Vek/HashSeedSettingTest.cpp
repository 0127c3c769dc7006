#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "Vek/Hash.h"
#include "support/StderrCapture.h"

namespace {

// The seed setting is the strict number reader at 32 bits: each text gives
// its seed silently, or no seed and the one message.
TEST(HashSeedSettingTest, TakesOnlyDecimalOr0xHexFitting32Bits) {
  auto check = [](char const* text, std::optional<std::uint32_t> seed) {
    std::optional<std::uint32_t> got;
    std::string const err = stderrOf([&] { got = Vek::hashSeedSetting(text); });
    EXPECT_EQ(got, seed) << '"' << text << '"';
    EXPECT_EQ(err, seed ? std::string()
                        : "VEK_HASH_SEED=\"" + std::string(text) +
                              "\" is not a decimal or 0x-hex number that fits 32 bits; using a "
                              "random seed\n");
  };
  check("1", 1);
  check("010", 10);  // not octal
  check("4294967295", 0xFFFFFFFF);
  check("0xFFFFFFFF", 0xFFFFFFFF);
  check("0X1f", 31);
  for (char const* bad : {"", "abc", "1x", "0x", "0xg", "1 ", " 1", "-1", "+1", "4294967296",
                          "0x100000000", "18446744073709551617"})
    check(bad, std::nullopt);
  std::string const err = stderrOf([] { EXPECT_EQ(Vek::hashSeedSetting(nullptr), std::nullopt); });
  EXPECT_EQ(err, "");
}

}  // namespace
