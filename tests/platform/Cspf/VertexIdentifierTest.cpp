#include "Cspf/VertexIdentifier.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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

  VertexIdentifierBase const sys(kSys);
  unsigned char bytes[sizeof sys];
  std::memcpy(bytes, &sys, sizeof bytes);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], 6);
  EXPECT_EQ(bytes[2], 0x19);
  EXPECT_EQ(bytes[7], 0x01);
  for (std::size_t i = 8; i < sizeof bytes; ++i)
    EXPECT_EQ(bytes[i], 0) << i;

  VertexIdentifierBase const pseudo(kSys, 2);
  EXPECT_EQ(pseudo.vertexType(), 3);
  EXPECT_EQ(pseudo.length(), 7);
  EXPECT_EQ(pseudo.data()[6], 2);

  VertexIdentifierBase const v4 = VertexIdentifierBase::fromIpv4RouterId(0x0A000001u);
  EXPECT_EQ(v4.vertexType(), 1);
  EXPECT_EQ(v4, VertexIdentifierBase(1, std::string_view("\x0a\x00\x00\x01", 4)));
}

TEST(VertexIdentifierTest, StringValueAndParse) {
  struct Case {
    VertexIdentifierBase id;
    char const* text;
  };
  std::vector<Case> const cases = {
      {VertexIdentifierBase(), ""},
      {VertexIdentifierBase(kSys), "1921.6800.1001"},
      {VertexIdentifierBase(kSys, 2), "1921.6800.1001.02"},
      {VertexIdentifierBase(kSys, 0xAB), "1921.6800.1001.ab"},
      {VertexIdentifierBase::fromIpv4RouterId(0x0A000001u), "10.0.0.1"},
  };
  for (auto const& c : cases) {
    EXPECT_EQ(c.id.stringValue(), c.text);
    EXPECT_EQ(VertexIdentifierBase::parse(c.text), c.id) << c.text;
    EXPECT_EQ(VertexIdentifierBase::parse(c.id.toString()), c.id) << c.text;
  }
  EXPECT_EQ(VertexIdentifierBase().toString(), "empty");
}

TEST(VertexIdentifierTest, RefusesBadInput) {
  using Pavo::ParseException;
  using Pavo::RangeException;
  EXPECT_TRUE(throwsWith<RangeException>([] { VertexIdentifierBase(4, ""); },
                                         {"Cspf::VertexIdentifierBase", "vertex type 4"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { VertexIdentifierBase(2, "abc"); },
                                         {"needs 6 data bytes, not 3"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { VertexIdentifierBase::parse("1921.6800.1001.2"); },
                                         {"position 15", "two hex digits"}));
  EXPECT_TRUE(throwsWith<ParseException>([] { VertexIdentifierBase::parse("10.0.0.1x"); },
                                         {"position 8", "unexpected text"}));
  EXPECT_TRUE(throwsWith<RangeException>([] { VertexIdentifierBase::parse("10.0.0.256"); },
                                         {"position 7"}));
}

TEST(VertexIdentifierTest, OrderEqualityHash) {
  std::vector<VertexIdentifierBase> const ascending = {
      VertexIdentifierBase(),
      VertexIdentifierBase::fromIpv4RouterId(1),
      VertexIdentifierBase::fromIpv4RouterId(2),
      VertexIdentifierBase(SystemId::parse("0000.0000.0001")),
      VertexIdentifierBase(kSys),
      VertexIdentifierBase(SystemId::parse("0000.0000.0001"), 1),
  };
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] <=> ascending[j], i <=> j) << i << " " << j;
      EXPECT_EQ(VertexIdentifierBase::isEq(&ascending[i], &ascending[j]), i == j);
    }
  }
  VertexIdentifierBase const again = VertexIdentifierBase::parse("1921.6800.1001");
  EXPECT_EQ(again.hash(), ascending[4].hash());
  EXPECT_EQ(again.hash(), again.hash(0));
  for (unsigned seed : {1u, 99u}) {
    EXPECT_EQ(again.hash(seed), ascending[4].hash(seed));
    EXPECT_NE(again.hash(seed), ascending[3].hash(seed));
  }
}

TEST(IgpRouterIdTest, CachedHashDoesNotChangeIdentity) {
  IgpRouterId fresh(VertexIdentifierBase{kSys});
  IgpRouterId const before = fresh;
  EXPECT_EQ(fresh.ownHash(), 0u);
  fresh.handleInitialized();
  EXPECT_EQ(fresh.ownHash(), VertexIdentifierBase(kSys).hash());
  EXPECT_EQ(fresh, before);
  EXPECT_TRUE(IgpRouterId::isEq(&fresh, &before));
  EXPECT_EQ(fresh.hash(5), before.hash(5));
  EXPECT_EQ(fresh.stringValue(), "1921.6800.1001");
  EXPECT_LT(IgpRouterId(), fresh);
  std::uint32_t word;
  std::memcpy(&word, reinterpret_cast<unsigned char const*>(&fresh) + 24, 4);
  EXPECT_EQ(word, fresh.ownHash());
}

}  // namespace
