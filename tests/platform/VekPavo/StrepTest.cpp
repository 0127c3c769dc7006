#include "VekPavo/Strep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../Pavo/InspectTestTypes.h"
#include "Pavo/InspectModule.h"
#include "Vek/CharRangeRead.h"
#include "Vek/GenericIf.h"

namespace {

using Demo::Entry;
using Demo::Label;

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

TEST(StrepTest, WritesAttributesInRegistrationOrder) {
  EXPECT_EQ(VekPavo::valueToStrep(Entry(true, 10, Label(16001))),
            "Demo::Entry(isLocal=true, metric=10, label=16001)");
  EXPECT_EQ(VekPavo::valueToStrep(Demo::Span(1, 65535)), "Demo::Span(lo=1, hi=65535)");
  Entry const e(false, 4294967295u, Label(0));
  EXPECT_EQ(VekPavo::Impl::valueToStrep(Pavo::Inspect::typeDataOf<Entry>(), &e),
            "Demo::Entry(isLocal=false, metric=4294967295, label=0)");
  EXPECT_EQ(VekPavo::enumToStrep(Demo::Color::green), "green");
  EXPECT_EQ(VekPavo::enumToStrep(static_cast<Demo::Color>(9)), "9");
}

TEST(StrepTest, ReadingWhatWasWrittenGivesAnEqualValue) {
  for (Entry const& e :
       {Entry(), Entry(true, 10, Label(16001)), Entry(false, 4294967295u, Label(Label::kMax))}) {
    EXPECT_EQ(Vek::strepToValue<Entry>(VekPavo::valueToStrep(e)), e);
  }
  Demo::Span const s(7, 9);
  EXPECT_EQ(Vek::strepToValue<Demo::Span>(VekPavo::valueToStrep(s)), s);
  EXPECT_EQ(Vek::strepToValue<Demo::Color>("green"), Demo::Color::green);
  EXPECT_EQ(Vek::strepToValue<std::string>("\"a \\\"b\\\\\""), "a \"b\\");
  EXPECT_EQ(Vek::strepToValue<std::string>(VekPavo::valueToStrep(std::string("q\"\\"))), "q\"\\");
  auto const& span = *Pavo::ModuleInspectData::typeByName("Demo::Span");
  EXPECT_TRUE(Vek::GenericIf::decode(span, "Demo::Span(lo=3, hi=4)").isEq(Demo::Span(3, 4)));
  auto const& entry = *Pavo::ModuleInspectData::typeByName("Demo::Entry");
  EXPECT_EQ(
      Vek::GenericIf::decode(entry, Vek::GenericIf::encode(Entry(true, 1, Label(2)))).ref<Entry>(),
      Entry(true, 1, Label(2)));
}

TEST(StrepTest, ErrorsNameTheAttributeAndPosition) {
  // "Demo::Entry(isLocal=" is 20 characters long.
  auto e = readError<Entry>("Demo::Entry(isLocal=maybe, metric=1, label=2)");
  EXPECT_EQ(e.attr(), "isLocal");
  EXPECT_EQ(e.position(), 20u);
  EXPECT_NE(e.msg().find("'isLocal' at position 20"), std::string::npos) << e.msg();

  e = readError<Entry>("Demo::Entry(isLocal=true, metric=x, label=2)");
  EXPECT_EQ(e.attr(), "metric");
  EXPECT_EQ(e.position(), 33u);

  e = readError<Entry>("Demo::Entry(isLocal=true, metric=4294967296, label=2)");
  EXPECT_EQ(e.attr(), "metric");
  EXPECT_NE(e.msg().find("out of range"), std::string::npos) << e.msg();

  // The position is that of the character found instead of the separator.
  e = readError<Entry>("Demo::Entry(isLocal=true metric=1, label=2)");
  EXPECT_EQ(e.attr(), "metric");
  EXPECT_EQ(e.position(), 25u);

  e = readError<Entry>("Demo::Entry(isLocal=true, metric=1, label=2000000)");
  EXPECT_EQ(e.attr(), "label");
  EXPECT_NE(e.msg().find("beyond 1048575"), std::string::npos) << e.msg();

  e = readError<Entry>("Demo::Entry(isLocal=true, metric=1, label=2");
  EXPECT_NE(e.msg().find("expected ')'"), std::string::npos) << e.msg();
  EXPECT_EQ(e.position(), 43u);

  e = readError<Entry>("Demo::Entri(isLocal=true, metric=1, label=2)");
  EXPECT_EQ(e.position(), 0u);

  e = readError<Demo::Span>("Demo::Span(lo=1, hi=70000)");
  EXPECT_EQ(e.attr(), "hi");
  EXPECT_EQ(e.position(), 20u);

  e = readError<Demo::Color>("blue");
  EXPECT_NE(e.msg().find("Demo::Color"), std::string::npos) << e.msg();
}

TEST(StrepTest, WholeTextMustBeConsumed) {
  auto e = readError<Entry>("Demo::Entry(isLocal=true, metric=1, label=2)x");
  EXPECT_EQ(e.position(), 44u);
  EXPECT_NE(e.msg().find("unexpected text"), std::string::npos) << e.msg();
  readError<unsigned>("12 ");
  readError<bool>("truex");
  // A reader over part of a text stops where its value ends.
  Vek::CharRange range("Demo::Span(lo=1, hi=2) rest");
  Demo::Span const s = Vek::readText<Demo::Span>(range);
  EXPECT_EQ(s, Demo::Span(1, 2));
  EXPECT_EQ(range.rest(), " rest");
}

TEST(StrepTest, ValuesWithCollectionsHaveNoTextForm) {
  Demo::EntryList list;
  try {
    VekPavo::valueToStrep(list);
    FAIL() << "written";
  } catch (Pavo::Exception const& e) {
    EXPECT_EQ(e.msg(), "No String constructor for Demo::EntryList - has collection");
  }
  EXPECT_THROW(Vek::strepToValue<Demo::EntryList>("Demo::EntryList()"), Pavo::Exception);
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
}

}  // namespace
