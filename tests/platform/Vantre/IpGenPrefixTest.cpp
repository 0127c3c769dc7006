#include "Vantre/IpGenPrefix.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Vek/CharRange.h"
#include "support/ThrowsWith.h"

namespace {

using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

TEST(AddressFamilyTest, Text) {
  EXPECT_EQ(AddressFamily().toString(), "none");
  EXPECT_EQ(AddressFamily(AddressFamily::ipv4).toString(), "ipv4");
  EXPECT_EQ(AddressFamily::fromValue(7).toString(), "af(7)");
  std::ostringstream os;
  os << AddressFamily(AddressFamily::ipv6);
  EXPECT_EQ(os.str(), "ipv6");
}

TEST(IpGenPrefixTest, ReadsAndPrintsCanonically) {
  struct Case {
    char const* in;
    char const* out;
  };
  std::vector<Case> const cases = {
      {"10.0.0.0/8", "10.0.0.0/8"},
      {"10.1.2.3/8", "10.0.0.0/8"},  // host bits are cleared
      {"0.0.0.0/0", "0.0.0.0/0"},
      {"2001:db8::/32", "2001:db8::/32"},
      {"2001:DB8:0:0:0:0:0:1/128", "2001:db8::1/128"},
      {"2001:db8:0:0:1:0:0:1/128", "2001:db8::1:0:0:1/128"},     // first of equal runs
      {"2001:0:0:1:0:0:0:1/128", "2001:0:0:1::1/128"},           // longest run wins
      {"2001:db8:0:1:1:1:1:1/128", "2001:db8:0:1:1:1:1:1/128"},  // one zero group stays
      {"::1/128", "::1/128"},
      {"::ffff:10.0.0.1/128", "::ffff:a00:1/128"},
      {"2001:db8::ff/120", "2001:db8::/120"},
      {"none", "none"},
  };
  for (auto const& c : cases) {
    IpGenPrefix const p = IpGenPrefix::parse(c.in);
    EXPECT_EQ(p.toString(), c.out) << c.in;
  }
}

TEST(IpGenPrefixTest, FieldsAndMasking) {
  IpGenPrefix const v4("10.20.30.40/30");
  EXPECT_EQ(v4.af(), AddressFamily::ipv4);
  EXPECT_EQ(v4.length(), 30);
  EXPECT_EQ(v4.ipv4Address(), 0x0A141E28u);
  EXPECT_EQ(IpGenPrefix().af(), AddressFamily::none);
  EXPECT_EQ(IpGenPrefix::ipv6({0x20, 0x01, 0x0d, 0xb8, 0xff}, 33).toString(), "2001:db8:8000::/33");
  // Host bits are gone before hashing: equal prefixes hash equal.
  IpGenPrefix const a("10.1.0.0/16");
  IpGenPrefix const b("10.1.255.255/16");
  for (unsigned seed : {0u, 0xDEADBEEFu})
    EXPECT_EQ(a.hash(seed), b.hash(seed));
}

TEST(IpGenPrefixTest, RefusesMalformedText) {
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<RangeException>(
      [] { IpGenPrefix::parse("10.0.0.256/8"); },
      {"Vantre::IpGenPrefix", "\"10.0.0.256/8\"", "position 7", "octet 256 exceeds 255"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::parse("10.0.0.0/33"); },
                                         {"position 9", "prefix length 33 exceeds 32"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::parse("2001:db8::/129"); },
                                         {"position 11", "prefix length 129 exceeds 128"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("10.0.0.0"); },
                                         {"position 8", "expected '/'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("10.0.0/8"); },
                                         {"position 6", "expected '.'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("10.0.0.0/8x"); },
                                         {"position 10", "unexpected text"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse(""); }, {"position 0"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("10.0.0.0/"); },
                                         {"position 9", "prefix length"}));
  EXPECT_TRUE(
      throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1::2::3/64"); }, {"a second '::'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7/64"); },
                                         {"expected eight groups"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7:8:9/64"); },
                                         {"position 15", "expected '/'"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1:2:3:4::5:6:7:8/64"); },
                                         {"'::' with eight groups"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("12345::/16"); },
                                         {"more than 4 hex digits"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1:/64"); },
                                         {"position 2", "expected a hex group"}));
  EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { IpGenPrefix::parse("1:2:3:4:5:6:7:1.2.3.4/64"); },
                                         {"no room for a dotted IPv4 tail"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { IpGenPrefix::ipv4(0, 33); }, {"length 33"}));
  std::string const huge(1000, '9');
  EXPECT_TRUE(throwsWith<RangeException>([&] { IpGenPrefix::parse(huge); }, {"..."}));
}

}  // namespace
