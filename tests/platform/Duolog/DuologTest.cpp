#include "Duolog/Duolog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/TraceCapture.h"

namespace {

// A value kept in the ring as its bytes: its text is `length` dots. Counts
// the texts made of it.
struct Dots {
  std::uint8_t length;
};
int dotsTexts = 0;
void dotsText(std::string& out, Dots const& d) {
  ++dotsTexts;
  out.append(d.length, '.');
}

char const entryFormat[] =
    "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() %s";

class DuologTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Vek::traceSettingsReset();
    Nimblog::clear();
  }
  void TearDown() override { Vek::traceSettingsReset(); }

  Vek::TraceHandle handle_{"DuologTest", false};
  TraceCapture capture_;
};

// The ring always gets the record; the trace gets the same text only when the
// handle's level is on, in full where the ring's record cuts it.
TEST_F(DuologTest, WritesRingAndTraceWithTheSameText) {
  Vek::traceLevelIs("DuologTest", 8, true);
  int const line = __LINE__ + 1;
  std::uint64_t const seq =
      Duolog::log(handle_, 8, "dir/Mapper.cpp", line, "fn", entryFormat, "ipv4");
  Duolog::log(handle_, 9, __FILE__, __LINE__, __func__, "count %u of %d", 3u, -1);
  Duolog::log(handle_, 8, __FILE__, __LINE__, __func__, "[%s]",
              Nimblog::typed<&dotsText>(Dots{Nimblog::Record::textBytes + 4}));

  std::vector<Nimblog::Record> const ring = Nimblog::records();
  ASSERT_EQ(ring.size(), 3u);
  EXPECT_EQ(ring[0].seq, seq);
  EXPECT_EQ(ring[0].fmt, entryFormat);
  std::string const text =
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() ipv4";
  EXPECT_EQ(ring[0].formatted(), text);
  EXPECT_EQ(ring[1].formatted(), "count 3 of -1");
  EXPECT_EQ(ring[2].formatted(), "[" + std::string(Nimblog::Record::textBytes, '.') + "]");

  ASSERT_EQ(capture_.messages().size(), 2u);
  EXPECT_EQ(capture_.messages()[1].text,
            "[" + std::string(Nimblog::Record::textBytes + 4, '.') + "]");
  CapturedTrace const& m = capture_.messages()[0];
  EXPECT_EQ(m.text, text);
  EXPECT_EQ(m.level, 8u);
  EXPECT_EQ(m.facility, "DuologTest");
  EXPECT_EQ(m.function, "fn");
  EXPECT_EQ(m.line, line);
}

// No text is made for a level that is off, nor when records are copied out:
// only for a level that is on and when a record is formatted.
TEST_F(DuologTest, MakesTextOnlyForALevelOnAndForTheReader) {
  handle_.levelIs(8, true);
  Dots const two{2};
  auto const dots = Nimblog::typed<&dotsText>(two);
  int const before = dotsTexts;
  {
    Nimblog::BlockTimer const timer =
        Duolog::entry(handle_, 9, __FILE__, __LINE__, __func__, "[%s]", dots);
    Duolog::log(handle_, 9, __FILE__, __LINE__, __func__, "[%s]", dots);
  }
  EXPECT_EQ(dotsTexts, before);
  Duolog::log(handle_, 8, __FILE__, __LINE__, __func__, "[%s]", dots);
  EXPECT_EQ(dotsTexts, before + 1);
  std::vector<Nimblog::Record> const ring = Nimblog::records();
  EXPECT_EQ(dotsTexts, before + 1);
  ASSERT_EQ(ring.size(), 4u);
  for (std::size_t i : {0u, 1u, 3u})
    EXPECT_EQ(ring[i].formatted(), "[..]");
  EXPECT_EQ(dotsTexts, before + 4);
  EXPECT_EQ(capture_.texts(8), std::vector<std::string>{"[..]"});
}

// The entry's timer reports when the block ends, tied to the entry record; an
// entry without arguments writes its format as it is.
TEST_F(DuologTest, EntryTimerCoversTheBlockAndIsTiedToTheEntryRecord) {
  static char const plain[] =
      "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::handleV4AdjSegment(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&)() ";
  handle_.levelIs(8, true);
  std::uint64_t entry = 0;
  {
    Nimblog::BlockTimer const timer =
        Duolog::entry(handle_, 8, __FILE__, __LINE__, __func__, entryFormat, "ipv6");
    entry = timer.entrySeq();
    Duolog::log(handle_, 9, __FILE__, __LINE__, __func__, "detail");
    EXPECT_EQ(Nimblog::size(), 2u);
  }
  {
    Nimblog::BlockTimer const timer =
        Duolog::entry(handle_, 8, __FILE__, __LINE__, __func__, plain);
  }
  std::vector<Nimblog::Record> const ring = Nimblog::records();
  ASSERT_EQ(ring.size(), 5u);
  EXPECT_EQ(ring[0].seq, entry);
  EXPECT_EQ(ring[0].fmt, entryFormat);
  EXPECT_EQ(ring[1].tiedTo, 0u);
  EXPECT_EQ(ring[2].tiedTo, entry);
  EXPECT_EQ(ring[3].formatted(), plain);
  EXPECT_EQ(
      capture_.texts(8),
      (std::vector<std::string>{
          "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() ipv6",
          plain}));
  EXPECT_TRUE(capture_.texts(9).empty());
}

}  // namespace
