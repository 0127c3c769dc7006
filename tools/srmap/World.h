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
// then the mappers (each empties its map), then the maps and the table.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Scenario.h"
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

  Pavo::Ptr<Kroma::SegmentRouting::Status> table_;
  Family ipv4_;
  Family ipv6_;
  Pavo::Ptr<SegmentRouting::Mappers::PqIdxToPathKeyMap> pq_;
  Pavo::Ptr<SegmentRouting::Mappers::PRouterToPqIdxMap> prouter_;
  bool pqUsed_ = false;
  bool prouterUsed_ = false;
  ChangeLog log_;
};

}  // namespace Srmap
