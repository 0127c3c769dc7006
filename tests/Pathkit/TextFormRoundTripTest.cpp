// Every value type with a text form reads back what it writes: for random
// values v, read(toString(v)) == v through every reader (the type's own,
// the generic decode, and inside a composite form, where the reader must
// stop right after the value; a value of no attributes also fails when more
// than blanks stand before its end).
#include <gtest/gtest.h>

#include <string>

#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Pavo/InspectTypes.h"
#include "Vek/CharRangeRead.h"
#include "Vek/GenericIf.h"
#include "VekPavo/Strep.h"
#include "support/RandomValues.h"

namespace {

using TestSupport::Random;

template <class T>
struct Draw;
#define DRAW(T, expr)                         \
  template <>                                 \
  struct Draw<T> {                            \
    static T from(Random& r) { return expr; } \
  }
DRAW(Vantre::AddressFamily, r.addressFamily());
DRAW(Vantre::IpGenPrefix, r.prefix());
DRAW(Routing::Isis::SystemId, r.systemId());
DRAW(Mpls::RouterId, r.routerId());
DRAW(Mpls::SegmentRouting::PrefixAlgoKey, r.prefixAlgoKey());
DRAW(Mpls::SegmentRouting::SegmentIdentifier, r.sid());
DRAW(Cspf::VertexIdentifierBase, r.vertex());
DRAW(Cspf::IgpRouterId, r.igpRouterId());
DRAW(Cspf::LinkKey, r.linkKey());
DRAW(Cspf::PathKey, r.pathKey());
DRAW(Cspf::Lfa::PqIdx, r.pqIdx());
DRAW(Kroma::SegmentRouting::AdjacencySegmentKey, r.adjacencySegmentKey());
DRAW(Kroma::SegmentRouting::PrefixSegment,
     Kroma::SegmentRouting::PrefixSegment(r.prefix(), r.prefixSegmentInfo()));
DRAW(Kroma::SegmentRouting::PrefixSegmentWithAlgo,
     Kroma::SegmentRouting::PrefixSegmentWithAlgo(r.prefixAlgoKey(), r.prefixSegmentInfo()));
DRAW(Kroma::SegmentRouting::AdjacencySegmentNeighbor, r.adjacencyNeighbor());
DRAW(Kroma::SegmentRouting::AdjacencySegment, r.adjacencySegment());
DRAW(SegmentRouting::Mappers::AdjSegmentEntry,
     SegmentRouting::Mappers::AdjSegmentEntry(r.coin(), r.u32(), r.sid()));
#undef DRAW

template <class T>
class TextFormRoundTripTest : public ::testing::Test {};

using TextFormTypes = ::testing::Types<
    Vantre::AddressFamily, Vantre::IpGenPrefix, Routing::Isis::SystemId, Mpls::RouterId,
    Mpls::SegmentRouting::PrefixAlgoKey, Mpls::SegmentRouting::SegmentIdentifier,
    Cspf::VertexIdentifierBase, Cspf::IgpRouterId, Cspf::LinkKey, Cspf::PathKey, Cspf::Lfa::PqIdx,
    Kroma::SegmentRouting::AdjacencySegmentKey, Kroma::SegmentRouting::PrefixSegment,
    Kroma::SegmentRouting::PrefixSegmentWithAlgo, Kroma::SegmentRouting::AdjacencySegmentNeighbor,
    Kroma::SegmentRouting::AdjacencySegment, SegmentRouting::Mappers::AdjSegmentEntry>;
TYPED_TEST_SUITE(TextFormRoundTripTest, TextFormTypes);

TYPED_TEST(TextFormRoundTripTest, ReadingWhatIsWrittenGivesTheSameValue) {
  Pavo::Inspect::TypeInfo const& type = *Pavo::Inspect::typeOf<TypeParam>();
  Random r(20240601u);
  for (int i = 0; i < 500; ++i) {
    Vek::GenericValue const v(Draw<TypeParam>::from(r));
    std::string const text = Vek::GenericIf::encode(v);
    SCOPED_TRACE(text);
    ASSERT_EQ(VekPavo::valueToStrep(v.ref<TypeParam>()), text);
    EXPECT_TRUE(v.isEq(Vek::GenericValue(Vek::strepToValue<TypeParam>(text))));
    EXPECT_TRUE(v.isEq(Vek::GenericIf::decode(type, text)));
    std::string const composite = "x=" + text + " , next=(a, b))";
    Vek::CharRange range(composite);
    range.advance(2);
    EXPECT_TRUE(v.isEq(Vek::GenericValue::fromStrep(type, range)));
    EXPECT_EQ(range.pos(), 2 + text.size());
    if (type.attrCount() != 0)
      continue;  // a composite ends at its ')': what follows is the outer reader's
    std::string const junk = "x=" + text + " junk, next=1)";
    Vek::CharRange rest(junk);
    rest.advance(2);
    try {
      Vek::GenericValue::fromStrep(type, rest);
      ADD_FAILURE() << "read with text left over";
    } catch (Vek::DeserializeException const& e) {
      EXPECT_EQ(e.position(), 3 + text.size()) << e.msg();
    }
    EXPECT_EQ(rest.pos(), 2u);
  }
}

}  // namespace
