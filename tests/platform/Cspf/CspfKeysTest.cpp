// The CSPF keys beyond their text forms (OutsideTypesTest): raw-byte
// constructors, their refusals, and identity with and without the cached hash.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "Cspf/IgpRouterId.h"
#include "Cspf/LinkKey.h"
#include "Cspf/VertexIdentifier.h"
#include "support/ThrowsWith.h"

namespace {

using Cspf::IgpRouterId;
using Cspf::LinkDescription;
using Cspf::LinkKey;
using Cspf::VertexIdentifierBase;
using Routing::Isis::SystemId;

SystemId const kSys = SystemId::parse("1921.6800.1001");

LinkDescription description(std::uint32_t linkId) {
  LinkDescription d;
  d.firstVertex = VertexIdentifierBase(kSys);
  d.vertexKind = LinkDescription::kKindRemoteBySystemId;
  d.secondVertex = VertexIdentifierBase(SystemId::parse("1921.6800.1002"));
  d.linkId = linkId;
  d.remoteLinkId = 6;
  d.localAddress[0] = 10;
  d.localAddress[3] = 1;
  return d;
}

IgpRouterId initialised(VertexIdentifierBase const& v) {
  IgpRouterId id(v);
  id.handleInitialized();
  return id;
}

TEST(CspfKeysTest, VerticesFromTypeLengthAndData) {
  EXPECT_EQ(VertexIdentifierBase(0, ""), VertexIdentifierBase());
  EXPECT_EQ(VertexIdentifierBase(3, std::string_view("\x19\x21\x68\x00\x10\x01\x02", 7)),
            VertexIdentifierBase(kSys, 2));
  EXPECT_EQ(VertexIdentifierBase::fromIpv4RouterId(0x0A000001u),
            VertexIdentifierBase(1, std::string_view("\x0a\x00\x00\x01", 4)));
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([] { VertexIdentifierBase(4, ""); },
                                               {"Cspf::VertexIdentifierBase", "vertex type 4"}));
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([] { VertexIdentifierBase(2, "abc"); },
                                               {"needs 6 data bytes, not 3"}));
}

// The cached hash of the last vertex takes no part in identity; every byte of
// the description does.
TEST(CspfKeysTest, LinkKeysFromBytesAndTheirIdentity) {
  LinkDescription const d = description(5);
  std::array<std::uint8_t, LinkKey::kDescriptionSize> raw;
  std::memcpy(raw.data(), &d, raw.size());
  VertexIdentifierBase const last(SystemId::parse("1921.6800.1002"));
  LinkKey const key = LinkKey::fromDescriptionBytes(raw, initialised(last));
  EXPECT_EQ(key.toString(),
            "1921.6800.1001 -> 1921.6800.1002 kind 2 link 5/6 local 10.0.0.1 last 1921.6800.1002");
  LinkKey const uncached(d, IgpRouterId(last));
  EXPECT_TRUE(LinkKey::isEq(&key, &uncached));
  EXPECT_EQ(key.hash(2931124741u), uncached.hash(2931124741u));
  EXPECT_EQ(initialised(last).ownHash(), last.hash());
  LinkDescription reservedSet = d;
  reservedSet.reserved[7] = 1;
  LinkKey const differs(reservedSet, initialised(last));
  EXPECT_FALSE(LinkKey::isEq(&key, &differs));
  EXPECT_NE(key.hash(0), differs.hash(0));
}

}  // namespace
