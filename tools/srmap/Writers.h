// The outputs of a run: plain text (the changes as they were published, then
// the final maps written by the generic inspector), JSON (the same as data)
// and a Graphviz picture of the final maps.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
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

// One object: {"changes": [...], "maps": {NAME: {PATH: VALUE}}, "failures":
// [...], "error": TEXT|null, and "check" and "ring" when given}. Steps are
// not entries of their own: each change names the step it came in.
void writeJson(std::ostream& out, RunLog const& log, World const& world, Extras const& extras);

// Links (first vertex -> second vertex) labelled with their adjacency SIDs
// per map and protocol instance; routers labelled with their prefixes per
// algorithm.
void writeDot(std::ostream& out, World const& world);

// `text` as a JSON string, quotes included.
std::string jsonString(std::string_view text);

}  // namespace Srmap
