// Srmap::runScenario: runs a scenario whose commands may import link-state
// exports (`import FILE ...`, Scenario.h); every other command runs as
// Srmap::run runs it. An import reads and converts its whole export first
// (when that fails the run stops with the error, and the table is as it
// was), then writes the differences from the export imported before it in
// this run (for the first: all of it), after a step that names the file and
// counts them. So the running mappers see the changes a live network would
// have caused between the two snapshots.
//
//   ImportHooks hooks;
//   hooks.checkEach = true;                       // srmap check, srmap import --check
//   hooks.ran = [&](Action const& a) { ... };     // before each command, an import's step
//   runScenario(scenario, world, log, hooks);      // and writes included
//
// With checkEach, every import that more commands follow is checked as
// `srmap check` checks the end of a run (Check.h); each finding is a failure
// of the run: "check after FILE", expected "live maps equal their rebuilds",
// actual the finding's line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Runner.h"
#include "Scenario.h"
#include "World.h"

namespace Srmap {

struct ImportHooks {
  bool checkEach = false;
  std::function<void(Action const&)> ran;
};

void runScenario(Scenario const& scenario, World& world, RunLog& log,
                 ImportHooks const& hooks = {});

// What `srmap import FILE...` runs: the first file's import, the four
// mappers started over it (a step, then each start-up build), then one
// import per further file. The commands have line 0: errors and failures
// name the export alone.
Scenario importScenario(std::vector<std::string> const& files, TedOptions const& options);

// A whole file ("-": standard input); false when it cannot be read (errno
// tells why).
bool readText(std::string const& name, std::string& text);

}  // namespace Srmap
