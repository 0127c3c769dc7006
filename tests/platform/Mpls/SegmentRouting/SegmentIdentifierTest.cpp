#include "Mpls/SegmentRouting/SegmentIdentifier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "support/ThrowsWith.h"

namespace {

using Mpls::SegmentRouting::PrefixAlgoKey;
using Mpls::SegmentRouting::SegmentIdentifier;

TEST(SegmentIdentifierTest, ZeroValueAndLayout) {
  SegmentIdentifier const zero;
  EXPECT_EQ(zero.value(), 0u);
  EXPECT_EQ(zero.flag(), 0);
  EXPECT_TRUE(zero.isZero());
  SegmentIdentifier const sid(0x01020304u, 0x40);
  unsigned char bytes[sizeof sid];
  std::memcpy(bytes, &sid, sizeof bytes);
  std::uint32_t value;
  std::memcpy(&value, bytes, 4);
  EXPECT_EQ(value, 0x01020304u);
  EXPECT_EQ(bytes[4], 0x40);
  EXPECT_EQ(bytes[5] | bytes[6] | bytes[7], 0);
}

TEST(SegmentIdentifierTest, TextRoundTrips) {
  for (SegmentIdentifier const sid :
       {SegmentIdentifier(), SegmentIdentifier(16001, 0), SegmentIdentifier(16001, 0x40),
        SegmentIdentifier(4294967295u, 0xFF), SegmentIdentifier(3, 0x01)}) {
    EXPECT_EQ(SegmentIdentifier::parse(sid.toString()), sid) << sid;
  }
  EXPECT_EQ(SegmentIdentifier(16001, 0x40).toString(), "16001/0x40");
  EXPECT_EQ(SegmentIdentifier(16001, 0x4).toString(), "16001/0x04");
  EXPECT_EQ(SegmentIdentifier(16001, 0).toString(), "16001");
  EXPECT_EQ(SegmentIdentifier::parse("16001/0XaB"), SegmentIdentifier(16001, 0xAB));
  EXPECT_EQ(SegmentIdentifier::parse("16001/0x0040"), SegmentIdentifier(16001, 0x40));
}

TEST(SegmentIdentifierTest, ParsePrefixReportsWhatItUsed) {
  std::size_t used = 99;
  EXPECT_EQ(SegmentIdentifier::parsePrefix("16001/0x40, metric=3", used),
            SegmentIdentifier(16001, 0x40));
  EXPECT_EQ(used, 10u);
  EXPECT_EQ(SegmentIdentifier::parsePrefix("17)", used), SegmentIdentifier(17, 0));
  EXPECT_EQ(used, 2u);
  EXPECT_THROW(SegmentIdentifier::parsePrefix(")", used), Pavo::ParseException);
}

TEST(SegmentIdentifierTest, RefusesMalformedText) {
  using Pavo::ParseException;
  using Pavo::RangeException;
  char const* const kName = "Mpls::SegmentRouting::SegmentIdentifier";
  EXPECT_TRUE(throwsWith<RangeException>([] { SegmentIdentifier::parse("4294967296"); },
                                         {kName, "position 0", "value 4294967296 exceeds"}));
  EXPECT_TRUE(
      throwsWith<RangeException>([] { SegmentIdentifier::parse("99999999999999999999999"); },
                                 {"position 0", "exceeds 4294967295"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { SegmentIdentifier::parse("1/0x100"); },
                                         {"position 4", "flag exceeds 0xff"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { SegmentIdentifier::parse("-1"); },
                                         {kName, "position 0", "decimal value"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { SegmentIdentifier::parse("16001/40"); },
                                         {"position 6", "\"0x\""}));
  EXPECT_TRUE(throwsWith<ParseException>([] { SegmentIdentifier::parse("16001/0x"); },
                                         {"position 8", "hex flag"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { SegmentIdentifier::parse("16001 "); },
                                         {"position 5", "unexpected text"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { SegmentIdentifier::parse(""); }, {"position 0"}));
}

TEST(SegmentIdentifierTest, SetFlagOrdersBeforeClearFlag) {
  std::vector<SegmentIdentifier> const ascending = {
      SegmentIdentifier(16, 0xFF),       SegmentIdentifier(16, 0x40), SegmentIdentifier(16, 0x01),
      SegmentIdentifier(16, 0),          SegmentIdentifier(17, 0x80), SegmentIdentifier(17, 0),
      SegmentIdentifier(4294967295u, 0),
  };
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] <=> ascending[j], i <=> j) << ascending[i] << " " << ascending[j];
      EXPECT_EQ(SegmentIdentifier::isEq(&ascending[i], &ascending[j]), i == j);
    }
  }
}

TEST(SegmentIdentifierTest, EqualValuesHashEqual) {
  SegmentIdentifier const a(16001, 0x40);
  SegmentIdentifier const b = SegmentIdentifier::parse("16001/0x40");
  for (unsigned seed : {0u, 1u, 42316860u}) {
    EXPECT_EQ(a.hash(seed), b.hash(seed));
    EXPECT_NE(a.hash(seed), SegmentIdentifier(16001, 0).hash(seed));
  }
}

TEST(PrefixAlgoKeyTest, OrderEqualityHashText) {
  Vantre::IpGenPrefix const p1("10.0.0.1/32");
  Vantre::IpGenPrefix const p2("10.0.0.2/32");
  std::vector<PrefixAlgoKey> const ascending = {PrefixAlgoKey(), PrefixAlgoKey(p1, 0),
                                                PrefixAlgoKey(p1, 128), PrefixAlgoKey(p1, 255),
                                                PrefixAlgoKey(p2, 0)};
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] <=> ascending[j], i <=> j) << i << " " << j;
      EXPECT_EQ(PrefixAlgoKey::isEq(&ascending[i], &ascending[j]), i == j);
    }
  }
  PrefixAlgoKey const same(Vantre::IpGenPrefix("10.0.0.1/32"), 128);
  for (unsigned seed : {0u, 2987357345u}) {
    EXPECT_EQ(same.hash(seed), ascending[2].hash(seed));
    EXPECT_NE(same.hash(seed), ascending[1].hash(seed));
  }
  EXPECT_EQ(same.prefix(), p1);
  EXPECT_EQ(same.algo(), 128);
  EXPECT_EQ(same.toString(), "10.0.0.1/32 algo 128");
  EXPECT_EQ(PrefixAlgoKey().prefix(), Vantre::IpGenPrefix());
}

}  // namespace
