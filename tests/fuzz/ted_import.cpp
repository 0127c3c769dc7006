// Fuzz target: the import of a link-state (TED) export. Any text is read or
// refused with one short printable line that starts with the file's name. An export that
// reads holds each key once, in key order, each adjacency segment with 1 to
// 512 records. The writes from a sample network to it, made with the four
// mappers running, leave the table a direct fill gives, and maps equal to
// their rebuilds with the mappers' invariants whole (Srmap::check). Every
// tracker is back at the end. The input's size picks the options: the local
// router and the OSPF node-SID rule.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

#include "Check.h"
#include "FuzzSupport.h"
#include "ImportRun.h"
#include "TedImport.h"
#include "World.h"
#include "support/Readable.h"

namespace {

namespace Sr = Kroma::SegmentRouting;

Srmap::TedSnapshot const& base() {
  static Srmap::TedSnapshot const s = [] {
    std::string text;
    FUZZ_CHECK(Srmap::readText(PATHKIT_TED_BASE, text), PATHKIT_TED_BASE);
    return Srmap::readTed(text, PATHKIT_TED_BASE, {"r1", Srmap::OspfNodeSids::host});
  }();
  return s;
}

auto prefixOrder(Srmap::PrefixSet const& p) {
  return std::make_tuple(p.algo.has_value(), p.algo.value_or(0), p.prefix);
}
auto adjOrder(Srmap::AdjSet const& a) {
  return std::make_tuple(a.af.value(), a.key);
}

// Every entry of `b` is in `a`, equal, and both hold as many.
template <class Map>
bool sameEntries(Map const& a, Map const& b) {
  Kroma::IterHint hint;
  typename Map::Key k;
  for (bool more = b.firstKey(hint, k); more; more = b.nextKey(hint, k, k)) {
    if (!(a.lookup(k) == b.lookup(k)))
      return false;
  }
  return a.size() == b.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string_view const text(reinterpret_cast<char const*>(data), size);
  Srmap::TedOptions const options{size % 2 == 0 ? "" : "r1",
                                  static_cast<Srmap::OspfNodeSids>(size / 2 % 3)};
  Srmap::TedSnapshot s;
  try {
    s = Srmap::readTed(text, "fuzz.json", options);
  } catch (Srmap::ImportError const& e) {
    std::string_view const what = e.what();
    FUZZ_CHECK(what.rfind("fuzz.json: ", 0) == 0, what);
    FUZZ_CHECK(TestSupport::readableProblem(what).empty(), what);
    return 0;
  }
  FUZZ_CHECK(std::adjacent_find(s.prefixes.begin(), s.prefixes.end(),
                                [](auto const& a, auto const& b) {
                                  return !(prefixOrder(a) < prefixOrder(b));
                                }) == s.prefixes.end(),
             "prefix segments out of order or twice");
  FUZZ_CHECK(std::adjacent_find(s.adjacencies.begin(), s.adjacencies.end(),
                                [](auto const& a, auto const& b) {
                                  return !(adjOrder(a) < adjOrder(b));
                                }) == s.adjacencies.end(),
             "adjacency segments out of order or twice");
  for (Srmap::AdjSet const& a : s.adjacencies)
    FUZZ_CHECK(!a.neighbors.empty() && a.neighbors.size() <= Sr::AdjacencySegment::kMaxNeighbors,
               a.key.toString());

  Vek::AllocTrackSnapshot const before;
  {
    Srmap::World world([](Srmap::Change const&) {});
    Srmap::fillTable(*world.table(), base());
    for (Srmap::MapperKind kind : {Srmap::MapperKind::node, Srmap::MapperKind::adj}) {
      for (Vantre::AddressFamily af : {Vantre::AddressFamily::ipv4, Vantre::AddressFamily::ipv6})
        world.apply(Srmap::MapperSwitch{kind, af, true});
    }
    for (Srmap::Action const& a : Srmap::tableChanges(base(), s).actions)
      world.apply(a);
    auto const fresh = Sr::Status::StatusIs();
    Srmap::fillTable(*fresh, s);
    Sr::Status const& t = *world.table();
    FUZZ_CHECK(sameEntries(t.prefixSegment(), fresh->prefixSegment()) &&
                   sameEntries(t.prefixSegmentWithAlgo(), fresh->prefixSegmentWithAlgo()) &&
                   sameEntries(t.ipv4AdjacencySegment(), fresh->ipv4AdjacencySegment()) &&
                   sameEntries(t.ipv6AdjacencySegment(), fresh->ipv6AdjacencySegment()),
               "the writes left another table than a fill");
    Srmap::CheckResult const checked = Srmap::check(world);
    std::string findings;
    for (std::string const& line : Srmap::checkLines(checked))
      findings += line + "\n";
    FUZZ_CHECK(checked.differences.empty() && checked.invariants.empty(), findings);
  }
  FuzzSupport::checkTrackersBack(before);
  return 0;
}
