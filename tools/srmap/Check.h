// Srmap::check: is each live, incrementally kept map what a rebuild would
// give? For every mapper still running it builds a fresh mapper of the same
// family over the same table into a fresh map, compares the two maps member
// by member, and lets the fresh mapper go. It also lists the invariants
// (oracles/Invariants.h) each running mapper breaks, and a stopped mapper's
// map that is not empty, and adjacency segments filed on more than one link
// of one protocol instance.
//
// Fault switches left armed by the scenario are cleared first, so that the
// rebuild reads the whole table.
#pragma once

#include <string>
#include <vector>

#include "oracles/GenericText.h"
#include "World.h"

namespace Srmap {

struct CheckResult {
  // A member present in one map only, or with another value; "absent" when
  // a map lacks it.
  struct Difference {
    std::string map;  // "node-ipv4", "adj-ipv6"
    Path path;
    std::string live;
    std::string rebuilt;
  };
  // A broken invariant: text of oracles/Invariants.h.
  struct Invariant {
    std::string map;
    std::string violation;
  };
  struct SharedSid {
    std::string map;
    unsigned proto = 0;
    std::string key;                 // the adjacency segment key's text
    std::vector<std::string> links;  // sorted
  };
  std::vector<Difference> differences;
  std::vector<Invariant> invariants;
  std::vector<SharedSid> sharedSids;
  bool clean() const { return differences.empty() && invariants.empty() && sharedSids.empty(); }
};

// Library exceptions (a rebuild over an entry beyond its bound) pass out.
CheckResult check(World& world);

// "difference MAP PATH: live X, rebuilt Y", "invariant MAP: VIOLATION" and
// "shared-sid MAP proto P KEY: N links: L; L".
std::vector<std::string> checkLines(CheckResult const& result);

}  // namespace Srmap
