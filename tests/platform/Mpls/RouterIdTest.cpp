#include "Mpls/RouterId.h"

#include <gtest/gtest.h>

#include <vector>

#include "Vek/CharRange.h"
#include "support/ThrowsWith.h"

namespace {

using Mpls::RouterId;
using Routing::Isis::SystemId;

TEST(RouterIdTest, ZeroRouterIdIsNoRouter) {
  RouterId z = RouterId::ipv4(1, 2);
  z.afIs(0);
  z.rtrIdValueIs(0);
  z.lblSpaceValueIs(0);
  EXPECT_TRUE(z.isZero());
  EXPECT_EQ(z.toString(), "none");
  EXPECT_FALSE(RouterId::ipv4(0).isZero());  // af 1 is a router, even at 0.0.0.0
}

TEST(RouterIdTest, TextForms) {
  RouterId odd = RouterId::ipv4(0x0A000001u, 7);
  odd.afIs(2);
  odd.isisSystemIdIs(SystemId::parse("0000.0000.0001"));
  RouterId isisWithSpace = RouterId::isis(SystemId::parse("1921.6800.1001"));
  isisWithSpace.lblSpaceValueIs(5);
  RouterId ipv4WithSysId = RouterId::ipv4(0x01020304u);
  ipv4WithSysId.isisSystemIdIs(SystemId::parse("aaaa.bbbb.cccc"));
  struct Case {
    RouterId id;
    char const* text;
  };
  for (Case const& c : std::vector<Case>{
           {RouterId::zero(), "none"},
           {RouterId::ipv4(0xC0A80101u, 65535), "192.168.1.1:65535"},
           {RouterId::isis(SystemId::parse("1921.6800.1001")), "1921.6800.1001"},
           {isisWithSpace, "1921.6800.1001:5"},
           {odd, "af2/10.0.0.1:7/0000.0000.0001"},
           {ipv4WithSysId, "af1/1.2.3.4:0/aaaa.bbbb.cccc"},
       }) {
    EXPECT_EQ(c.id.toString(), c.text);
  }
}

TEST(RouterIdTest, RefusesMalformedText) {
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { RouterId::parse("10.0.0.1"); },
                                         {"Mpls::RouterId", "position 8", "expected ':'"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { RouterId::parse("10.0.0.1:65536"); },
                                         {"position 9", "label space 65536 exceeds 65535"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { RouterId::parse("10.0.0.300:0"); },
                                         {"position 7", "octet 300"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { RouterId::parse("1921.6800:0"); },
                                         {"position 9", "expected '.'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { RouterId::parse("af2/10.0.0.1:0"); },
                                         {"position 14", "expected '/'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { RouterId::parse("none "); },
                                         {"position 4", "unexpected text"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { RouterId::parse(""); }, {"position 0"}));
}

}  // namespace
