#include "Routing/Isis/SystemId.h"

#include <gtest/gtest.h>

#include "Vek/CharRange.h"
#include "support/ThrowsWith.h"

namespace {

using Routing::Isis::SystemId;

TEST(SystemIdTest, ParsesAnyCaseAndPrintsLowerCase) {
  SystemId const id = SystemId::parse("1921.6800.1001");
  EXPECT_EQ(id.bytes(), (std::array<std::uint8_t, 6>{0x19, 0x21, 0x68, 0x00, 0x10, 0x01}));
  EXPECT_EQ(id.toString(), "1921.6800.1001");
  EXPECT_EQ(SystemId::parse("ABCD.ef01.0000").toString(), "abcd.ef01.0000");
  EXPECT_EQ(SystemId::parse("0000.0000.00FF"), SystemId::parse("0000.0000.00ff"));
  EXPECT_EQ(SystemId().toString(), "0000.0000.0000");
  EXPECT_TRUE(SystemId().isZero());
  EXPECT_FALSE(id.isZero());
}

TEST(SystemIdTest, RefusesMalformedText) {
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SystemId::parse("1921.6800.100"); },
                                         {"Routing::Isis::SystemId", "position 10", "four hex"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SystemId::parse("1921.6800.10011"); },
                                         {"position 14", "more than 4 hex digits"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SystemId::parse("1921-6800-1001"); },
                                         {"position 4", "expected '.'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SystemId::parse("1921.6800.1001.02"); },
                                         {"position 14", "unexpected text"}));
  EXPECT_TRUE(
      throwsWith<Vek::DeserializeException>([] { SystemId::parse("g921.6800.1001"); }, {"position 0"}));
}

}  // namespace
