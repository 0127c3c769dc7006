#include "Check.h"

#include <algorithm>

#include "oracles/GenericText.h"
#include "oracles/Invariants.h"

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;

// Adds one difference per path whose value is not the same in both lists
// (each sorted by path).
void compare(std::string const& map, std::vector<Leaf> const& live,
             std::vector<Leaf> const& rebuilt, std::vector<CheckResult::Difference>& out) {
  auto l = live.begin();
  auto r = rebuilt.begin();
  while (l != live.end() || r != rebuilt.end()) {
    if (r == rebuilt.end() || (l != live.end() && l->path < r->path)) {
      out.push_back({map, l->path, l->value, "absent"});
      ++l;
    } else if (l == live.end() || r->path < l->path) {
      out.push_back({map, r->path, "absent", r->value});
      ++r;
    } else {
      if (l->value != r->value)
        out.push_back({map, l->path, l->value, r->value});
      ++l;
      ++r;
    }
  }
}

void sharedSids(std::string const& map, M::AdjSegmentConnectorMapV2 const& connector,
                std::vector<CheckResult::SharedSid>& out) {
  for (auto c = connector.cacheCollection().begin(); !c.atEnd(); ++c) {
    M::NeighborSetPerProtoId const& table = *c->value();
    for (auto k = table.neighborSetCollection().begin(); !k.atEnd(); ++k) {
      M::NeighborSet const& links = k->value();
      if (links.linkCount() < 2)
        continue;
      CheckResult::SharedSid s{map, table.protoId(), k->key().toString(), {}};
      for (auto link = links.linkCollection().begin(); !link.atEnd(); ++link)
        s.links.push_back(link->key().toString());
      std::sort(s.links.begin(), s.links.end());
      out.push_back(std::move(s));
    }
  }
}

// The invariants a running mapper breaks; a stopped one's map must be empty.
template <class Mapper, class Map>
void invariants(std::string const& map, Mapper const* mapper, Map const& live,
                std::vector<CheckResult::Invariant>& out) {
  for (std::string const& v : mapper ? invariantViolations(mapper, live) : emptiedViolations(live))
    out.push_back({map, v});
}

}  // namespace

CheckResult check(World& world) {
  for (Collection c :
       {Collection::prefix, Collection::prefixAlgo, Collection::adjIpv4, Collection::adjIpv6})
    world.collection(c).faultClear();
  Pavo::Ptr<Kroma::SegmentRouting::Status const> const table(world.table());
  CheckResult result;
  for (World::Root const& root : world.roots()) {
    if (root.family == nullptr)
      continue;
    World::Family const& f = *root.family;
    Vantre::AddressFamily const af = root.af;
    if (root.kind == MapperKind::node) {
      invariants(root.name, f.nodeMapper.get(), *f.nodeMap, result.invariants);
      if (f.nodeMapper) {
        auto fresh = M::routerToNodeSegmentMapPerAlgoFactory();
        auto mapper = M::nodeSegmentReverseMapperFactory(af, table, fresh);
        compare(root.name, flatten(*f.nodeMap), flatten(*fresh), result.differences);
      }
    } else if (root.kind == MapperKind::adj) {
      invariants(root.name, f.adjMapper.get(), *f.adjMap, result.invariants);
      if (f.adjMapper) {
        auto fresh = M::adjSegmentConnectorMapV2Factory();
        auto mapper = M::adjacencySegmentMapperV2Factory(af, table, fresh);
        compare(root.name, flatten(*f.adjMap), flatten(*fresh), result.differences);
        sharedSids(root.name, *f.adjMap, result.sharedSids);
      }
    }
  }
  std::sort(result.sharedSids.begin(), result.sharedSids.end(),
            [](CheckResult::SharedSid const& a, CheckResult::SharedSid const& b) {
              return std::tie(a.map, a.proto, a.key) < std::tie(b.map, b.proto, b.key);
            });
  return result;
}

std::vector<std::string> checkLines(CheckResult const& result) {
  std::vector<std::string> lines;
  for (auto const& d : result.differences)
    lines.push_back("difference " + d.map + " " + pathText(d.path) + ": live " + d.live +
                    ", rebuilt " + d.rebuilt);
  for (auto const& i : result.invariants)
    lines.push_back("invariant " + i.map + ": " + i.violation);
  for (auto const& s : result.sharedSids) {
    std::string line = "shared-sid " + s.map + " proto " + std::to_string(s.proto) + " " + s.key +
                       ": " + std::to_string(s.links.size()) + " links: ";
    for (std::size_t i = 0; i < s.links.size(); ++i)
      line += (i == 0 ? "" : "; ") + s.links[i];
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace Srmap
