#include "Cspf/VertexIdentifier.h"

#include <gtest/gtest.h>

#include "Cspf/IgpRouterId.h"
#include "support/ThrowsWith.h"

namespace {

using Cspf::IgpRouterId;
using Cspf::VertexIdentifierBase;
using Routing::Isis::SystemId;

SystemId const kSys = SystemId::parse("1921.6800.1001");

TEST(VertexIdentifierTest, ConstructorsFillTypeLengthAndData) {
  VertexIdentifierBase const empty(0, "");
  EXPECT_EQ(empty, VertexIdentifierBase());
  EXPECT_TRUE(empty.isEmpty());
  EXPECT_EQ(VertexIdentifierBase(3, std::string_view("\x19\x21\x68\x00\x10\x01\x02", 7)),
            VertexIdentifierBase(kSys, 2));
  EXPECT_EQ(VertexIdentifierBase::fromIpv4RouterId(0x0A000001u),
            VertexIdentifierBase(1, std::string_view("\x0a\x00\x00\x01", 4)));
}

// Parsing is checked with the other outside types in
// tests/platform/VekPavo/OutsideTypesTest.cpp.
TEST(VertexIdentifierTest, StringValueAndBadConstructorInput) {
  EXPECT_EQ(VertexIdentifierBase().stringValue(), "");
  EXPECT_EQ(VertexIdentifierBase().toString(), "empty");
  EXPECT_EQ(VertexIdentifierBase(kSys, 0xAB).stringValue(), "1921.6800.1001.ab");
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<RangeException>([] { VertexIdentifierBase(4, ""); },
                                         {"Cspf::VertexIdentifierBase", "vertex type 4"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { VertexIdentifierBase(2, "abc"); },
                                         {"needs 6 data bytes, not 3"}));
}

TEST(IgpRouterIdTest, CachedHashDoesNotChangeIdentity) {
  IgpRouterId fresh(VertexIdentifierBase{kSys});
  IgpRouterId const before = fresh;
  EXPECT_EQ(fresh.ownHash(), 0u);
  fresh.handleInitialized();
  EXPECT_EQ(fresh.ownHash(), VertexIdentifierBase(kSys).hash());
  EXPECT_TRUE(IgpRouterId::isEq(&fresh, &before));
  EXPECT_EQ(fresh.hash(5), before.hash(5));
  EXPECT_EQ(fresh.stringValue(), "1921.6800.1001");
}

}  // namespace
