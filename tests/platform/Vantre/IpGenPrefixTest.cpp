#include "Vantre/IpGenPrefix.h"

#include <gtest/gtest.h>

#include "support/ThrowsWith.h"

namespace {

using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

// Text forms are checked with the other outside types in
// tests/platform/VekPavo/OutsideTypesTest.cpp.
TEST(IpGenPrefixTest, FieldsAndMasking) {
  IpGenPrefix const v4("10.20.30.40/30");
  EXPECT_EQ(v4.af(), AddressFamily::ipv4);
  EXPECT_EQ(v4.length(), 30);
  EXPECT_EQ(v4.ipv4Address(), 0x0A141E28u);
  EXPECT_EQ(IpGenPrefix().af(), AddressFamily::none);
  EXPECT_EQ(IpGenPrefix::ipv6({0x20, 0x01, 0x0d, 0xb8, 0xff}, 33).toString(), "2001:db8:8000::/33");
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([] { IpGenPrefix::ipv4(0, 33); }, {"length 33"}));
  // Host bits are gone before hashing: equal prefixes hash equal.
  IpGenPrefix const a("10.1.0.0/16");
  IpGenPrefix const b("10.1.255.255/16");
  for (unsigned seed : {0u, 0xDEADBEEFu})
    EXPECT_EQ(a.hash(seed), b.hash(seed));
}

}  // namespace
