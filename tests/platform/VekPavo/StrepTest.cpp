#include "VekPavo/Strep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "VekPavo/CharRangeRead.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectModule.h"

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;

// The error of reading `text` as T; fails the test when there is none.
template <class T>
Vek::DeserializeException readError(std::string const& text) {
  try {
    Vek::strepToValue<T>(text);
  } catch (Vek::DeserializeException const& e) {
    return e;
  }
  ADD_FAILURE() << "read without error: " << text;
  return Vek::DeserializeException("", 0, "");
}

std::string const kType = "Kroma::SegmentRouting::PrefixSegment";
PrefixSegment const kSegment(Vantre::IpGenPrefix("10.0.0.1/32"),
                             PrefixSegmentInfo(Mpls::RouterId::ipv4(1), 255));
std::string const kText = kType + "(key=10.0.0.1/32, originator=0.0.0.1:0, flags=255)";

// Attributes are written in registration order, and reading the text gives
// an equal value, blanks around separators allowed.
TEST(StrepTest, WritesAttributesInRegistrationOrderAndReadsThemBack) {
  EXPECT_EQ(VekPavo::valueToStrep(kSegment), kText);
  EXPECT_EQ(VekPavo::Impl::valueToStrep(Pavo::Inspect::typeDataOf<PrefixSegment>(), &kSegment),
            kText);
  EXPECT_TRUE(Vek::strepToValue<PrefixSegment>(kText) == kSegment);
  auto const& type = *Pavo::ModuleInspectData::typeByName(kType);
  std::string const blanks = " " + kType + "( key=10.0.0.1/32 ,originator=0.0.0.1:0 ,flags=255 )";
  EXPECT_TRUE(Vek::GenericIf::decode(type, blanks).isEq(kSegment));
  EXPECT_EQ(Vek::strepToValue<std::string>("\"a \\\"b\\\\\""), "a \"b\\");
  EXPECT_EQ(Vek::strepToValue<std::string>(VekPavo::valueToStrep(std::string("q\"\\"))), "q\"\\");
}

// The error names the attribute being read and the position of the first
// character that does not fit (`at` starts there); the position of a
// separator error is that of the character found instead.
TEST(StrepTest, ErrorsNameTheAttributeAndPosition) {
  struct Case {
    std::string text;
    char const* attr;
    char const* at;
    char const* part;
  };
  Case const cases[] = {
      {"(key=x, originator=none, flags=1)", "key", "x,", "'key' at position"},
      {"(key=::/0, originator=none, flags=256)", "flags", "256", "exceeds 255"},
      {"(key=::/0, originator=none, flags=1 x)", "", "x)", "expected ')'"},
      {"(key=::/0, originator=none, flags=1", "", "", "expected ')'"},
      {"(key=::/0, originator=none, flags=1)x", "", "x", "unexpected text"},
  };
  for (Case const& c : cases) {
    std::string const bad = kType + c.text;
    auto const e = readError<PrefixSegment>(bad);
    if (*c.attr) {
      EXPECT_EQ(e.attr(), c.attr) << bad;
    }
    std::size_t const at = *c.at ? bad.rfind(c.at) : bad.size();
    EXPECT_EQ(e.position(), at) << bad << ": " << e.msg();
    EXPECT_NE(e.msg().find(c.part), std::string::npos) << e.msg();
  }
  EXPECT_EQ(readError<PrefixSegment>("Kroma::SegmentRouting::PrefixSegmenT()").position(), 0u);
  // A reader over part of a text stops where its value ends.
  std::string const more = kText + " rest";
  Vek::CharRange range(more);
  EXPECT_TRUE(Vek::readText<PrefixSegment>(range) == kSegment);
  EXPECT_EQ(range.rest(), " rest");
}

TEST(StrepTest, BuiltinScalarReaders) {
  EXPECT_EQ(Vek::strepToValue<std::uint8_t>("255"), 255u);
  EXPECT_EQ(readError<std::uint8_t>("256").position(), 0u);
  EXPECT_EQ(Vek::strepToValue<std::uint64_t>("18446744073709551615"), ~std::uint64_t{0});
  readError<std::uint64_t>("18446744073709551616");
  readError<unsigned>("-1");
  readError<unsigned>("");
  EXPECT_EQ(Vek::strepToValue<std::int8_t>("-128"), -128);
  readError<std::int8_t>("128");
  readError<std::int8_t>("-129");
  EXPECT_EQ(Vek::strepToValue<std::int64_t>("-9223372036854775808"),
            std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(Vek::strepToValue<bool>("false"));
  readError<std::string>("\"open");
  readError<std::string>("\"bad\\n\"");
  readError<unsigned>("12 ");
  readError<bool>("truex");
}

}  // namespace
