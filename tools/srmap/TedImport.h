// Srmap::readTed: a link-state (TED) JSON export, as a widely used open
// routing suite prints its traffic-engineering database, turned into the
// status-table entries it stands for; and the differences between two such
// snapshots as table writes. How each entry field is derived, and what an
// export cannot say: docs/ted-import.md.
//
//   TedSnapshot s = readTed(text, "r1.json", options);  // throws ImportError
//   TableChanges c = tableChanges(previous, s);         // writes, in order
//   for (Action const& a : c.actions) world.apply(a);
//
// Reading is pure: it builds values and touches no table, so a snapshot that
// fails to read changes nothing. An ImportError is one line naming the file
// and the JSON path of the offending element:
//   "r1.json: edges[3].segment-routing[0].flags: not a hex number"
// Unknown fields are ignored; optional ones may be missing or null.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Scenario.h"
#include "TedOptions.h"

namespace Srmap {

// "FILE: PATH: what" (no path for the document as a whole) in what().
class ImportError : public std::runtime_error {
 public:
  ImportError(std::string_view file, std::string const& path, std::string const& what);
};

// One export as table entries.
struct TedSnapshot {
  std::string protocol;  // "IS-IS" or "OSPF"
  // Prefix segments, sorted by key: the plain collection (no `algo`,
  // algorithm 0) first, then by algorithm, then by prefix; one per key.
  std::vector<PrefixSet> prefixes;
  // Adjacency segments, sorted by address family, then key; one per key,
  // each with at most 512 records.
  std::vector<AdjSet> adjacencies;
  std::size_t routers = 0;
  // Prefix SIDs left out because another router advertises the same
  // prefix in the same algorithm (the table holds one entry per key).
  std::size_t shadowed = 0;
};

// The export's entries. Read in one pass over the text, without a document
// tree; a syntax error names its line and column.
TedSnapshot readTed(std::string_view text, std::string_view fileName, TedOptions const& options);

// The writes that turn a table holding `from` into one holding `to`:
// PrefixDel / PrefixSet, then AdjDel / AdjSet, each collection in key order.
// Entries equal in both are left alone.
struct TableChanges {
  std::vector<Action> actions;
  std::size_t added = 0;
  std::size_t changed = 0;
  std::size_t removed = 0;
};
TableChanges tableChanges(TedSnapshot const& from, TedSnapshot const& to);

// Writes every entry of `snapshot` into `table` as it stands (an empty
// table's fill, without computing differences).
void fillTable(Kroma::SegmentRouting::Status& table, TedSnapshot const& snapshot);

}  // namespace Srmap
