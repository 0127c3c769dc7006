#include "VekPavo/OutsideTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// Per outside type: its registered name and the canonical texts of distinct
// sample values in strictly ascending order, covering each text form the
// type writes.
template <class T>
struct Samples;
#define SAMPLES(T, typeName, ...)                         \
  template <>                                             \
  struct Samples<T> {                                     \
    static constexpr char const* name = typeName;         \
    static constexpr char const* texts[] = {__VA_ARGS__}; \
  }
SAMPLES(AddressFamily, "Vantre::AddressFamily", "none", "ipv4", "ipv6", "af(7)");
SAMPLES(IpGenPrefix, "Vantre::IpGenPrefix", "none", "10.0.0.0/8", "10.0.0.1/32", "::/0",
        "::ffff:a00:1/128", "2001:db8::/32");
SAMPLES(SystemId, "Routing::Isis::SystemId", "0000.0000.0000", "0000.0000.00ff", "0000.0000.0100",
        "1921.6800.1001", "1921.6800.1002");
// The label space orders before the system id.
SAMPLES(RouterId, "Mpls::RouterId", "none", "0.0.0.0:0", "0.0.0.0:1", "0.0.0.1:65535",
        "af2/10.0.0.1:0/1921.6800.1001", "0000.0001.0000", "1921.6800.1001", "1921.6800.1002",
        "1921.6800.1001:5");
SAMPLES(PrefixAlgoKey, "Mpls::SegmentRouting::PrefixAlgoKey", "none algo 0", "10.0.0.1/32 algo 0",
        "10.0.0.1/32 algo 255", "10.0.0.2/32 algo 0", "2001:db8::1/128 algo 255");
// A set flag orders before a clear one.
SAMPLES(SegmentIdentifier, "Mpls::SegmentRouting::SegmentIdentifier", "0", "16/0xff", "16/0x01",
        "16", "16001/0x40", "4294967295/0xff", "4294967295");
SAMPLES(Cspf::VertexIdentifierBase, "Cspf::VertexIdentifierBase", "empty", "10.0.0.1",
        "0000.0000.0001", "1921.6800.1001", "0000.0000.0001.01", "1921.6800.1001.0c");
SAMPLES(Cspf::IgpRouterId, "Cspf::IgpRouterId", "empty", "192.168.0.1", "1921.6800.1002");
SAMPLES(Cspf::LinkKey, "Cspf::LinkKey", "empty -> empty kind 0 link 0/0 local 0.0.0.0 last empty",
        "1921.6800.1001 -> 1921.6800.1002.02 kind 2 link 5/4294967295 local 10.0.0.1 last "
        "1921.6800.1002",
        "1921.6800.1001 -> 1921.6800.1002.02 kind 2 link 5/4294967295 local 2001:db8::1 last "
        "1921.6800.1002");
SAMPLES(Cspf::PathKey, "Cspf::PathKey", "empty path 0", "10.0.0.1 path 0", "10.0.0.1 path 7",
        "10.0.0.2 path 0", "1921.6800.1001.01 path 4294967295");
SAMPLES(Cspf::Lfa::PqIdx, "Cspf::Lfa::PqIdx", "0", "17", "65535");
// Unlike a bare identifier, the key orders the flag ascending.
SAMPLES(AdjacencySegmentKey, "Kroma::SegmentRouting::AdjacencySegmentKey", "sid 0 router none",
        "sid 1 router 0.0.0.9:0", "sid 1/0x01 router 0.0.0.0:0", "sid 2 router 0.0.0.0:0",
        "sid 16001 router 1921.6800.1001", "sid 16001/0x40 router 10.0.0.1:0");
#undef SAMPLES

template <class T>
class OutsideValueTest : public ::testing::Test {
 protected:
  static Pavo::Inspect::TypeInfo const& type() {
    return *Pavo::ModuleInspectData::typeByName(Samples<T>::name);
  }
  static std::vector<T> values() {
    std::vector<T> out;
    for (char const* text : Samples<T>::texts)
      out.push_back(Vek::GenericIf::decode(type(), text).template as<T>());
    return out;
  }
};

using OutsideValueTypes =
    ::testing::Types<AddressFamily, IpGenPrefix, SystemId, RouterId, PrefixAlgoKey,
                     SegmentIdentifier, Cspf::VertexIdentifierBase, Cspf::IgpRouterId,
                     Cspf::LinkKey, Cspf::PathKey, Cspf::Lfa::PqIdx, AdjacencySegmentKey>;
TYPED_TEST_SUITE(OutsideValueTest, OutsideValueTypes);

// Registered under its full name in the outside types' module; each sample
// reads from its canonical text and writes it again, with its own toString()
// and generically; the samples order strictly and hash apart, and the generic
// view answers as the type does.
TYPED_TEST(OutsideValueTest, RegisteredWithItsOwnTextOrderAndGenericView) {
  EXPECT_EQ(&this->type(), Pavo::Inspect::typeOf<TypeParam>());
  EXPECT_EQ(this->type().module(), &VekPavo::outsideTypesModule());
  EXPECT_EQ(this->type().kind(), Pavo::Inspect::TypeKind::value);
  auto const values = this->values();
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string const text = Samples<TypeParam>::texts[i];
    GenericValue const gi(values[i]);
    EXPECT_EQ(Vek::GenericIf::encode(values[i]), text);
    EXPECT_EQ(values[i].toString(), text);
    EXPECT_EQ(Vek::GenericIf::hash(gi), values[i].hash(0)) << text;
    EXPECT_EQ(Vek::GenericIf::truth(gi), !(values[i] == TypeParam())) << text;
    for (std::size_t j = 0; j < values.size(); ++j) {
      SCOPED_TRACE(text + " vs " + values[j].toString());
      GenericValue const gj(values[j]);
      EXPECT_EQ(values[i] < values[j], i < j);
      EXPECT_EQ(values[i] == values[j], i == j);
      EXPECT_EQ(TypeParam::isEq(&values[i], &values[j]), i == j);
      EXPECT_EQ(Vek::GenericIf::isEq(gi, gj), i == j);
      EXPECT_EQ(Vek::GenericIf::less(gi, gj), i < j);
    }
    if (i > 0) {
      EXPECT_NE(values[i].hash(1), values[i - 1].hash(1)) << text;
      EXPECT_NE(values[i].hash(1), values[i].hash(2)) << text;
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
      {"Mpls::RouterId", "af2/10.0.0.1:7/0000.0000.0001", "af2/10.0.0.1:7/0000.0000.0001"},
      {"Mpls::RouterId", "af1/1.2.3.4:0/aaaa.bbbb.cccc", "af1/1.2.3.4:0/aaaa.bbbb.cccc"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0XaB", "16001/0xab"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0x0004", "16001/0x04"},
      {"Mpls::SegmentRouting::SegmentIdentifier", "16001/0x00", "16001"},
      {"Cspf::VertexIdentifierBase", "1921.6800.1001.AB", "1921.6800.1001.ab"},
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

// The table is an entity of the outside types' module: a read-only pointer to
// it reads its counts by field id.
TEST(OutsideStatusTest, TheTableReadsGenericallyThroughAReadOnlyPointer) {
  std::size_t const liveBefore = Vek::AllocTrackTypeInfo::liveObjectsAll();
  {
    Pavo::Ptr<Status> status = Status::StatusIs();
    EXPECT_EQ(status->typeData().module, &VekPavo::outsideTypesModule());
    status->prefixSegmentIs(
        PrefixSegment(IpGenPrefix("10.0.0.1/32"), PrefixSegmentInfo(RouterId::ipv4(1), 0x04)));
    GenericValue const boxed(Pavo::Ptr<Status const>(status.get()));
    EXPECT_TRUE(boxed.nodeReadOnly());
    EXPECT_EQ(Vek::GenericIf::read(boxed, 130).as<std::uint64_t>(), 1u);
    EXPECT_EQ(Vek::GenericIf::read(boxed, 131).as<std::uint64_t>(), 0u);
    EXPECT_EQ(Vek::GenericIf::attr(boxed, 133).name(), "ipv6AdjacencySegmentCount");
  }
  EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveBefore);
}

}  // namespace
