// The outputs of a run: plain text (the changes as they were published, then
// the final maps written by the generic inspector), JSON (the same as data)
// and a Graphviz picture of the final maps.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "Check.h"
#include "Runner.h"
#include "World.h"

namespace Srmap {

// What goes into one report besides the run itself; null or empty: left out.
struct Extras {
  CheckResult const* check = nullptr;
  std::vector<std::string> ring;  // the binary ring buffer's lines
};

void writeText(std::ostream& out, RunLog const& log, World const& world, Extras const& extras);

// One object, written with nlohmann-json (docs/scenario.md has the
// structure): "changes" (each naming its step, map and path), "maps" (each
// member with its path and value), "failures", "error" (null when none), and
// "check" and "ring" when given. A path is an array of {attribute, key}
// steps: keys are never joined into one text, since prefixes hold '/'.
void writeJson(std::ostream& out, RunLog const& log, World const& world, Extras const& extras);

// Routers (boxes labelled with their node segments per algorithm) and links
// (first vertex -> second vertex, labelled with their adjacency SIDs per map
// and protocol instance), with a legend. A router's box is its link endpoint
// too, whatever the form of its router id.
void writeDot(std::ostream& out, World const& world);

}  // namespace Srmap
