#include "Nimblog/Nimblog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Pavo/ThreadControl.h"

namespace {

class NimblogTest : public ::testing::Test {
 protected:
  void SetUp() override { Nimblog::clear(); }
  void TearDown() override { Nimblog::capacityIs(Nimblog::defaultCapacity); }
};

std::vector<std::string> dumpLines() {
  std::ostringstream os;
  Nimblog::dump(os);
  std::vector<std::string> lines;
  std::istringstream is(os.str());
  for (std::string line; std::getline(is, line);)
    lines.push_back(line);
  return lines;
}

// A typed value whose text is `length` times `c`.
struct Repeat {
  std::uint8_t length;
  char c;
};
void repeatText(std::string& out, Repeat const& r) {
  out.append(r.length, r.c);
}
// A value that names its own text.
struct Tag {
  std::uint16_t id;
  std::string toString() const { return "tag" + std::to_string(id); }
};

// "<s>.<ns> #<seq> rest" -> rest, checking the time and sequence fields.
std::string afterSeq(std::string const& line, std::uint64_t seq) {
  std::size_t const dot = line.find('.');
  std::size_t const hash = line.find(" #");
  EXPECT_NE(dot, std::string::npos) << line;
  EXPECT_EQ(hash, dot + 10) << "nine digits of nanoseconds: " << line;
  std::string const tag = " #" + std::to_string(seq) + " ";
  EXPECT_EQ(line.compare(hash, tag.size(), tag), 0) << line << " wants #" << seq;
  return line.substr(hash + tag.size());
}

// Odd formats print as written, missing arguments are marked, extra ones
// dropped; long strings are cut to their share of the record's room, the room
// a short string leaves going to the strings after it (`truncated`: a bit per
// cut argument).
TEST_F(NimblogTest, FormatsEveryConversionAndCutsLongStrings) {
  enum class Af : std::uint8_t { ipv6 = 2 };
  std::size_t const room = Nimblog::Record::textBytes;
  std::string const a(100, 'a'), b(100, 'b'), c(room, 'c');
  struct Case {
    std::function<void()> log;
    std::string text;
    unsigned truncated = 0;
  };
  Case const cases[] = {
      {[] { Nimblog::log("%s|%u|%d|%x|100%%", std::string("text"), 4000000000u, -17, 0xbeefu); },
       "text|4000000000|-17|beef|100%"},
      {[] { Nimblog::log("%llu", std::uint64_t{18446744073709551615u}); }, "18446744073709551615"},
      {[] {
         Nimblog::log("%d %u %lx %zu", std::int64_t{-9223372036854775807 - 1}, Af::ipv6, -1, true);
       },
       "-9223372036854775808 2 ffffffffffffffff 1"},
      {[] { Nimblog::log("%s and %s", 12, static_cast<char const*>(nullptr)); }, "12 and (null)"},
      // Narrow integers keep their sign; a typed value prints its text whatever the conversion.
      {[] {
         Nimblog::log("%d|%x|%u|%d", std::int8_t{-5}, std::int16_t{-2}, Tag{7},
                      Nimblog::typed<&repeatText>(Repeat{3, 'z'}));
       },
       "-5|fffffffffffffffe|tag7|zzz"},
      {[] { Nimblog::log("%u %s %u", 1u); }, "1 <missing> <missing>"},
      {[] { Nimblog::log("%f %q then %u", 5u); }, "%f %q then 5"},
      {[] { Nimblog::log("trailing %", 1u); }, "trailing %"},
      {[] { Nimblog::log("trailing %ll", 1u); }, "trailing %ll"},
      {[] { Nimblog::log("%u only", 1u, 2u, 3u); }, "1 only"},
      {[] { Nimblog::log(nullptr); }, ""},
      {[&] { Nimblog::log("%s", a); }, a.substr(0, room), 1},
      {[&] { Nimblog::log("%s/%u/%s", a, 7u, b); },
       a.substr(0, room / 2) + "/7/" + b.substr(0, room / 2), 0b101},
      {[&] { Nimblog::log("%s%s", std::string("xy"), b); }, "xy" + b.substr(0, room - 2), 0b10},
      {[&] { Nimblog::log("%s", c); }, c},
  };
  for (Case const& tc : cases) {
    tc.log();
    Nimblog::Record const last = Nimblog::records().back();
    EXPECT_EQ(last.formatted(), tc.text);
    EXPECT_EQ(last.truncated, tc.truncated) << tc.text;
  }
}

// Typed texts, cut when read out, read as the same texts passed as strings
// when they come after the strings; in any order every text is a prefix of
// its full text and all of them fit the record's room.
TEST_F(NimblogTest, TypedTextsShareTheRoomAsStringsDo) {
  Nimblog::capacityIs(4);
  std::uint8_t const lengths[] = {0, 5, 19, 28, 29, 56, 60};
  auto const last = [] { return Nimblog::records().back(); };
  auto const as = [](Repeat const& r) { return Nimblog::typed<&repeatText>(r); };
  for (std::uint8_t l0 : lengths)
    for (std::uint8_t l1 : lengths)
      for (std::uint8_t l2 : lengths)
        for (std::uint8_t l3 : lengths) {
          Repeat const r[4] = {{l0, 'a'}, {l1, 'b'}, {l2, 'c'}, {l3, 'd'}};
          std::string const s[4] = {std::string(l0, 'a'), std::string(l1, 'b'),
                                    std::string(l2, 'c'), std::string(l3, 'd')};
          char const fmt[] = "%s|%s|%s|%s";
          Nimblog::log(fmt, s[0], s[1], s[2], s[3]);
          Nimblog::Record const strings = last();
          Nimblog::log(fmt, s[0], s[1], as(r[2]), as(r[3]));
          Nimblog::Record const after = last();
          EXPECT_EQ(after.formatted(), strings.formatted());
          EXPECT_EQ(after.truncated, strings.truncated & 0b11u);
          Nimblog::log(fmt, as(r[0]), as(r[1]), as(r[2]), as(r[3]));
          EXPECT_EQ(last().formatted(), strings.formatted());

          Nimblog::log(fmt, as(r[0]), s[1], as(r[2]), s[3]);
          std::string const mixed = last().formatted();
          std::size_t at = 0;
          for (std::string const& full : s) {
            std::size_t const end = std::min(mixed.find('|', at), mixed.size());
            EXPECT_EQ(full.compare(0, end - at, mixed, at, end - at), 0) << mixed;
            at = end + 1;
          }
          EXPECT_LE(mixed.size(), Nimblog::Record::textBytes + 3) << mixed;
        }
}

// A timer reports once, tied to its entry record, when its block ends, when
// stopped, or when assigned over (the old one first); the time runs from the
// entry record's to no later than the report's. An empty or moved-from timer
// reports nothing.
TEST_F(NimblogTest, BlockTimersReportOnceTiedToTheirEntries) {
  {
    Nimblog::BlockTimer idle;
    EXPECT_FALSE(idle.active());
    EXPECT_EQ(idle.stop(), 0u);
  }
  EXPECT_EQ(Nimblog::size(), 0u);
  std::uint64_t entry = 0;
  {
    Nimblog::BlockTimer timer = Nimblog::logTimed("work %s", "ipv6");
    entry = timer.entrySeq();
    EXPECT_TRUE(timer.active());
    Nimblog::log("inside");
  }
  std::vector<Nimblog::Record> const all = Nimblog::records();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].seq, entry);
  EXPECT_EQ(all[0].formatted(), "work ipv6");
  Nimblog::Record const& exit = all[2];
  ASSERT_EQ(exit.argCount, 1u);
  std::uint64_t const elapsed = exit.arg(0).u;
  EXPECT_LE(elapsed, exit.timestampNs - all[0].timestampNs);
  EXPECT_GE(elapsed, all[1].timestampNs - all[0].timestampNs);
  EXPECT_EQ(exit.formatted(), "elapsed " + std::to_string(elapsed) + " ns");
  EXPECT_EQ(afterSeq(dumpLines().back(), exit.seq),
            "[#" + std::to_string(entry) + "] elapsed " + std::to_string(elapsed) + " ns");

  Nimblog::BlockTimer a = Nimblog::logTimed("a");
  Nimblog::BlockTimer b = Nimblog::logTimed("b");
  std::uint64_t const aEntry = a.entrySeq();
  std::uint64_t const bEntry = b.entrySeq();
  {
    Nimblog::BlockTimer moved(std::move(a));
    EXPECT_FALSE(a.active());
  }
  Nimblog::BlockTimer c = Nimblog::logTimed("c");
  std::uint64_t const cEntry = c.entrySeq();
  b = std::move(c);
  EXPECT_NE(b.stop(), 0u);
  EXPECT_EQ(b.stop(), 0u);
  a.stop();
  std::vector<std::uint64_t> tied;
  for (Nimblog::Record const& r : Nimblog::records()) {
    if (r.tiedTo != 0)
      tied.push_back(r.tiedTo);
  }
  EXPECT_EQ(tied, (std::vector<std::uint64_t>{entry, aEntry, bEntry, cEntry}));
}

// The ring keeps its newest records in order, overwriting the oldest, and
// loses none to concurrent writers while thread safety is on. Clearing empties
// it and the numbers go on; the smallest ring still holds the newest record.
TEST_F(NimblogTest, RingKeepsItsNewestRecordsInOrderAndLosesNoneToConcurrentWriters) {
  constexpr unsigned perThread = 500;
  Nimblog::capacityIs(2 * perThread);
  EXPECT_EQ(Nimblog::capacity(), 2 * perThread);
  Pavo::ThreadControl::tsp_ = true;
  auto writer = [](unsigned id) {
    for (unsigned i = 0; i < perThread; ++i)
      Nimblog::log("thread %u record %u", id, i);
  };
  std::thread t1(writer, 1u), t2(writer, 2u);
  t1.join();
  t2.join();
  Pavo::ThreadControl::tsp_ = false;
  std::uint64_t seq = 0;
  for (unsigned i = 0; i < 3; ++i)
    seq = Nimblog::log("record %u", i);
  std::vector<Nimblog::Record> const all = Nimblog::records();
  std::vector<std::string> const lines = dumpLines();
  ASSERT_EQ(all.size(), 2 * perThread);
  ASSERT_EQ(lines.size(), all.size());
  std::set<std::string> texts;
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].seq, seq + 1 + i - all.size());
    EXPECT_EQ(afterSeq(lines[i], all[i].seq), all[i].formatted());
    texts.insert(all[i].formatted());
  }
  EXPECT_EQ(texts.size(), all.size());
  EXPECT_EQ(all.back().formatted(), "record 2");
  Nimblog::clear();
  EXPECT_EQ(Nimblog::size(), 0u);
  EXPECT_TRUE(dumpLines().empty());
  EXPECT_EQ(Nimblog::log("c"), seq + 1);
  Nimblog::capacityIs(0);
  EXPECT_EQ(Nimblog::capacity(), 1u);
  Nimblog::log("old");
  Nimblog::log("new");
  ASSERT_EQ(Nimblog::size(), 1u);
  EXPECT_EQ(Nimblog::records()[0].formatted(), "new");
}

}  // namespace
