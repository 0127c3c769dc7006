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

// The ring takes every record; the trace takes the same text only where the
// handle's level is on, in full where the ring's record cuts it. No text is
// made for a level that is off, nor when records are copied out. An entry's
// timer reports when its block ends, tied to the entry record; an entry
// without arguments writes its format as it is.
TEST(DuologTest, RingTakesEveryRecordAndTraceTheSameTextForTheLevelsOn) {
  static char const entryFormat[] =
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() %s";
  static char const plain[] =
      "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::handleV4AdjSegment(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&)() ";
  std::string const entryText =
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() ipv4";
  Vek::traceSettingsReset();
  Nimblog::clear();
  TraceCapture capture;
  Vek::TraceHandle handle("DuologTest", false);
  Vek::traceLevelIs("DuologTest", 8, true);
  Dots const longDots{Nimblog::Record::textBytes + 4};
  auto const dots = Nimblog::typed<&dotsText>(longDots);
  std::string const cut = "[" + std::string(Nimblog::Record::textBytes, '.') + "]";
  int const before = dotsTexts;

  int const line = __LINE__ + 1;
  std::uint64_t const seq =
      Duolog::log(handle, 8, "dir/Mapper.cpp", line, "fn", entryFormat, "ipv4");
  std::uint64_t entry = 0;
  {
    Nimblog::BlockTimer const timer =
        Duolog::entry(handle, 9, __FILE__, __LINE__, __func__, "[%s]", dots);
    entry = timer.entrySeq();
    Duolog::log(handle, 9, __FILE__, __LINE__, __func__, "count %u of %d", 3u, -1);
  }
  EXPECT_EQ(dotsTexts, before);
  {
    Nimblog::BlockTimer const timer = Duolog::entry(handle, 8, __FILE__, __LINE__, __func__, plain);
  }
  Duolog::log(handle, 8, __FILE__, __LINE__, __func__, "[%s]", dots);
  EXPECT_EQ(dotsTexts, before + 1);
  std::vector<Nimblog::Record> const ring = Nimblog::records();
  EXPECT_EQ(dotsTexts, before + 1);

  ASSERT_EQ(ring.size(), 7u);
  EXPECT_EQ(ring[0].seq, seq);
  EXPECT_EQ(ring[0].fmt, entryFormat);
  EXPECT_EQ(ring[1].seq, entry);
  EXPECT_EQ(ring[2].tiedTo, 0u);
  EXPECT_EQ(ring[3].tiedTo, entry);
  EXPECT_EQ(ring[5].tiedTo, ring[4].seq);
  std::vector<std::string> texts;
  for (std::size_t i : {0u, 1u, 2u, 4u, 6u})
    texts.push_back(ring[i].formatted());
  EXPECT_EQ(texts, (std::vector<std::string>{entryText, cut, "count 3 of -1", plain, cut}));
  EXPECT_EQ(dotsTexts, before + 3);

  EXPECT_EQ(capture.texts(8),
            (std::vector<std::string>{
                entryText, plain, "[" + std::string(Nimblog::Record::textBytes + 4, '.') + "]"}));
  ASSERT_EQ(capture.messages().size(), 3u);
  CapturedTrace const& m = capture.messages()[0];
  EXPECT_EQ(m.facility, "DuologTest");
  EXPECT_EQ(m.function, "fn");
  EXPECT_EQ(m.line, line);
  Vek::traceSettingsReset();
}

}  // namespace
