// Error text stays readable whatever the input: generated hostile texts (a
// million-byte token, binary bytes, control characters, a byte-order mark,
// each put into valid texts or standing alone) go to the text reader of every
// registered value type, and into lines of the scenario tool's built-in
// scenario, which is parsed and, when it parses, run. Every message they
// produce stays within a few hundred printable characters.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "DefaultScenario.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Runner.h"
#include "Scenario.h"
#include "VekPavo/GenericIf.h"
#include "fuzz/FuzzSupport.h"
#include "support/Readable.h"

namespace {

using TestSupport::readableProblem;

// Valid texts with hostile ones (support/Readable.h) put in at random places.
class HostileText {
 public:
  explicit HostileText(unsigned seed) : rng_(seed) {}

  unsigned pick(std::size_t n) {
    return std::uniform_int_distribution<unsigned>(0, static_cast<unsigned>(n) - 1)(rng_);
  }
  // `text` with a hostile text put in at a random place (or replacing it all).
  std::string into(std::string const& text) {
    std::string const& token = hostile_[pick(hostile_.size())];
    if (pick(6) == 0)
      return token;
    std::size_t const at = pick(text.size() + 1);
    std::size_t const replaced =
        std::min<std::size_t>(pick(2) == 0 ? 0 : pick(8), text.size() - at);
    return text.substr(0, at) + token + text.substr(at + replaced);
  }

 private:
  std::mt19937 rng_;
  std::vector<std::string> const hostile_ = TestSupport::hostileTexts(false);
};

TEST(ErrorTextTest, EveryTextReaderRefusesHostileTextReadably) {
  std::vector<std::string> const valid{
      "10.0.0.1/32",
      "2001:db8::1/128",
      "1921.6800.1001",
      "10.0.0.1:0",
      "24003/0x40",
      "\"text\"",
      "1921.6800.1001 -> 1921.6800.1002 kind 2 link 1/1 local 10.0.12.1 last 1921.6800.1002",
      "SegmentRouting::Mappers::AdjSegmentEntry(isLocal=true, metric=10, sid=16001)",
      "4096"};
  std::vector<Pavo::Inspect::TypeInfo const*> types = FuzzSupport::registeredTypes();
  std::erase_if(types, [](Pavo::Inspect::TypeInfo const* t) { return t->isEntity(); });
  ASSERT_GT(types.size(), 10u);
  HostileText hostile(20260319);
  for (int i = 0; i < 40; ++i) {
    std::string const text = hostile.into(valid[hostile.pick(valid.size())]);
    for (Pavo::Inspect::TypeInfo const* type : types) {
      try {
        Vek::GenericIf::decode(*type, text);
      } catch (Pavo::Exception const& e) {
        ASSERT_EQ(readableProblem(e.msg()), "") << type->name();
      }
    }
  }
}

TEST(ErrorTextTest, TheScenarioToolReportsHostileLinesReadably) {
  std::string const base = Srmap::kDefaultScenario;
  // An expectation of valid words stretched by leading zeros fails: its text is shown.
  std::string const stretched = "expect pq entries " + std::string(1 << 20, '0') + "7\n";
  HostileText hostile(20260320);
  unsigned parsed = 0, failed = 0;
  for (int i = 0; i < 150; ++i) {
    std::string const text = hostile.into(base) + (i % 2 == 0 ? "" : stretched);
    Srmap::Scenario scenario;
    try {
      scenario = Srmap::parseScenario(text, "hostile\x1b.srm");
    } catch (Srmap::ParseError const& e) {
      ASSERT_EQ(readableProblem(e.what()), "") << e.what();
      continue;
    }
    ++parsed;
    Srmap::RunLog log;
    Srmap::World world([](Srmap::Change const&) {});
    Srmap::run(scenario, world, log);
    ASSERT_EQ(readableProblem(log.error.value_or("")), "");
    failed += static_cast<unsigned>(log.failures.size());
    for (auto const& f : log.failures) {
      std::string const m = f.where + ": expectation failed: " + f.text + ": expected " +
                            f.expected + ", actual " + f.actual;
      ASSERT_EQ(readableProblem(m), "") << m.substr(0, 300);
    }
  }
  EXPECT_GT(parsed, 10u);  // the runner's messages were reached too
  EXPECT_GT(failed, 10u);
  // A byte-order mark before the text changes nothing.
  EXPECT_EQ(Srmap::parseScenario("\xEF\xBB\xBF" + base, "bom.srm").commands.size(),
            Srmap::parseScenario(base, "bom.srm").commands.size());
}

}  // namespace
