// Srmap::Scenario: a parsed scenario file, the commands of docs/scenario.md
// in file order, each with its line number, ready to run.
//
//   Srmap::Scenario s = Srmap::parseScenario(text, "net.srm");  // throws ParseError
//   for (Srmap::Command const& c : s.commands) ...
//
// Parsing is pure: it reads the text buffer and builds values, touching no
// table, map or trace. The first malformed line stops it with a ParseError
// naming the file and line, so nothing of a bad file is ever run. Sizes are
// bounded where the table bounds them (512 neighbour records per adjacency
// segment); everything else grows with the input text only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Kroma/KromaMap.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "TedOptions.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"

namespace Srmap {

// "FILE:LINE: what is wrong" in what().
class ParseError : public std::runtime_error {
 public:
  ParseError(std::string_view file, std::size_t line, std::string const& what);
  std::size_t line() const noexcept { return line_; }

 private:
  std::size_t line_;
};

// The status table's collections, as scenarios name them.
enum class Collection : std::uint8_t { prefix, prefixAlgo, adjIpv4, adjIpv6 };
char const* collectionName(Collection c) noexcept;

struct Step {
  std::string text;
};

// A prefix segment set or removed; `algo` present selects the
// per-algorithm collection (even for algorithm 0), absent the plain one.
struct PrefixSet {
  Vantre::IpGenPrefix prefix;
  std::optional<std::uint8_t> algo;
  Mpls::RouterId originator;
  std::uint8_t flags = 0;
  std::optional<Mpls::SegmentRouting::SegmentIdentifier> sid;
};
struct PrefixDel {
  Vantre::IpGenPrefix prefix;
  std::optional<std::uint8_t> algo;
};

// Invariant: neighbors.size() <= AdjacencySegment::kMaxNeighbors.
struct AdjSet {
  Vantre::AddressFamily af;
  Kroma::SegmentRouting::AdjacencySegmentKey key;
  std::uint8_t flags = 0;
  std::vector<Kroma::SegmentRouting::AdjacencySegmentNeighbor> neighbors;
};
struct AdjDel {
  Vantre::AddressFamily af;
  Kroma::SegmentRouting::AdjacencySegmentKey key;
};

enum class MapperKind : std::uint8_t { node, adj };
// A mapper started, stopped, or (`cleanup`, with `start`) cleaned up while it
// runs: its output emptied, its subscription kept.
struct MapperSwitch {
  MapperKind kind;
  Vantre::AddressFamily af;
  bool start;
  bool cleanup = false;
};

// The levels of the mappers' trace facility become `levels` (a mask); the
// lines written from then on are kept for `expect trace`.
struct Trace {
  std::uint32_t levels = 0;
};

// One PQ-index map change: the whole entry (del only), a flagged path key,
// or a path key or prefix of one algorithm.
struct Pq {
  enum class What : std::uint8_t { entry, pathKey, algoPathKey, algoPrefix };
  bool del = false;
  What what = What::entry;
  Cspf::Lfa::PqIdx idx;
  std::uint8_t algo = 0;
  Cspf::PathKey pathKey;
  Vantre::IpGenPrefix prefix;
  bool flag = true;
};
// One P-router map change; without `idx` (del only) the router's entry.
struct PRouter {
  bool del = false;
  Mpls::RouterId router;
  std::optional<Cspf::Lfa::PqIdx> idx;
  bool flag = true;
};

// A fault armed on a collection: the (after+1)-th call of `op` reports
// corruption; or, with `op` none, a stored entry's record count overwritten
// with `count` unchecked (the entry's key: `prefix`, `algo` for the
// per-algorithm collection, `key` for an adjacency collection), so that
// reading it raises the range error.
struct Corrupt {
  Collection collection = Collection::prefix;
  Kroma::Fault op = Kroma::Fault::none;
  unsigned after = 0;
  Vantre::IpGenPrefix prefix;
  std::uint8_t algo = 0;
  Kroma::SegmentRouting::AdjacencySegmentKey key;
  std::uint32_t count = 0;
};

// A statement about the maps after the commands before it. The runner
// answers the question with a text (a count, "present"/"absent") and
// compares it with `expected`.
struct Expect {
  enum class What : std::uint8_t {
    nodeHas,         // af algo router prefix
    nodeAlgos,       // af
    nodeRouters,     // af algo
    nodePrefixes,    // af algo router
    nodeCached,      // af: the running mapper's prefix-to-originator cache
    adjHas,          // af proto link sid
    adjLinks,        // af proto
    adjSids,         // af proto link
    adjSidLinks,     // af proto key
    pqEntries,       //
    pqPathKeys,      // pqIdx [algo]
    pqPrefixes,      // pqIdx algo
    prouterIndexes,  // router
    corruption,      // collection
    trace,           // the next trace line not yet expected: "LEVEL TEXT", or "none"
    ring,            // the next ring record not yet expected (timers' ends skipped), or "none"
    changes,         // the changes published since the last step
  };
  What what = What::nodeHas;
  Vantre::AddressFamily af;
  std::optional<std::uint8_t> algo;
  Mpls::RouterId router;
  Vantre::IpGenPrefix prefix;
  std::uint16_t proto = 0;
  Cspf::LinkKey link;
  Mpls::SegmentRouting::SegmentIdentifier sid;
  Kroma::SegmentRouting::AdjacencySegmentKey key;
  Cspf::Lfa::PqIdx pqIdx;
  Collection collection = Collection::prefix;
  std::string expected;
  std::string text;  // the statement as written, for reports
};

// A link-state export, applied as the differences from the one imported
// before it (docs/ted-import.md); `file` is resolved against the scenario's
// folder. Run by runScenario (ImportRun.h); World::apply ignores it.
struct Import {
  std::string file;
  TedOptions options;
};

using Action = std::variant<Step, PrefixSet, PrefixDel, AdjSet, AdjDel, MapperSwitch, Pq, PRouter,
                            Corrupt, Expect, Import, Trace>;

struct Command {
  std::size_t line = 0;
  Action action;
};

struct Scenario {
  std::string fileName;  // as messages show it (Vek::QuotedText, its end kept)
  std::vector<Command> commands;
};

// Parses a whole scenario text (a leading UTF-8 byte-order mark is skipped);
// `fileName` names it in errors.
Scenario parseScenario(std::string_view text, std::string_view fileName);

}  // namespace Srmap
