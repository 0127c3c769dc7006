// Fuzz target: the scenario tool's parser and runner. Any text either parses
// or is refused with a ParseError naming the file and a line of the text;
// a parsed scenario names only lines of the text, runs to its end or to a
// recorded library error, and leaves every allocation tracker as it found it.
// Every message (refusal, library error, failed expectation) stays within a
// few hundred printable characters.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "Runner.h"
#include "Scenario.h"
#include "World.h"
#include "support/Readable.h"

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string_view const text(reinterpret_cast<char const*>(data), size);
  std::size_t const lines =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  Srmap::Scenario scenario;
  try {
    scenario = Srmap::parseScenario(text, "fuzz.srm");
  } catch (Srmap::ParseError const& e) {
    FUZZ_CHECK(std::string_view(e.what()).substr(0, 9) == "fuzz.srm:", e.what());
    FUZZ_CHECK(e.line() >= 1 && e.line() <= lines, e.what());
    FUZZ_CHECK(TestSupport::readableProblem(e.what()).empty(), e.what());
    return 0;
  }
  for (Srmap::Command const& c : scenario.commands)
    FUZZ_CHECK(c.line >= 1 && c.line <= lines, "a command outside the text");
  Vek::AllocTrackSnapshot const before;
  {
    Srmap::RunLog log;
    Srmap::World world([](Srmap::Change const&) {});
    Srmap::run(scenario, world, log);
    FUZZ_CHECK(TestSupport::readableProblem(log.error.value_or("")).empty(), *log.error);
    for (Srmap::RunLog::Failure const& f : log.failures)
      FUZZ_CHECK(TestSupport::readableProblem(f.where + ": " + f.text).empty(), f.text);
  }
  FuzzSupport::checkTrackersBack(before);
  return 0;
}
