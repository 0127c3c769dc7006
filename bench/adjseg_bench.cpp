// End to end, adjacency segments: the status table, its notification, the
// adjacency segment mapper filling a connector map and a subscriber on every
// entity of it, against the same job written by hand
// (bench/support/PlainAdjMapper.h) over a hash-map table publishing through
// std::function observers, once with std containers and once with Abseil's
// (when the build found it). Every side gets the same generated workload:
// adjacencies of 1 to 4 parallel links to one neighbour, each with two keys:
// one SID shared by all its parallel links and one for its first link alone,
// so most links carry two entries; a third of the routers advertise under an
// IS-IS system id, and their keys are filed under protocol instances 1 and 2
// (their parallel links alternate between the two). Then a stream of
// metric-only changes, neighbour-only changes (every record; or one, which
// leaves the key with mixed neighbours and so filed nowhere), identical
// re-announcements (which the tables drop), a parallel link added or
// dropped, a move to another neighbour, removals and re-adds.
//
//   startup/<side>/<n>  building the connector map over a table just filled
//                       with n keys (events: the n keys walked)
//   change/<side>/<n>   the change stream, table write to the last
//                       subscriber (events: table writes, no-ops included)
// Each repetition is cold: a new table filled, a new connector map, a new
// mapper (started untimed for a change run); only the build or the stream is
// timed. Both sides' link lists and per-key links must be equal at the end,
// or the program stops. Then the program prints min / median / max per side,
// the ratios pathkit / each plain side and the bytes per filed entry (a
// (link, entry) member of a list; the mapper's cache and the connector map).
//
//   build/release/bench/adjseg_bench [--no-shared-entries]
//       [--benchmark_filter=change/pathkit/10000]
// A tenth of the key pairs file equal entries (same SID, flag and metric,
// another router) on one link, which both sides keep while a key still files
// them; --no-shared-entries leaves them out.
// Five repetitions unless --benchmark_repetitions says otherwise.
// Bytes: pathkit's are its slab slots (16-byte classes) and bucket arrays;
// the plain sides' are malloc chunks as the C library sizes them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "support/Containers.h"
#include "support/Measure.h"
#include "support/PlainAdjMapper.h"
#include "support/RatioReporter.h"

namespace {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using SegmentRouting::Mappers::AdjacencySegmentMapperV2;
using SegmentRouting::Mappers::AdjSegmentConnectorMapV2;
using SegmentRouting::Mappers::AdjSegmentList;
using SegmentRouting::Mappers::AdjSegmentListPerProtoId;
using SegmentRouting::Mappers::NeighborSet;
using SegmentRouting::Mappers::NeighborSetPerProtoId;
using SegmentRouting::Mappers::Subscription;
using Vantre::AddressFamily;

using Records = std::vector<AdjacencySegmentNeighbor, Bench::Counting<AdjacencySegmentNeighbor>>;

bool sharedEntries = true;

// --- the workload ----------------------------------------------------------------

Routing::Isis::SystemId systemId(std::uint32_t i) {
  return Routing::Isis::SystemId({0x49, 0, static_cast<std::uint8_t>(i >> 24),
                                  static_cast<std::uint8_t>(i >> 16),
                                  static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
}

// One table write: the key's records, none to remove it.
struct Op {
  AdjacencySegmentKey key;
  Records records;
};

struct Workload {
  std::vector<Op> initial;  // every key present
  std::vector<Op> changes;
};

// Adjacency a (keys 2a and 2a + 1) of router a / 2: its neighbour, parallel
// links and their metrics.
struct Adjacency {
  std::uint32_t neighbor = 0;
  unsigned links = 1;
  std::uint32_t metric[4] = {};
};

class Generator {
 public:
  explicit Generator(std::size_t n) : n_(n), rng_(static_cast<unsigned>(n)), adj_((n + 1) / 2) {
    for (std::size_t a = 0; a < adj_.size(); ++a)
      renew(a);
  }

  AdjacencySegmentKey keyOf(std::size_t i) const {
    std::size_t const a = i / 2;
    auto const r = static_cast<std::uint32_t>(a / 2);
    // With shared entries on, the second key of every tenth pair copies the
    // first's SID under another router id.
    bool const twin = sharedEntries && i % 2 == 1 && a % 10 == 7;
    std::uint32_t const owner = twin ? r + 0x800000 : r;
    RouterId const router =
        isis(a) ? RouterId::isis(systemId(owner)) : RouterId::ipv4(0x0A000000u + owner);
    std::size_t const sidOf = twin ? i - 1 : i;
    return AdjacencySegmentKey({static_cast<std::uint32_t>(100000 + sidOf),
                                static_cast<std::uint8_t>(sidOf % 2 == 1 ? 0x20 : 0)},
                               router);
  }
  // The records key i announces for its adjacency as it stands.
  Records recordsOf(std::size_t i) const {
    std::size_t const a = i / 2;
    Adjacency const& adj = adj_[a];
    Records records;
    for (unsigned j = 0; j < (i % 2 == 0 ? adj.links : 1); ++j)
      records.push_back(record(a, adj.neighbor, j, adj.metric[j]));
    return records;
  }
  AdjacencySegmentNeighbor record(std::size_t a, std::uint32_t neighbor, unsigned j,
                                  std::uint32_t metric) const {
    AdjacencySegmentNeighbor rec;
    rec.link.firstVertex = Cspf::VertexIdentifierBase(systemId(static_cast<std::uint32_t>(a / 2)));
    rec.link.secondVertex = Cspf::VertexIdentifierBase(systemId(neighbor));
    rec.link.vertexKind = a % 5 == 4 ? 1 : Cspf::LinkDescription::kKindRemoteBySystemId;
    rec.link.linkId = static_cast<std::uint32_t>(a * 4 + j);
    rec.neighbor = RouterId::isis(systemId(neighbor));
    rec.metric = metric;
    rec.protoInstance = static_cast<std::uint8_t>(isis(a) ? 1 + (a + j) % 2 : 0);
    return rec;
  }
  void renew(std::size_t a) {
    Adjacency& adj = adj_[a];
    adj.neighbor = newNeighbor();
    adj.links = 1 + static_cast<unsigned>(rng_() % 4);
    for (std::uint32_t& m : adj.metric)
      m = newMetric();
  }
  std::uint32_t newNeighbor() { return 0x100000 + static_cast<std::uint32_t>(rng_() % n_); }
  std::uint32_t newMetric() { return 10 * (1 + static_cast<std::uint32_t>(rng_() % 3)); }
  std::uint64_t pick(std::uint64_t below) { return rng_() % below; }

 private:
  static bool isis(std::size_t a) { return a / 2 % 3 == 0; }

  std::size_t n_;
  std::mt19937 rng_;
  std::vector<Adjacency> adj_;
};

Workload workloadOf(std::size_t n, std::size_t changes) {
  Generator g(n);
  Workload w;
  std::vector<Records> now;
  for (std::size_t i = 0; i < n; ++i) {
    now.push_back(g.recordsOf(i));
    w.initial.push_back({g.keyOf(i), now.back()});
  }
  while (w.changes.size() < changes) {
    std::size_t const i = g.pick(n);
    Records& r = now[i];
    unsigned const kind = static_cast<unsigned>(g.pick(20));
    if (r.empty()) {  // re-add
      r = g.recordsOf(i);
    } else if (kind < 4) {  // metric-only
      r[g.pick(r.size())].metric = g.newMetric();
    } else if (kind < 7) {  // neighbour-only: every record, or one
      RouterId const neighbor = RouterId::isis(systemId(g.newNeighbor()));
      if (kind == 6 && r.size() > 1) {
        r[g.pick(r.size())].neighbor = neighbor;
      } else {
        for (AdjacencySegmentNeighbor& rec : r)
          rec.neighbor = neighbor;
      }
    } else if (kind < 11) {  // identical re-announcement
    } else if (kind < 14) {  // a parallel link added or dropped
      if (r.size() < 4 && (r.size() == 1 || g.pick(2) == 0)) {
        AdjacencySegmentNeighbor rec = r.front();
        rec.link.linkId = rec.link.linkId / 4 * 4 + static_cast<std::uint32_t>(r.size());
        rec.metric = g.newMetric();
        r.push_back(rec);
      } else {
        r.pop_back();
      }
    } else if (kind < 17) {  // the adjacency moves to another neighbour
      g.renew(i / 2);
      r = g.recordsOf(i);
    } else {  // removal
      r.clear();
    }
    w.changes.push_back({g.keyOf(i), r});
  }
  return w;
}

std::size_t const kChanges = 200000;

Workload const& workload(std::size_t n) {
  static std::map<std::pair<std::size_t, bool>, Workload> made;
  auto it = made.find({n, sharedEntries});
  if (it == made.end())
    it = made.emplace(std::pair(n, sharedEntries), workloadOf(n, kChanges)).first;
  return it->second;
}

// Both outputs in one comparable form: (protoId, link, entry) members of the
// link lists and (protoId, key, link) members of the per-key links.
struct Canon {
  std::vector<std::tuple<unsigned short, Cspf::LinkKey, Bench::PlainAdjEntry>> lists;
  std::vector<std::tuple<unsigned short, AdjacencySegmentKey, Cspf::LinkKey>> links;
  bool operator==(Canon const&) const = default;
  std::size_t size() const { return lists.size(); }  // the filed entries
  void sort() {
    std::sort(lists.begin(), lists.end());
    std::sort(links.begin(), links.end());
  }
};

// Bytes per filed entry, per "<size> <side>".
std::map<std::string, double> bytesPerEntry;

// --- pathkit ------------------------------------------------------------------------

struct LibraryWorld {
  template <class Table>
  using TablesWatch = Subscription<AdjSegmentConnectorMapV2, unsigned short, Pavo::Ptr<Table>>;
  using ListWatch = Subscription<AdjSegmentListPerProtoId, Cspf::LinkKey, AdjSegmentList>;
  using LinkWatch = Subscription<NeighborSetPerProtoId, AdjacencySegmentKey, NeighborSet>;

  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<AdjSegmentConnectorMapV2> out =
      SegmentRouting::Mappers::adjSegmentConnectorMapV2Factory();
  Bench::Sink sink;
  // A subscriber on every per-protoId table while it is in the connector map.
  std::unordered_map<Pavo::Node const*, std::unique_ptr<ListWatch>> listWatches;
  std::unordered_map<Pavo::Node const*, std::unique_ptr<LinkWatch>> linkWatches;
  TablesWatch<AdjSegmentListPerProtoId> mapWatch{
      out, AdjSegmentConnectorMapV2::kMapField,
      [this](unsigned short p, Pavo::Ptr<AdjSegmentListPerProtoId> const* prior) {
        sink.note(prior);
        if (prior != nullptr)
          listWatches.erase(prior->get());
        if (Pavo::Ptr<AdjSegmentListPerProtoId> const now = out->map(p))
          listWatches[now.get()] = std::make_unique<ListWatch>(
              now, AdjSegmentListPerProtoId::kTableField,
              [this](Cspf::LinkKey const&, AdjSegmentList const* was) { sink.note(was); });
      }};
  TablesWatch<NeighborSetPerProtoId> cacheWatch{
      out, AdjSegmentConnectorMapV2::kCacheField,
      [this](unsigned short p, Pavo::Ptr<NeighborSetPerProtoId> const* prior) {
        sink.note(prior);
        if (prior != nullptr)
          linkWatches.erase(prior->get());
        if (Pavo::Ptr<NeighborSetPerProtoId> const now = out->cache(p))
          linkWatches[now.get()] = std::make_unique<LinkWatch>(
              now, NeighborSetPerProtoId::kTableField,
              [this](AdjacencySegmentKey const&, NeighborSet const* was) { sink.note(was); });
      }};
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper;

  void apply(Op const& op) {
    if (op.records.empty()) {
      status->ipv4AdjacencySegmentDel(op.key);
      return;
    }
    status->ipv4AdjacencySegmentIs(AdjacencySegment(op.key, AdjacencySegment::Head(),
                                                    op.records.data(),
                                                    static_cast<std::uint32_t>(op.records.size())));
  }
  void start() {
    mapper =
        SegmentRouting::Mappers::adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, out);
  }

  Canon canon() const {
    Canon c;
    for (unsigned short p = 0; p < 3; ++p) {
      if (auto const lists = out->map(p)) {
        auto const& coll = lists->adjSegmentListCollection();
        for (auto l = coll.begin(); !l.atEnd(); ++l) {
          auto const& entries = l->value().adjSegmentEntryCollection();
          for (auto e = entries.begin(); !e.atEnd(); ++e)
            c.lists.emplace_back(
                p, l->key(),
                Bench::PlainAdjEntry{e->key().isLocal(), e->key().metric(), e->key().sid()});
        }
      }
      if (auto const cache = out->cache(p)) {
        auto const& coll = cache->neighborSetCollection();
        for (auto k = coll.begin(); !k.atEnd(); ++k) {
          auto const& links = k->value().linkCollection();
          for (auto l = links.begin(); !l.atEnd(); ++l)
            c.links.emplace_back(p, k->key(), l->key());
        }
      }
    }
    c.sort();
    return c;
  }
  // The mapper's entities, members and bucket arrays (the connector map's too).
  std::size_t bytes() const {
    std::size_t b = Bench::trackedBytes("SegmentRouting::Mappers::") +
                    Bench::bucketBytes(out->mapCollection().bucketCount()) +
                    Bench::bucketBytes(out->cacheCollection().bucketCount()) +
                    Bench::bucketBytes(mapper->adjSegmentEntryCacheCollection().bucketCount());
    for (unsigned short p = 0; p < 3; ++p) {
      if (auto const lists = out->map(p))
        b += Bench::bucketBytes(lists->adjSegmentListCollection().bucketCount());
      if (auto const cache = out->cache(p)) {
        auto const& coll = cache->neighborSetCollection();
        b += Bench::bucketBytes(coll.bucketCount());
        for (auto k = coll.begin(); !k.atEnd(); ++k)
          b += Bench::bucketBytes(k->value().linkCollection().bucketCount());
      }
      if (auto const entries = mapper->adjSegmentEntryCache(p)) {
        auto const& coll = entries->adjSegmentSetCollection();
        b += Bench::bucketBytes(coll.bucketCount());
        for (auto k = coll.begin(); !k.atEnd(); ++k)
          b += Bench::bucketBytes(k->value().adjSegmentEntryCollection().bucketCount());
      }
    }
    return b;
  }
};

// --- the plain sides -----------------------------------------------------------------

template <class C>
struct PlainWorld {
  using Mapper = Bench::PlainAdjMapper<C>;

  typename Mapper::Table table;
  Bench::Sink sink;
  std::unique_ptr<Mapper> mapper;

  void apply(Op const& op) {
    if (op.records.empty())
      table.erase(op.key);
    else
      table.set(op.key, op.records);
  }
  void start() {
    mapper = std::make_unique<Mapper>(
        table, typename Mapper::Observers{
                   [this](unsigned short, Cspf::LinkKey const&,
                          typename Mapper::List const* prior) { sink.note(prior); },
                   [this](unsigned short, AdjacencySegmentKey const&,
                          typename Mapper::Links const* prior) { sink.note(prior); }});
  }

  Canon canon() const {
    Canon c;
    for (unsigned short p = 0; p < Mapper::kProtos; ++p) {
      for (auto const& [link, list] : mapper->proto(p).lists) {
        for (auto const& [entry, keys] : list)
          c.lists.emplace_back(p, link, entry);
      }
      for (auto const& [key, filed] : mapper->proto(p).keys) {
        for (Cspf::LinkKey const& link : filed.links)
          c.links.emplace_back(p, key, link);
      }
    }
    c.sort();
    return c;
  }
};

// --- the runs -------------------------------------------------------------------------

// Bytes per filed entry, after a start-up.
template <class World>
void measureBytes(World& w, std::size_t n, std::size_t members, std::string const& side) {
  double bytes = 0;
  if constexpr (std::is_same_v<World, LibraryWorld>) {
    bytes = static_cast<double>(w.bytes());
  } else {
    // The plain mapper owns every counted byte allocated since the fill.
    std::size_t const held = Bench::plainBytes;
    w.mapper.reset();
    bytes = static_cast<double>(held - Bench::plainBytes);
  }
  bytesPerEntry[std::to_string(n) + " " + side] = bytes / static_cast<double>(members);
}

void registerSize(std::size_t n) {
  Bench::registerSides<LibraryWorld, PlainWorld>(
      n, &workload, [](auto& w, std::size_t size, std::size_t members, std::string const& side) {
        measureBytes(w, size, members, side);
      });
}

}  // namespace

int main(int argc, char** argv) {
  sharedEntries = !Bench::takeFlag(argc, argv, "--no-shared-entries");
  registerSize(10000);
  registerSize(100000);
  std::printf("shared entries: %s\n",
              sharedEntries ? "on (a tenth of the key pairs file one equal entry)" : "off");
  if (int const status = Bench::runBenchmarks(argc, argv); status != 0)
    return status;
  if (!bytesPerEntry.empty())
    std::printf("\nBytes per filed entry (a link list member; the mapper's cache included):\n");
  for (auto const& [what, b] : bytesPerEntry)
    std::printf("  %-34s %7.1f\n", what.c_str(), b);
  return 0;
}
