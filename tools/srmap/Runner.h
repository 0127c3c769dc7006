// Srmap::run: plays a parsed scenario against a World and records what
// happened: the steps and published changes in order, the expectations that
// failed, and the library error that stopped the run, if one did.
//
//   RunLog log;
//   World world([&](Change const& c) { log.events.emplace_back(c); });
//   run(scenario, world, log);
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Scenario.h"
#include "World.h"
#include "oracles/ChangeLog.h"

namespace Srmap {

struct RunLog {
  struct Failure {
    std::string where;  // "FILE:LINE"
    std::string text;   // the expectation as written
    std::string expected;
    std::string actual;
  };
  std::vector<std::variant<Step, Change>> events;
  std::vector<Failure> failures;
  // "FILE:LINE: message" of the library exception that stopped the run.
  std::optional<std::string> error;
};

// Runs the commands in order. Every expectation is checked (a failure does
// not stop the run); a library exception stops it, recorded in log.error.
void run(Scenario const& scenario, World& world, RunLog& log);
// One command of a run; `where` ("FILE:LINE") names it in a failure or the
// error. False when a library exception stopped it.
bool runCommand(Action const& action, std::string const& where, World& world, RunLog& log);

}  // namespace Srmap
