#include "Mpls/SegmentRouting/SegmentIdentifier.h"

#include <gtest/gtest.h>

#include "Vek/CharRange.h"
#include "support/ThrowsWith.h"

namespace {

using Mpls::SegmentRouting::SegmentIdentifier;

TEST(SegmentIdentifierTest, TextForms) {
  EXPECT_TRUE(SegmentIdentifier().isZero());
  EXPECT_EQ(SegmentIdentifier(16001, 0x40).toString(), "16001/0x40");
  EXPECT_EQ(SegmentIdentifier(16001, 0x4).toString(), "16001/0x04");
  EXPECT_EQ(SegmentIdentifier(16001, 0).toString(), "16001");
  EXPECT_EQ(SegmentIdentifier::parse("16001/0XaB"), SegmentIdentifier(16001, 0xAB));
  EXPECT_EQ(SegmentIdentifier::parse("16001/0x0040"), SegmentIdentifier(16001, 0x40));
}

TEST(SegmentIdentifierTest, RefusesMalformedText) {
  using Pavo::RangeException;
  char const* const kName = "Mpls::SegmentRouting::SegmentIdentifier";
  EXPECT_TRUE(throwsWith<RangeException>([] { SegmentIdentifier::parse("4294967296"); },
                                         {kName, "position 0", "value 4294967296 exceeds"}));
  EXPECT_TRUE(
      throwsWith<RangeException>([] { SegmentIdentifier::parse("99999999999999999999999"); },
                                 {"position 0", "exceeds 4294967295"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { SegmentIdentifier::parse("1/0x100"); },
                                         {"position 4", "flag exceeds 0xff"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SegmentIdentifier::parse("-1"); },
                                                    {kName, "position 0", "decimal value"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SegmentIdentifier::parse("16001/40"); },
                                                    {"position 6", "\"0x\""}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SegmentIdentifier::parse("16001/0x"); },
                                                    {"position 8", "hex flag"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { SegmentIdentifier::parse("16001 "); },
                                                    {"position 5", "unexpected text"}));
}

}  // namespace
