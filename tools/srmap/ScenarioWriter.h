// Srmap::ScenarioWriter: writes what a run ran as a scenario file that
// replays it (docs/scenario.md), so that an imported network becomes a
// regression test without its exports: `srmap import --write-scenario`.
//
//   ScenarioWriter writer(out, world);
//   hooks.ran = [&](Action const& a) { writer.command(a); };  // before each runs
//   runScenario(...);
//   writer.finish();
//
// It writes steps, table writes and mapper starts and stops (the commands
// an import run is made of; any other raises std::logic_error). At the end
// of each step (before the next one, and at finish()), expectations the
// maps meet at that point: for each running mapper's map, the number of
// algorithms and of routers per algorithm (node-segment maps), of links per
// protocol instance (connector maps); a count written before for an
// algorithm or instance now gone is written again as 0.
#pragma once

#include <ostream>
#include <set>
#include <string>

#include "Scenario.h"
#include "World.h"

namespace Srmap {

class ScenarioWriter {
 public:
  ScenarioWriter(std::ostream& out, World const& world) : out_(out), world_(world) {}

  void command(Action const& action);
  void finish() { expectations(); }

 private:
  void expectations();

  std::ostream& out_;
  World const& world_;
  // The questions the latest expectations answered with more than 0
  // ("expect node ipv4 algo 128 routers").
  std::set<std::string> asked_;
};

}  // namespace Srmap
