// Srmap::World: what a scenario runs against. One status table; per address
// family a node-segment map and a connector map, each with the mapper that
// fills it while the scenario has it started; the two PQ-index maps; and the
// change log that follows every output map from the start.
//
//   World world([&](Change const& c) { ... });
//   world.apply(action);                  // library exceptions pass out
//   std::string actual = world.answer(expect);
//
// Destruction: the change log goes first (teardown publishes to nobody),
// then the mappers (each empties its map), then the maps and the table. A
// `trace` command switches the process's trace levels of the mappers'
// facility; destruction switches them off and puts the trace sink back.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Scenario.h"
#include "Vek/Trace.h"
#include "oracles/ChangeLog.h"

namespace Srmap {

class World {
 public:
  // The output maps of one address family, and their mappers while started.
  struct Family {
    Pavo::Ptr<SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo> nodeMap;
    Pavo::Ptr<SegmentRouting::Mappers::AdjSegmentConnectorMapV2> adjMap;
    Pavo::Ptr<SegmentRouting::Mappers::NodeSegmentReverseMapper> nodeMapper;
    Pavo::Ptr<SegmentRouting::Mappers::AdjacencySegmentMapperV2> adjMapper;
    // Whether the scenario ever started the mapper (its map is then shown).
    bool nodeUsed = false;
    bool adjUsed = false;
  };
  // An output map the scenario used, under its name ("node-ipv4", "adj-ipv6",
  // "pq", "prouter"); `family` (with `af`) is set for the first four.
  struct Root {
    std::string name;
    Pavo::Node* node;
    MapperKind kind;
    Family const* family;
    Vantre::AddressFamily af;
  };

  explicit World(ChangeLog::Sink sink);
  World(World const&) = delete;
  World& operator=(World const&) = delete;
  ~World();

  // Applies every action but Step, Expect and Import (which do nothing here).
  void apply(Action const& action);
  // The oldest trace line written since a `trace` command and not yet taken,
  // as "LEVEL TEXT" without trailing blanks; "none" when there is none.
  std::string traceLineTake();
  // Of the ring's records since this world was made, the last `trace`
  // command or the last record found here, the first that reads `text`
  // (trailing blanks aside), which is then found with those before it.
  // Without one, the first record's text ("none" when there is none), and
  // nothing is taken. A block timer's end (it holds a time) is never found.
  std::string ringRecordFind(std::string const& text);
  // The answer to the question of `expect`, to compare with expect.expected.
  std::string answer(Expect const& expect) const;

  Pavo::Ptr<Kroma::SegmentRouting::Status> const& table() const { return table_; }
  Family const& family(Vantre::AddressFamily af) const {
    return af == Vantre::AddressFamily::ipv4 ? ipv4_ : ipv6_;
  }
  SegmentRouting::Mappers::PqIdxToPathKeyMap const& pq() const { return *pq_; }
  SegmentRouting::Mappers::PRouterToPqIdxMap const& prouter() const { return *prouter_; }
  // The maps the scenario used (`usedOnly`), or all of them.
  std::vector<Root> roots(bool usedOnly = true) const;
  // The table's collection `c` (fault switches and corruption reports).
  Kroma::KromaMapBase& collection(Collection c) const;

 private:
  Family& family(Vantre::AddressFamily af) {
    return af == Vantre::AddressFamily::ipv4 ? ipv4_ : ipv6_;
  }
  void applyCorrupt(Corrupt const& c);
  void applyMapper(MapperSwitch const& m);
  void applyPq(Pq const& p);
  void applyPRouter(PRouter const& p);
  void applyTrace(Trace const& t);
  void ringSkip();  // the records the ring holds now are taken

  Pavo::Ptr<Kroma::SegmentRouting::Status> table_;
  Family ipv4_;
  Family ipv6_;
  Pavo::Ptr<SegmentRouting::Mappers::PqIdxToPathKeyMap> pq_;
  Pavo::Ptr<SegmentRouting::Mappers::PRouterToPqIdxMap> prouter_;
  bool pqUsed_ = false;
  bool prouterUsed_ = false;
  // Once a `trace` command ran: the sink it replaced (lines go on to it), and
  // the mappers' lines not yet taken.
  std::optional<Vek::TraceSink> traceSinkBefore_;
  std::deque<std::string> traced_;
  std::uint64_t ringTaken_ = 0;  // sequence number of the last ring record taken
  ChangeLog log_;
};

}  // namespace Srmap
