#include "VekPavo/OutsideTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Cspf/IgpRouterId.h"
#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Cspf/VertexIdentifier.h"
#include "Granule/AllocTrack.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "Routing/Isis/SystemId.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"
#include "VekPavo/CharRangeRead.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/Strep.h"

namespace {

using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Mpls::SegmentRouting::SegmentIdentifier;
using Routing::Isis::SystemId;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;
using Vek::GenericValue;

SystemId const kSysA({0x19, 0x21, 0x68, 0x00, 0x10, 0x01});
SystemId const kSysB({0x19, 0x21, 0x68, 0x00, 0x10, 0x02});

Cspf::VertexIdentifierBase v4(std::uint32_t a) {
  return Cspf::VertexIdentifierBase::fromIpv4RouterId(a);
}

Cspf::IgpRouterId igp(Cspf::VertexIdentifierBase const& v) {
  Cspf::IgpRouterId id(v);
  id.handleInitialized();
  return id;
}

Cspf::LinkKey link(bool ipv6Local) {
  Cspf::LinkDescription d;
  d.firstVertex = Cspf::VertexIdentifierBase(kSysA);
  d.secondVertex = Cspf::VertexIdentifierBase(kSysB, 0x02);
  d.vertexKind = Cspf::LinkDescription::kKindRemoteBySystemId;
  d.linkId = 5;
  d.remoteLinkId = 4294967295u;
  std::uint8_t const v4Local[4] = {10, 0, 0, 1};
  std::uint8_t const v6Local[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  if (ipv6Local) {
    std::memcpy(d.localAddress, v6Local, 16);
  } else {
    std::memcpy(d.localAddress, v4Local, 4);
  }
  return {d, igp(Cspf::VertexIdentifierBase(kSysB))};
}

RouterId otherFormRouterId() {
  RouterId id;
  id.afIs(2);
  id.rtrIdValueIs(0x0A000001u);
  id.isisSystemIdIs(kSysA);
  return id;
}

RouterId afOnly() {
  RouterId id;
  id.afIs(RouterId::kAfIpv4);
  return id;
}
RouterId isisWithSpace() {
  RouterId id = RouterId::isis(kSysA);
  id.lblSpaceValueIs(5);
  return id;
}
AdjacencySegmentKey adjKey(std::uint32_t sid, std::uint8_t flag, RouterId r) {
  return {SegmentIdentifier(sid, flag), r};
}

// Per outside type: its registered name and distinct sample values in
// strictly ascending order, covering each text form the type writes.
template <class T>
struct Samples;
#define SAMPLES(T, typeName, ...)                          \
  template <>                                              \
  struct Samples<T> {                                      \
    static constexpr char const* name = typeName;          \
    static std::vector<T> values() { return __VA_ARGS__; } \
  }
SAMPLES(AddressFamily, "Vantre::AddressFamily",
        {AddressFamily(), AddressFamily::ipv4, AddressFamily::ipv6, AddressFamily::fromValue(7)});
SAMPLES(IpGenPrefix, "Vantre::IpGenPrefix",
        {IpGenPrefix(), IpGenPrefix("10.0.0.0/8"), IpGenPrefix("10.0.0.1/32"), IpGenPrefix("::/0"),
         IpGenPrefix("::ffff:10.0.0.1/128"), IpGenPrefix("2001:db8::/32")});
SAMPLES(SystemId, "Routing::Isis::SystemId",
        {SystemId(), SystemId::parse("0000.0000.00ff"), SystemId::parse("0000.0000.0100"), kSysA,
         kSysB});
// The label space orders before the system id.
SAMPLES(RouterId, "Mpls::RouterId",
        {RouterId(), afOnly(), RouterId::ipv4(0, 1), RouterId::ipv4(1, 65535), otherFormRouterId(),
         RouterId::isis(SystemId::parse("0000.0001.0000")), RouterId::isis(kSysA),
         RouterId::isis(kSysB), isisWithSpace()});
SAMPLES(PrefixAlgoKey, "Mpls::SegmentRouting::PrefixAlgoKey",
        {PrefixAlgoKey(), PrefixAlgoKey(IpGenPrefix("10.0.0.1/32"), 0),
         PrefixAlgoKey(IpGenPrefix("10.0.0.1/32"), 255),
         PrefixAlgoKey(IpGenPrefix("10.0.0.2/32"), 0),
         PrefixAlgoKey(IpGenPrefix("2001:db8::1/128"), 255)});
// A set flag orders before a clear one.
SAMPLES(SegmentIdentifier, "Mpls::SegmentRouting::SegmentIdentifier",
        {SegmentIdentifier(), SegmentIdentifier(16, 0xFF), SegmentIdentifier(16, 0x01),
         SegmentIdentifier(16, 0), SegmentIdentifier(16001, 0x40),
         SegmentIdentifier(4294967295u, 0xFF), SegmentIdentifier(4294967295u, 0)});
SAMPLES(Cspf::VertexIdentifierBase, "Cspf::VertexIdentifierBase",
        {Cspf::VertexIdentifierBase(), v4(0x0A000001u),
         Cspf::VertexIdentifierBase(SystemId::parse("0000.0000.0001")),
         Cspf::VertexIdentifierBase(kSysA),
         Cspf::VertexIdentifierBase(SystemId::parse("0000.0000.0001"), 1),
         Cspf::VertexIdentifierBase(kSysA, 0x0c)});
SAMPLES(Cspf::IgpRouterId, "Cspf::IgpRouterId",
        {Cspf::IgpRouterId(), igp(v4(0xC0A80001u)), igp(Cspf::VertexIdentifierBase(kSysB))});
SAMPLES(Cspf::LinkKey, "Cspf::LinkKey", {Cspf::LinkKey(), link(false), link(true)});
SAMPLES(Cspf::PathKey, "Cspf::PathKey",
        {Cspf::PathKey(), Cspf::PathKey(v4(0x0A000001u), 0), Cspf::PathKey(v4(0x0A000001u), 7),
         Cspf::PathKey(v4(0x0A000002u), 0),
         Cspf::PathKey(Cspf::VertexIdentifierBase(kSysA, 1), 4294967295u)});
SAMPLES(Cspf::Lfa::PqIdx, "Cspf::Lfa::PqIdx",
        {Cspf::Lfa::PqIdx(), Cspf::Lfa::PqIdx(17), Cspf::Lfa::PqIdx(65535)});
// Unlike a bare identifier, the key orders the flag ascending.
SAMPLES(AdjacencySegmentKey, "Kroma::SegmentRouting::AdjacencySegmentKey",
        {AdjacencySegmentKey(), adjKey(1, 0, RouterId::ipv4(9)), adjKey(1, 1, RouterId::ipv4(0)),
         adjKey(2, 0, RouterId::ipv4(0)), adjKey(16001, 0, RouterId::isis(kSysA)),
         adjKey(16001, 0x40, RouterId::ipv4(0x0A000001u))});
#undef SAMPLES

template <class T>
class OutsideValueTest : public ::testing::Test {
 protected:
  static Pavo::Inspect::TypeInfo const& type() {
    return *Pavo::ModuleInspectData::typeByName(Samples<T>::name);
  }
};

using OutsideValueTypes =
    ::testing::Types<AddressFamily, IpGenPrefix, SystemId, RouterId, PrefixAlgoKey,
                     SegmentIdentifier, Cspf::VertexIdentifierBase, Cspf::IgpRouterId,
                     Cspf::LinkKey, Cspf::PathKey, Cspf::Lfa::PqIdx, AdjacencySegmentKey>;
TYPED_TEST_SUITE(OutsideValueTest, OutsideValueTypes);

// Registered under its full name in the outside types' module, written with
// its own toString() (reading back is the text_forms fuzz target's round
// trip); the generic view answers as the type does.
TYPED_TEST(OutsideValueTest, RegisteredWithItsOwnTextAndGenericView) {
  EXPECT_EQ(&this->type(), Pavo::Inspect::typeOf<TypeParam>());
  EXPECT_EQ(this->type().module(), &VekPavo::outsideTypesModule());
  EXPECT_EQ(this->type().kind(), Pavo::Inspect::TypeKind::value);
  for (TypeParam const& v : Samples<TypeParam>::values()) {
    Pavo::String const text = Vek::GenericIf::encode(v);
    EXPECT_EQ(text, v.toString());
    GenericValue const g(v);
    EXPECT_EQ(Vek::GenericIf::hash(g), v.hash(0)) << text;
    EXPECT_EQ(Vek::GenericIf::truth(g), !(v == TypeParam())) << text;
  }
}

TYPED_TEST(OutsideValueTest, SamplesOrderStrictlyAndHashApart) {
  auto const values = Samples<TypeParam>::values();
  for (std::size_t i = 0; i < values.size(); ++i) {
    GenericValue const gi(values[i]);
    for (std::size_t j = 0; j < values.size(); ++j) {
      SCOPED_TRACE(values[i].toString() + " vs " + values[j].toString());
      GenericValue const gj(values[j]);
      EXPECT_EQ(values[i] < values[j], i < j);
      EXPECT_EQ(values[i] == values[j], i == j);
      EXPECT_EQ(TypeParam::isEq(&values[i], &values[j]), i == j);
      EXPECT_EQ(Vek::GenericIf::isEq(gi, gj), i == j);
      EXPECT_EQ(Vek::GenericIf::less(gi, gj), i < j);
    }
    if (i > 0) {
      EXPECT_NE(values[i].hash(1), values[i - 1].hash(1)) << values[i].toString();
      EXPECT_NE(values[i].hash(1), values[i].hash(2)) << values[i].toString();
    }
  }
}

// Texts written differently from the canonical form read back to the value
// whose canonical text is given; the random round trip cannot reach these.
TEST(OutsideTextTest, ReadsOtherSpellingsAndWritesTheCanonicalOne) {
  struct Case {
    char const* type;
    char const* in;
    char const* out;
  };
  Case const cases[] = {
      {"Vantre::AddressFamily", "af(7)", "af(7)"},
      {"Vantre::IpGenPrefix", "10.1.2.3/8", "10.0.0.0/8"},  // host bits are cleared
      {"Vantre::IpGenPrefix", "2001:DB8:0:0:0:0:0:1/128", "2001:db8::1/128"},
      {"Vantre::IpGenPrefix", "2001:db8:0:0:1:0:0:1/128", "2001:db8::1:0:0:1/128"},  // first run
      {"Vantre::IpGenPrefix", "2001:0:0:1:0:0:0:1/128", "2001:0:0:1::1/128"},        // longest run
      {"Vantre::IpGenPrefix", "2001:db8:0:1:1:1:1:1/128", "2001:db8:0:1:1:1:1:1/128"},
      {"Vantre::IpGenPrefix", "::ffff:10.0.0.1/128", "::ffff:a00:1/128"},
      {"Vantre::IpGenPrefix", "2001:db8::ff/120", "2001:db8::/120"},
      {"Vantre::IpGenPrefix", "2001:db8:ff00::/33", "2001:db8:8000::/33"},
      {"Routing::Isis::SystemId", "ABCD.ef01.0000", "abcd.ef01.0000"},
      {"Mpls::RouterId", "af0/0.0.0.0:0/0000.0000.0000", "none"},
      {"Mpls::RouterId", "1921.6800.1001:0", "1921.6800.1001"},
      {"Mpls::RouterId", "1921.6800.1001:5", "1921.6800.1001:5"},
      {"Mpls::RouterId", "af2/10.0.0.1:7/0000.0000.0001", "af2/10.0.0.1:7/0000.0000.0001"},
      {"Mpls::RouterId", "af1/1.2.3.4:0/aaaa.bbbb.cccc", "af1/1.2.3.4:0/aaaa.bbbb.cccc"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0XaB", "16001/0xab"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0x0004", "16001/0x04"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0x00", "16001"},
      {"Cspf::VertexIdentifierBase", "1921.6800.1001.AB", "1921.6800.1001.ab"},
      {"Cspf::PathKey", "10.0.0.1 path 7", "10.0.0.1 path 7"},
      {"Kroma::SegmentRouting::AdjacencySegment",
       "sid 24001/0x40 router 1921.6800.1001 flags 5 neighbors []",
       "sid 24001/0x40 router 1921.6800.1001 flags 5 neighbors []"},
      {"Kroma::SegmentRouting::AdjacencySegmentNeighbor",
       "1921.6800.1001 -> 10.0.0.2 kind 7 link 5/4294967295 local 2001:db8::1 neighbor "
       "1921.6800.1002 metric 4294967295 proto 2",
       "1921.6800.1001 -> 10.0.0.2 kind 7 link 5/4294967295 local 2001:db8::1 neighbor "
       "1921.6800.1002 metric 4294967295 proto 2"},
  };
  for (Case const& c : cases) {
    auto const& type = *Pavo::ModuleInspectData::typeByName(c.type);
    EXPECT_EQ(Vek::GenericIf::encode(Vek::GenericIf::decode(type, c.in)), c.out) << c.in;
  }
}

// One table for every outside reader: each text fails alone with the type,
// the text, the position and the detail in its message, and inside a
// composite (where its stretch ends at ',') at the same place.
TEST(OutsideTextTest, MalformedTextFailsAloneAndInsideAComposite) {
  constexpr std::size_t kAnywhere = ~std::size_t{0};
  struct Case {
    char const* type;
    std::string text;
    std::size_t position;  // kAnywhere: the reader's own choice
    char const* detail;
  };
  char const* const kPrefix = "Vantre::IpGenPrefix";
  char const* const kRouter = "Mpls::RouterId";
  char const* const kSid = "Mpls::SegmentRouting::SegmentIdentifier";
  char const* const kSys = "Routing::Isis::SystemId";
  char const* const kVertex = "Cspf::VertexIdentifierBase";
  Case const cases[] = {
      {kPrefix, "10.0.0.256/8", 7, "octet 256 exceeds 255"},
      {kPrefix, "10.0.0.0/33", 9, "prefix length 33 exceeds 32"},
      {kPrefix, "2001:db8::/129", 11, "prefix length 129 exceeds 128"},
      {kPrefix, "10.0.0/8", 6, "expected '.'"},
      {kPrefix, "10.0.0.0/8x", 10, "unexpected text"},
      {kPrefix, "", 0, ""},
      {kPrefix, "1::2::3/64", kAnywhere, "a second '::'"},
      {kPrefix, "1:2:3:4:5:6:7/64", kAnywhere, "expected eight groups"},
      {kPrefix, "1:2:3:4::5:6:7:8/64", kAnywhere, "'::' with eight groups"},
      {kPrefix, "12345::/16", kAnywhere, "more than 4 hex digits"},
      {kPrefix, "1:2:3:4:5:6:7:1.2.3.4/64", kAnywhere, "no room for a dotted IPv4 tail"},
      {kPrefix, std::string(1000, '9'), kAnywhere, "..."},
      {kRouter, "10.0.0.1", 8, "expected ':'"},
      {kRouter, "10.0.0.1:65536", 9, "label space 65536 exceeds 65535"},
      {kRouter, "1921.6800:0", 9, "expected '.'"},
      {kRouter, "af2/10.0.0.1:0", 14, "expected '/'"},
      {kSid, "4294967296", 0, "value 4294967296 exceeds"},
      {kSid, "1/0x100", 4, "flag exceeds 0xff"},
      {kSid, "-1", 0, "decimal value"},
      {kSid, "16001/40", 6, "\"0x\""},
      {kSys, "1921.6800.100", 10, "four hex"},
      {kSys, "1921.6800.10011", 14, "more than 4 hex digits"},
      {kSys, "1921.6800.1001.02", 14, "unexpected text"},
      {kVertex, "1921.6800.1001.2", 15, "two hex digits"},
      {kVertex, "10.0.0.1x", 8, "unexpected text"},
      {"Mpls::SegmentRouting::PrefixAlgoKey", "10.0.0.1/32 alg 128", 11, "expected \" algo \""},
      {"Mpls::SegmentRouting::PrefixAlgoKey", "10.0.0.1/32 algo 256", 17, "exceeds 255"},
      {"Vantre::AddressFamily", "af(x)", 3, "expected a decimal address family"},
      {"Kroma::SegmentRouting::AdjacencySegment", "sid 1 router none flags 0 neighbors [] x", 39,
       "unexpected text"},
      {"Kroma::SegmentRouting::AdjacencySegmentNeighbor",
       "1921.6800.1001 -> 10.0.0.2 kind 7 link 5/4294967295 local 2001:db8::1 neighbor none metric "
       "1 proto 256",
       kAnywhere, "exceeds 255"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " \"" + c.text.substr(0, 40) + "\"");
    auto const& type = *Pavo::ModuleInspectData::typeByName(c.type);
    for (std::size_t const offset : {std::size_t{0}, std::size_t{2}}) {
      std::string const text = offset == 0 ? c.text : "x=" + c.text + ", next=1)";
      Vek::CharRange range(text);
      range.advance(offset);
      try {
        if (offset == 0) {
          Vek::GenericIf::decode(type, text);
        } else {
          GenericValue::fromStrep(type, range);
        }
        ADD_FAILURE() << "read without error: " << text;
      } catch (Vek::DeserializeException const& e) {
        if (c.position != kAnywhere) {
          EXPECT_EQ(e.position(), offset + c.position) << e.msg();
        }
        EXPECT_NE(e.msg().find(c.detail), std::string::npos) << e.msg();
        EXPECT_NE(e.msg().find(c.type), std::string::npos) << e.msg();
        EXPECT_NE(e.msg().find(c.text.substr(0, 8)), std::string::npos) << e.msg();
      }
      EXPECT_EQ(range.pos(), offset);
    }
  }
}

TEST(OutsideStatusTest, CountedPointersToTheTableAreBoxedAndNamed) {
  std::size_t const liveBefore = Vek::AllocTrackTypeInfo::liveObjectsAll();
  {
    Pavo::Ptr<Status> status = Status::StatusIs();
    EXPECT_EQ(status->typeData().module, &VekPavo::outsideTypesModule());
    status->prefixSegmentIs(
        PrefixSegment(IpGenPrefix("10.0.0.1/32"), PrefixSegmentInfo(RouterId::ipv4(1), 0x04)));
    Pavo::Ptr<Status const> const readOnly(status.get());
    std::uint32_t const uses = status->useCount();
    GenericValue boxed(readOnly);
    EXPECT_EQ(status->useCount(), uses + 1);
    EXPECT_TRUE(boxed.nodeReadOnly());
    EXPECT_EQ(Vek::GenericIf::read(boxed, 130).as<std::uint64_t>(), 1u);
    EXPECT_EQ(Vek::GenericIf::read(boxed, 131).as<std::uint64_t>(), 0u);
    EXPECT_EQ(Vek::GenericIf::attr(boxed, 133).name(), "ipv6AdjacencySegmentCount");
    EXPECT_EQ(Vek::GenericIf::encode(boxed), "Kroma::SegmentRouting::Status");
    // Reached through a bare node, the entity still answers its own record.
    EXPECT_EQ(GenericValue::ofNode(status.get(), nullptr).typeName(),
              "Kroma::SegmentRouting::Status");
  }
  EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveBefore);
}

}  // namespace
