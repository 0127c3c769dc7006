#include "Cspf/LinkKey.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/PathKey.h"

namespace {

using Cspf::IgpRouterId;
using Cspf::LinkDescription;
using Cspf::LinkKey;
using Cspf::VertexIdentifierBase;
using Routing::Isis::SystemId;

LinkDescription description(std::uint32_t linkId) {
  LinkDescription d;
  d.firstVertex = VertexIdentifierBase(SystemId::parse("1921.6800.1001"));
  d.vertexKind = LinkDescription::kKindRemoteBySystemId;
  d.secondVertex = VertexIdentifierBase(SystemId::parse("1921.6800.1002"));
  d.linkId = linkId;
  d.remoteLinkId = 6;
  d.localAddress[0] = 10;
  d.localAddress[3] = 1;
  return d;
}

IgpRouterId lastVertex(char const* sysId) {
  IgpRouterId id(VertexIdentifierBase(SystemId::parse(sysId)));
  id.handleInitialized();
  return id;
}

TEST(LinkKeyTest, BuiltFromDescriptionBytes) {
  LinkDescription const d = description(5);
  std::array<std::uint8_t, LinkKey::kDescriptionSize> raw;
  std::memcpy(raw.data(), &d, raw.size());
  std::uint32_t word;
  std::memcpy(&word, raw.data() + 24, 4);
  EXPECT_EQ(word, 2u);
  std::memcpy(&word, raw.data() + 52, 4);
  EXPECT_EQ(word, 5u);
  EXPECT_EQ(raw[60], 10);

  LinkKey const key = LinkKey::fromDescriptionBytes(raw, lastVertex("1921.6800.1002"));
  EXPECT_EQ(key, LinkKey(d, lastVertex("1921.6800.1002")));
  EXPECT_EQ(key.vertexKind(), 2u);
  EXPECT_EQ(key.linkId(), 5u);
  EXPECT_EQ(key.remoteLinkId(), 6u);
  EXPECT_EQ(key.firstVertex().stringValue(), "1921.6800.1001");
  EXPECT_EQ(key.secondVertex().stringValue(), "1921.6800.1002");
  EXPECT_EQ(key.lastVertex().stringValue(), "1921.6800.1002");
  std::memcpy(&word, reinterpret_cast<unsigned char const*>(&key) + 108, 4);
  EXPECT_EQ(word, key.lastVertex().ownHash());
  EXPECT_EQ(key.toString(),
            "1921.6800.1001 -> 1921.6800.1002 kind 2 link 5/6 local 10.0.0.1 last 1921.6800.1002");
}

TEST(LinkKeyTest, IdentityIgnoresTheCachedHashOnly) {
  LinkKey const initialised(description(5), lastVertex("1921.6800.1002"));
  LinkKey const raw(description(5),
                    IgpRouterId(VertexIdentifierBase(SystemId::parse("1921.6800.1002"))));
  EXPECT_TRUE(LinkKey::isEq(&initialised, &raw));
  for (unsigned seed : {0u, 2931124741u})
    EXPECT_EQ(initialised.hash(seed), raw.hash(seed));

  LinkDescription reservedSet = description(5);
  reservedSet.reserved[7] = 1;
  LinkKey const differs(reservedSet, lastVertex("1921.6800.1002"));
  EXPECT_FALSE(LinkKey::isEq(&initialised, &differs));
  EXPECT_NE(initialised.hash(0), differs.hash(0));

  LinkKey const otherLast(description(5), IgpRouterId());
  EXPECT_NE(initialised, otherLast);
  EXPECT_GT(initialised, otherLast);
  EXPECT_LT(LinkKey(description(4), IgpRouterId()), LinkKey(description(5), IgpRouterId()));
  EXPECT_EQ(otherLast.toString().substr(otherLast.toString().size() - 10), "last empty");
}

TEST(PathKeyTest, OwnHashIsVertexHashXorPathId) {
  VertexIdentifierBase const dest = VertexIdentifierBase::fromIpv4RouterId(0x0A000001u);
  Cspf::PathKey const key(dest, 7);
  EXPECT_EQ(key.hash(), dest.hash() ^ 7u);
  EXPECT_EQ(key.toString(), "10.0.0.1 path 7");
  Cspf::PathKey const same(VertexIdentifierBase::parse("10.0.0.1"), 7);
  EXPECT_TRUE(Cspf::PathKey::isEq(&key, &same));
  for (unsigned seed : {0u, 4229093608u})
    EXPECT_EQ(key.hash(seed), same.hash(seed));
  std::vector<Cspf::PathKey> const ascending = {
      Cspf::PathKey(), Cspf::PathKey(dest, 0), Cspf::PathKey(dest, 7),
      Cspf::PathKey(VertexIdentifierBase::fromIpv4RouterId(0x0A000002u), 0)};
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      EXPECT_EQ(ascending[i] <=> ascending[j], i <=> j) << i << " " << j;
      EXPECT_EQ(ascending[i] == ascending[j], i == j);
    }
  }
}

TEST(PqIdxTest, SixteenBitValue) {
  Cspf::Lfa::PqIdx const a(7);
  Cspf::Lfa::PqIdx const b(7);
  EXPECT_TRUE(Cspf::Lfa::PqIdx::isEq(&a, &b));
  EXPECT_EQ(a.hash(512710871u), Vek::hashSingleAttr(512710871u, 7));
  EXPECT_LT(Cspf::Lfa::PqIdx(6), a);
  EXPECT_LT(a, Cspf::Lfa::PqIdx(65535));
  EXPECT_EQ(Cspf::Lfa::PqIdx(65535).toString(), "65535");
}

}  // namespace
