#include "Cspf/LinkKey.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

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
  LinkKey const key = LinkKey::fromDescriptionBytes(raw, lastVertex("1921.6800.1002"));
  EXPECT_EQ(key, LinkKey(d, lastVertex("1921.6800.1002")));
  EXPECT_EQ(key.vertexKind(), 2u);
  EXPECT_EQ(key.linkId(), 5u);
  EXPECT_EQ(key.remoteLinkId(), 6u);
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
  EXPECT_GT(initialised, otherLast);
  EXPECT_LT(LinkKey(description(4), IgpRouterId()), otherLast);
  EXPECT_EQ(otherLast.toString().substr(otherLast.toString().size() - 10), "last empty");
}

}  // namespace
