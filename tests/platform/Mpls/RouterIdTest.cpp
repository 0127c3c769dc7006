#include "Mpls/RouterId.h"

#include <gtest/gtest.h>

namespace {

using Mpls::RouterId;

// Text forms are checked with the other outside types in
// tests/platform/VekPavo/OutsideTypesTest.cpp.
TEST(RouterIdTest, ZeroRouterIdIsNoRouter) {
  RouterId z = RouterId::ipv4(1, 2);
  z.afIs(0);
  z.rtrIdValueIs(0);
  z.lblSpaceValueIs(0);
  EXPECT_TRUE(z.isZero());
  EXPECT_EQ(z.toString(), "none");
  EXPECT_FALSE(RouterId::ipv4(0).isZero());  // af 1 is a router, even at 0.0.0.0
}

}  // namespace
