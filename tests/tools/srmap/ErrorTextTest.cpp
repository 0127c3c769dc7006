// Error text stays readable whatever the input: generated hostile texts (a
// million-byte token, binary bytes, control characters, a byte-order mark,
// each put into lines of the scenario tool's built-in scenario or standing
// alone) are parsed and, when they parse, run. Every message they produce
// stays within a few hundred printable characters. (The text readers of the
// registered types get such texts from the fuzz target text_forms' corpus.)
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "DefaultScenario.h"
#include "Runner.h"
#include "Scenario.h"
#include "support/Readable.h"

namespace {

using TestSupport::readableProblem;

TEST(ErrorTextTest, TheScenarioToolReportsHostileLinesReadably) {
  std::string const base = Srmap::kDefaultScenario;
  // An expectation of valid words stretched by leading zeros fails: its text is shown.
  std::string const stretched = "expect pq entries " + std::string(1 << 20, '0') + "7\n";
  std::vector<std::string> const hostile = TestSupport::hostileTexts(false);
  std::mt19937 rng(20260320);
  auto const pick = [&rng](std::size_t n) {
    return std::uniform_int_distribution<unsigned>(0, static_cast<unsigned>(n) - 1)(rng);
  };
  // The scenario with a hostile text put in at a random place (or replacing it all).
  auto const hostileScenario = [&]() -> std::string {
    std::string const& token = hostile[pick(hostile.size())];
    if (pick(6) == 0)
      return token;
    std::size_t const at = pick(base.size() + 1);
    std::size_t const replaced =
        std::min<std::size_t>(pick(2) == 0 ? 0 : pick(8), base.size() - at);
    return base.substr(0, at) + token + base.substr(at + replaced);
  };
  unsigned parsed = 0, failed = 0;
  for (int i = 0; i < 150; ++i) {
    std::string const text = hostileScenario() + (i % 2 == 0 ? "" : stretched);
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
