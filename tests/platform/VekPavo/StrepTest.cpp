#include "VekPavo/Strep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../Pavo/InspectTestTypes.h"
#include "Pavo/InspectModule.h"
#include "Vek/CharRangeRead.h"
#include "Vek/GenericIf.h"

namespace {

using Demo::Span;

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

// Attributes are written in registration order, and reading the text gives
// an equal value, blanks around separators allowed.
TEST(StrepTest, WritesAttributesInRegistrationOrderAndReadsThemBack) {
  Span const s(1, 65535);
  std::string const text = "Demo::Span(lo=1, hi=65535)";
  EXPECT_EQ(VekPavo::valueToStrep(s), text);
  EXPECT_EQ(VekPavo::Impl::valueToStrep(Pavo::Inspect::typeDataOf<Span>(), &s), text);
  EXPECT_EQ(Vek::strepToValue<Span>(text), s);
  auto const& span = *Pavo::ModuleInspectData::typeByName("Demo::Span");
  EXPECT_TRUE(Vek::GenericIf::decode(span, " Demo::Span( lo=3 ,hi=4 )").isEq(Span(3, 4)));
  EXPECT_EQ(VekPavo::enumToStrep(Demo::Color::green), "green");
  EXPECT_EQ(VekPavo::enumToStrep(static_cast<Demo::Color>(9)), "9");
  EXPECT_EQ(Vek::strepToValue<Demo::Color>("green"), Demo::Color::green);
  EXPECT_EQ(Vek::strepToValue<std::string>("\"a \\\"b\\\\\""), "a \"b\\");
  EXPECT_EQ(Vek::strepToValue<std::string>(VekPavo::valueToStrep(std::string("q\"\\"))), "q\"\\");
}

// The error names the attribute being read and the position of the first
// character that does not fit; the position of a separator error is that of
// the character found instead.
TEST(StrepTest, ErrorsNameTheAttributeAndPosition) {
  struct Case {
    char const* text;
    char const* attr;
    std::size_t position;
    char const* part;
  };
  Case const cases[] = {
      {"Demo::Span(lo=x, hi=2)", "lo", 14, "'lo' at position 14"},
      {"Demo::Span(lo=70000, hi=2)", "lo", 14, "exceeds 65535"},
      {"Demo::Span(lo=1 hi=2)", "hi", 16, "expected ','"},
      {"Demo::Span(lo=1, hi=2", "", 21, "expected ')'"},
      {"Demo::Spam(lo=1, hi=2)", "", 0, ""},
      {"Demo::Span(lo=1, hi=2)x", "", 22, "unexpected text"},
      {"Demo::Span(lo=1, hi=70000)", "hi", 20, "exceeds 65535"},
  };
  for (Case const& c : cases) {
    auto const e = readError<Span>(c.text);
    if (*c.attr) {
      EXPECT_EQ(e.attr(), c.attr) << c.text;
    }
    EXPECT_EQ(e.position(), c.position) << c.text << ": " << e.msg();
    EXPECT_NE(e.msg().find(c.part), std::string::npos) << e.msg();
  }
  EXPECT_NE(readError<Demo::Color>("blue").msg().find("Demo::Color"), std::string::npos);
  // A reader over part of a text stops where its value ends.
  Vek::CharRange range("Demo::Span(lo=1, hi=2) rest");
  EXPECT_EQ(Vek::readText<Demo::Span>(range), Demo::Span(1, 2));
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
