#include "Vantre/IpGenPrefix.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/ThrowsWith.h"

namespace {

using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

TEST(AddressFamilyTest, TextAndValues) {
  EXPECT_EQ(AddressFamily().toString(), "none");
  EXPECT_EQ(AddressFamily(AddressFamily::ipv4).toString(), "ipv4");
  EXPECT_EQ(AddressFamily(AddressFamily::ipv6).toString(), "ipv6");
  EXPECT_EQ(AddressFamily::fromValue(7).toString(), "af(7)");
  std::ostringstream os;
  os << AddressFamily(AddressFamily::ipv6);
  EXPECT_EQ(os.str(), "ipv6");
  EXPECT_EQ(AddressFamily::fromValue(1), AddressFamily::ipv4);
  EXPECT_LT(AddressFamily(AddressFamily::ipv4), AddressFamily(AddressFamily::ipv6));
}

TEST(IpGenPrefixTest, ReadsAndPrintsCanonically) {
  struct Case {
    char const* in;
    char const* out;
  };
  std::vector<Case> const cases = {
      {"10.0.0.0/8", "10.0.0.0/8"},
      {"10.1.2.3/8", "10.0.0.0/8"},  // host bits are cleared
      {"192.168.1.1/32", "192.168.1.1/32"},
      {"0.0.0.0/0", "0.0.0.0/0"},
      {"2001:db8::/32", "2001:db8::/32"},
      {"2001:DB8:0:0:0:0:0:1/128", "2001:db8::1/128"},
      {"2001:db8:0:0:1:0:0:1/128", "2001:db8::1:0:0:1/128"},     // first of equal runs
      {"2001:0:0:1:0:0:0:1/128", "2001:0:0:1::1/128"},           // longest run wins
      {"2001:db8:0:1:1:1:1:1/128", "2001:db8:0:1:1:1:1:1/128"},  // one zero group stays
      {"::/0", "::/0"},
      {"::1/128", "::1/128"},
      {"fe80::/10", "fe80::/10"},
      {"::ffff:10.0.0.1/128", "::ffff:a00:1/128"},
      {"2001:db8::ff/120", "2001:db8::/120"},
      {"none", "none"},
  };
  for (auto const& c : cases) {
    IpGenPrefix const p = IpGenPrefix::parse(c.in);
    EXPECT_EQ(p.toString(), c.out) << c.in;
    EXPECT_EQ(IpGenPrefix::parse(p.toString()), p) << c.in;
  }
}

TEST(IpGenPrefixTest, FieldsAndLayout) {
  IpGenPrefix const v4("10.20.30.40/30");
  EXPECT_EQ(v4.af(), AddressFamily::ipv4);
  EXPECT_EQ(v4.length(), 30);
  EXPECT_EQ(v4.ipv4Address(), 0x0A141E28u);
  IpGenPrefix raw = v4;
  unsigned char bytes[sizeof(IpGenPrefix)];
  std::memcpy(bytes, &raw, sizeof bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], 30);
  EXPECT_EQ(bytes[4], 10);
  EXPECT_EQ(bytes[7], 40);
  for (std::size_t i = 8; i < sizeof bytes; ++i)
    EXPECT_EQ(bytes[i], 0) << i;

  IpGenPrefix const def;
  EXPECT_EQ(def.af(), AddressFamily::none);
  EXPECT_EQ(def.length(), 0);
  EXPECT_EQ(IpGenPrefix::ipv6({0x20, 0x01, 0x0d, 0xb8, 0xff}, 33).toString(), "2001:db8:8000::/33");
}

TEST(IpGenPrefixTest, RefusesMalformedText) {
  using Pavo::ParseException;
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<RangeException>(
      [] { IpGenPrefix::parse("10.0.0.256/8"); },
      {"Vantre::IpGenPrefix", "\"10.0.0.256/8\"", "position 7", "octet 256 exceeds 255"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::parse("10.0.0.0/33"); },
                                         {"position 9", "prefix length 33 exceeds 32"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::parse("2001:db8::/129"); },
                                         {"position 11", "prefix length 129 exceeds 128"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("10.0.0.0"); },
                                         {"position 8", "expected '/'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("10.0.0/8"); },
                                         {"position 6", "expected '.'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("10.0.0.0/8x"); },
                                         {"position 10", "unexpected text"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse(""); }, {"position 0"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("hello"); }, {"position 0"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("10.0.0.0/"); },
                                         {"position 9", "prefix length"}));
  EXPECT_TRUE(
      throwsWith<ParseException>([] { IpGenPrefix::parse("1::2::3/64"); }, {"a second '::'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7/64"); },
                                         {"expected eight groups"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7:8:9/64"); },
                                         {"position 15", "expected '/'"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("1:2:3:4::5:6:7:8/64"); },
                                         {"'::' with eight groups"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("12345::/16"); },
                                         {"more than 4 hex digits"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("1:/64"); },
                                         {"position 2", "expected a hex group"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7:1.2.3.4/64"); },
                                         {"no room for a dotted IPv4 tail"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::ipv4(0, 33); }, {"length 33"}));
  std::string const huge(1000, '9');
  EXPECT_TRUE(throwsWith<RangeException>([&] { IpGenPrefix::parse(huge); }, {"..."}));
}

TEST(IpGenPrefixTest, OrderIsFamilyThenAddressThenLength) {
  std::vector<IpGenPrefix> const ascending = {
      IpGenPrefix(),
      IpGenPrefix("10.0.0.0/24"),
      IpGenPrefix("10.0.0.0/32"),
      IpGenPrefix("10.0.0.1/32"),
      IpGenPrefix("11.0.0.0/8"),
      IpGenPrefix("::/0"),
      IpGenPrefix("2001:db8::/32"),
  };
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] < ascending[j], i < j) << i << " " << j;
      EXPECT_EQ(ascending[i] == ascending[j], i == j) << i << " " << j;
      EXPECT_EQ(Vantre::IpGenPrefixBase::isEq(&ascending[i], &ascending[j]), i == j);
    }
  }
}

TEST(IpGenPrefixTest, EqualValuesHashEqual) {
  IpGenPrefix const a("10.1.0.0/16");
  IpGenPrefix const b("10.1.255.255/16");  // same prefix once host bits go
  IpGenPrefix const c("10.1.0.0/17");
  for (unsigned seed : {0u, 1u, 0xDEADBEEFu, 297630782u}) {
    EXPECT_EQ(a.hash(seed), b.hash(seed));
    EXPECT_NE(a.hash(seed), c.hash(seed));
  }
  EXPECT_NE(a.hash(1), a.hash(2));
}

}  // namespace
