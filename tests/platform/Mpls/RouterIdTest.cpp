#include "Mpls/RouterId.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/ThrowsWith.h"

namespace {

using Mpls::RouterId;
using Routing::Isis::SystemId;

TEST(RouterIdTest, LayoutOfTheFields) {
  RouterId id;
  id.afIs(3);
  id.rtrIdValueIs(0x01020304u);
  id.lblSpaceValueIs(0x0506);
  id.isisSystemIdIs(SystemId::parse("1921.6800.1001"));
  unsigned char bytes[sizeof(RouterId)];
  std::memcpy(bytes, &id, sizeof bytes);
  std::uint32_t word;
  std::memcpy(&word, bytes, 4);
  EXPECT_EQ(word, 3u);
  std::memcpy(&word, bytes + 4, 4);
  EXPECT_EQ(word, 0x01020304u);
  std::uint16_t half;
  std::memcpy(&half, bytes + 8, 2);
  EXPECT_EQ(half, 0x0506);
  EXPECT_EQ(bytes[10], 0x19);
  EXPECT_EQ(bytes[15], 0x01);
  for (std::size_t i = 16; i < 24; ++i)
    EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(id.af(), 3u);
  EXPECT_EQ(id.rtrIdValue(), 0x01020304u);
  EXPECT_EQ(id.lblSpaceValue(), 0x0506);
  EXPECT_EQ(id.isisSystemId(), SystemId::parse("1921.6800.1001"));
}

TEST(RouterIdTest, ZeroRouterIdIsNoRouter) {
  RouterId z;
  z.afIs(0);
  z.rtrIdValueIs(0);
  z.lblSpaceValueIs(0);
  EXPECT_TRUE(z.isZero());
  EXPECT_EQ(z, RouterId::zero());
  EXPECT_EQ(z.toString(), "none");
  EXPECT_FALSE(RouterId::ipv4(0).isZero());  // af 1 is a router, even at 0.0.0.0
}

TEST(RouterIdTest, TextRoundTrips) {
  struct Case {
    RouterId id;
    char const* text;
  };
  RouterId odd = RouterId::ipv4(0x0A000001u, 7);
  odd.afIs(2);
  odd.isisSystemIdIs(SystemId::parse("0000.0000.0001"));
  RouterId isisWithSpace = RouterId::isis(SystemId::parse("1921.6800.1001"));
  isisWithSpace.lblSpaceValueIs(5);
  RouterId ipv4WithSysId = RouterId::ipv4(0x01020304u);
  ipv4WithSysId.isisSystemIdIs(SystemId::parse("aaaa.bbbb.cccc"));
  std::vector<Case> const cases = {
      {RouterId::zero(), "none"},
      {RouterId::ipv4(0x0A000001u), "10.0.0.1:0"},
      {RouterId::ipv4(0xC0A80101u, 65535), "192.168.1.1:65535"},
      {RouterId::isis(SystemId::parse("1921.6800.1001")), "1921.6800.1001"},
      {isisWithSpace, "1921.6800.1001:5"},
      {odd, "af2/10.0.0.1:7/0000.0000.0001"},
      {ipv4WithSysId, "af1/1.2.3.4:0/aaaa.bbbb.cccc"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.id.toString(), c.text);
    EXPECT_EQ(RouterId::parse(c.text), c.id) << c.text;
  }
}

TEST(RouterIdTest, RefusesMalformedText) {
  using Pavo::ParseException;
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<ParseException>([] { RouterId::parse("10.0.0.1"); },
                                         {"Mpls::RouterId", "position 8", "expected ':'"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { RouterId::parse("10.0.0.1:65536"); },
                                         {"position 9", "label space 65536 exceeds 65535"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { RouterId::parse("10.0.0.300:0"); },
                                         {"position 7", "octet 300"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { RouterId::parse("1921.6800:0"); },
                                         {"position 9", "expected '.'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { RouterId::parse("af2/10.0.0.1:0"); },
                                         {"position 14", "expected '/'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { RouterId::parse("none "); },
                                         {"position 4", "unexpected text"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { RouterId::parse(""); }, {"position 0"}));
}

TEST(RouterIdTest, OrderIsFieldByField) {
  RouterId afOnly;
  afOnly.afIs(1);
  RouterId bigLblSpace = RouterId::ipv4(1, 65535);
  std::vector<RouterId> const ascending = {
      RouterId::zero(),
      afOnly,
      RouterId::ipv4(0, 1),
      RouterId::ipv4(1, 0),
      bigLblSpace,
      RouterId::ipv4(2, 0),
      RouterId::isis(SystemId::parse("0000.0000.0001")),
      RouterId::isis(SystemId::parse("0000.0001.0000")),
  };
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] <=> ascending[j], i <=> j) << i << " " << j;
      EXPECT_EQ(RouterId::isEq(&ascending[i], &ascending[j]), i == j);
    }
  }
}

TEST(RouterIdTest, EqualValuesHashEqual) {
  RouterId const a = RouterId::parse("1921.6800.1001:3");
  RouterId b = RouterId::isis(SystemId::parse("1921.6800.1001"));
  b.lblSpaceValueIs(3);
  RouterId const other = RouterId::parse("1921.6800.1002:3");
  for (unsigned seed : {0u, 297630782u, 3591295307u, 0xFFFFFFFFu}) {
    EXPECT_EQ(a.hash(seed), b.hash(seed));
    EXPECT_NE(a.hash(seed), other.hash(seed));
  }
}

}  // namespace
