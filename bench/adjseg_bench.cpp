// End to end for the adjacency side: the status table, its notification and
// the adjacency segment mapper filling a connector map, against a plain
// standard-library implementation written the way a user would write it (its
// own std::map table publishing through std::function observers, and per
// protocol instance the same link/key bookkeeping in std::unordered_map of
// std::set, updated in place). Both sides get the same generated workload:
// adjacency segments of 1 to 4 neighbour records on links shared by several
// keys, a tenth of the keys on two protocol instances, then a stream of
// replacements (a new link set) and removals with re-adds.
//
//   startup  building the connector map from a filled table (keys/s)
//   churn    one table change end to end: table write, notification, mapper
//            (ns per change, batches of kBatch)
// After the runs the program prints the ratios pathkit / plain of those times
// and of the bytes per filed entry (connector map and cache), and checks
// once per size that both sides ended with equal link lists.
//
//   build/release/bench/adjseg_bench [--benchmark_filter=...]
// Bytes: pathkit's are its slab slots (16-byte classes) and bucket arrays;
// the plain side's are malloc chunks as the C library sizes them.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "support/CountingAllocator.h"
#include "support/PlainTable.h"
#include "support/RatioReporter.h"

namespace {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::Status;
using SegmentRouting::Mappers::AdjacencySegmentMapperV2;
using SegmentRouting::Mappers::AdjSegmentConnectorMapV2;
using SegmentRouting::Mappers::AdjSegmentEntry;
using SegmentRouting::Mappers::linkKeyOf;
using Vantre::AddressFamily;

constexpr unsigned kBatch = 1000;

// --- the workload ----------------------------------------------------------------

Routing::Isis::SystemId systemId(std::uint32_t i) {
  return Routing::Isis::SystemId({0x49, 0, static_cast<std::uint8_t>(i >> 24),
                                  static_cast<std::uint8_t>(i >> 16),
                                  static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
}

// Key i: SID 100000 + i of router i / 4; every tenth key an IS-IS router id
// (protoIds 1 and 2). Its records go to links of a pool of n / 2, so that
// several keys share each link; all name one neighbour.
// An event: the key's records, none to remove the key. (A full entry value
// holds room for 512 records; the workload keeps only those in use.)
struct Segment {
  AdjacencySegmentKey key;
  std::vector<AdjacencySegmentNeighbor> records;
};
struct Workload {
  std::vector<Segment> initial;
  std::vector<Segment> changes;
};

Segment segmentOf(std::size_t i, std::size_t n, std::mt19937& rng) {
  auto const r = static_cast<std::uint32_t>(i / 4);
  Mpls::RouterId const router =
      i % 10 == 0 ? Mpls::RouterId::isis(systemId(r)) : Mpls::RouterId::ipv4(0x0A000000u + r);
  Segment s{AdjacencySegmentKey({static_cast<std::uint32_t>(100000 + i), 0}, router), {}};
  Mpls::RouterId const neighbor = Mpls::RouterId::isis(systemId(1000000 + rng() % 64));
  for (unsigned k = 1 + rng() % 4; k > 0; --k) {
    AdjacencySegmentNeighbor rec;
    auto const link = static_cast<std::uint32_t>(rng() % (n / 2));
    rec.link.firstVertex = Cspf::VertexIdentifierBase(systemId(link / 8));
    rec.link.secondVertex = Cspf::VertexIdentifierBase(systemId(link / 8 + 1));
    rec.link.vertexKind = link % 2 == 0 ? Cspf::LinkDescription::kKindRemoteBySystemId : 1;
    rec.link.linkId = link;
    rec.neighbor = neighbor;
    rec.metric = 10 * (1 + rng() % 3);
    rec.protoInstance = static_cast<std::uint8_t>(i % 10 == 0 ? 1 + rng() % 2 : 0);
    s.records.push_back(rec);
  }
  return s;
}

Workload workloadOf(std::size_t n, std::size_t changes) {
  std::mt19937 rng(static_cast<unsigned>(n));
  Workload w;
  for (std::size_t i = 0; i < n; ++i)
    w.initial.push_back(segmentOf(i, n, rng));
  for (std::size_t c = 0; c < changes; ++c) {
    std::size_t const i = rng() % n;
    w.changes.push_back(rng() % 5 == 0 ? Segment{w.initial[i].key, {}} : segmentOf(i, n, rng));
  }
  return w;
}

std::vector<unsigned> protoIdsOf(AdjacencySegmentKey const& k) {
  return k.routerId().af() == 3 ? std::vector<unsigned>{1, 2} : std::vector<unsigned>{0};
}

// --- pathkit ------------------------------------------------------------------------

struct PathkitSide {
  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<AdjSegmentConnectorMapV2> out =
      SegmentRouting::Mappers::adjSegmentConnectorMapV2Factory();
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper;

  // Out of line on both sides, so that a profile can find each side's event.
  [[gnu::noinline]] void apply(Segment const& s) {
    if (s.records.empty()) {
      status->ipv4AdjacencySegmentDel(s.key);
      return;
    }
    status->ipv4AdjacencySegmentIs(AdjacencySegment(s.key, AdjacencySegment::Head(),
                                                    s.records.data(),
                                                    static_cast<std::uint32_t>(s.records.size())));
  }
  void start() {
    mapper =
        SegmentRouting::Mappers::adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, out);
  }
};

std::size_t pathkitBytes(PathkitSide const& side) {
  std::size_t bytes = 0;
  Vek::AllocTrackTypeInfo::forEach([&bytes](Vek::AllocTrackTypeInfo const& t) {
    if (std::strncmp(t.typeName(), "SegmentRouting::Mappers::", 25) != 0 || t.liveObjects() == 0)
      return;
    bytes += (t.liveBytes() / t.liveObjects() + 15) / 16 * 16 * t.liveObjects();
  });
  for (unsigned short p = 0; p < 3; ++p) {
    if (auto m = side.out->map(p))
      bytes += m->adjSegmentListCollection().bucketCount() * sizeof(void*);
    if (auto c = side.out->cache(p))
      bytes += c->neighborSetCollection().bucketCount() * sizeof(void*);
    if (auto e = side.mapper->adjSegmentEntryCache(p))
      bytes += e->adjSegmentSetCollection().bucketCount() * sizeof(void*);
  }
  return bytes;
}

// --- the plain implementation ------------------------------------------------------------

using Bench::Counting;
using Bench::plainBytes;

using Records = std::vector<AdjacencySegmentNeighbor, Counting<AdjacencySegmentNeighbor>>;

using PlainTable = Bench::PlainTable<AdjacencySegmentKey, Records>;

struct Hash {
  std::size_t operator()(Cspf::LinkKey const& k) const noexcept { return k.hash(0x5bd1e995u); }
  std::size_t operator()(AdjacencySegmentKey const& k) const noexcept {
    return k.hash(0x5bd1e995u);
  }
};
template <class T>
using Set = std::set<T, std::less<T>, Counting<T>>;
template <class K, class V>
using Map = std::unordered_map<K, V, Hash, std::equal_to<K>, Counting<std::pair<K const, V>>>;

class PlainMapper {
 public:
  struct PerProto {
    Map<Cspf::LinkKey, Set<AdjSegmentEntry>> lists;
    Map<AdjacencySegmentKey, Set<Cspf::LinkKey>> links;
    Map<AdjacencySegmentKey, Set<AdjSegmentEntry>> entries;
  };

  explicit PlainMapper(PlainTable& table) {
    table.forEach([this](AdjacencySegmentKey const& k, Records const* r) { update(k, r); });
    table.observe([this](AdjacencySegmentKey const& k, Records const* r) { update(k, r); });
  }

  void update(AdjacencySegmentKey const& key, Records const* records) {
    for (unsigned p : protoIdsOf(key))
      file(protos_[p], p, key, records);
  }
  PerProto const& proto(unsigned p) const { return protos_[p]; }

 private:
  void file(PerProto& m, unsigned p, AdjacencySegmentKey const& key, Records const* records) {
    Set<Cspf::LinkKey> touched;
    if (auto l = m.links.find(key); l != m.links.end()) {
      auto e = m.entries.find(key);
      for (Cspf::LinkKey const& link : l->second) {
        auto& list = m.lists[link];
        for (AdjSegmentEntry const& entry : e->second)
          list.erase(entry);
        touched.insert(link);
      }
      m.links.erase(l);
      m.entries.erase(e);
    }
    bool same = true;
    for (std::size_t i = 1; records != nullptr && i < records->size(); ++i)
      same = same && (*records)[i].neighbor == (*records)[0].neighbor;
    for (std::size_t i = 0; records != nullptr && same && i < records->size(); ++i) {
      AdjacencySegmentNeighbor const& r = (*records)[i];
      if (r.protoInstance != p)
        continue;
      Cspf::LinkKey const link = linkKeyOf(r);
      AdjSegmentEntry const entry(key.sidFlag() != 0, r.metric, key.sid());
      m.lists[link].insert(entry);
      m.links[key].insert(link);
      m.entries[key].insert(entry);
      touched.erase(link);
    }
    for (Cspf::LinkKey const& link : touched) {
      if (auto it = m.lists.find(link); it != m.lists.end() && it->second.empty())
        m.lists.erase(it);
    }
  }

  PerProto protos_[3];
};

struct PlainSide {
  PlainTable table;
  std::unique_ptr<PlainMapper> mapper;
  Records scratch;  // the writer's records, reused as a user would

  [[gnu::noinline]] void apply(Segment const& s) {
    if (s.records.empty()) {
      table.erase(s.key);
      return;
    }
    scratch.assign(s.records.begin(), s.records.end());
    table.set(s.key, scratch);
  }
  void start() { mapper = std::make_unique<PlainMapper>(table); }
};

// --- the runs -------------------------------------------------------------------------

struct Run {
  std::size_t n = 0;
  Workload workload;
  std::unique_ptr<PathkitSide> pathkit;
  std::unique_ptr<PlainSide> plain;
  std::size_t changesDone[2] = {0, 0};
  double bytesPerEntry[2] = {0, 0};
};
std::map<std::size_t, Run> runs;

Run& runOf(std::size_t n) {
  Run& run = runs[n];
  if (run.n == n)
    return run;
  for (auto& [size, other] : runs) {  // one size in memory at a time
    other.pathkit.reset();
    other.plain.reset();
  }
  run.n = n;
  run.workload = workloadOf(n, 200000);
  run.pathkit = std::make_unique<PathkitSide>();
  run.plain = std::make_unique<PlainSide>();
  for (Segment const& s : run.workload.initial) {
    run.pathkit->apply(s);
    run.plain->apply(s);
  }
  return run;
}

// Entries filed, counted per key and protoId as both sides keep them.
std::size_t filedEntries(PlainMapper const& m) {
  std::size_t n = 0;
  for (unsigned p = 0; p < 3; ++p) {
    for (auto const& [key, entries] : m.proto(p).entries)
      n += entries.size();
  }
  return n;
}

void startupPathkit(benchmark::State& state, std::size_t n) {
  Run& run = runOf(n);
  PathkitSide& side = *run.pathkit;
  side.mapper.reset();
  for (auto _ : state) {
    side.start();
    state.PauseTiming();
    PlainSide& plain = *run.plain;
    if (!plain.mapper)
      plain.start();
    run.bytesPerEntry[0] =
        static_cast<double>(pathkitBytes(side)) / static_cast<double>(filedEntries(*plain.mapper));
    side.mapper.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void startupPlain(benchmark::State& state, std::size_t n) {
  Run& run = runOf(n);
  PlainSide& side = *run.plain;
  for (auto _ : state) {
    state.PauseTiming();
    side.mapper.reset();
    side.table = PlainTable();  // drop the observers with the mapper
    for (Segment const& s : run.workload.initial)
      side.apply(s);
    std::size_t const before = plainBytes;
    state.ResumeTiming();
    side.start();
    state.PauseTiming();
    run.bytesPerEntry[1] =
        static_cast<double>(plainBytes - before) / static_cast<double>(filedEntries(*side.mapper));
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

template <class Side>
void churn(benchmark::State& state, std::size_t n, int which, std::unique_ptr<Side> Run::*side) {
  Run& run = runOf(n);
  Side& s = *(run.*side);
  if (!s.mapper)
    s.start();
  auto const& changes = run.workload.changes;
  for (auto _ : state) {
    for (unsigned i = 0; i < kBatch && run.changesDone[which] < changes.size(); ++i)
      s.apply(changes[run.changesDone[which]++]);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// Once both sides applied the same changes: equal link lists per protoId.
void checkEqual(Run& run) {
  if (!run.pathkit->mapper || !run.plain->mapper || run.changesDone[0] != run.changesDone[1])
    return;
  for (unsigned short p = 0; p < 3; ++p) {
    auto const& want = run.plain->mapper->proto(p).lists;
    auto const lists = run.pathkit->out->map(p);
    bool same = (lists ? lists->adjSegmentListCount() : 0) == want.size();
    for (auto const& [link, entries] : want) {
      SegmentRouting::Mappers::AdjSegmentList const list =
          lists ? lists->adjSegmentList(link) : SegmentRouting::Mappers::AdjSegmentList();
      same = same && list.adjSegmentEntryCount() == entries.size();
      for (AdjSegmentEntry const& e : entries)
        same = same && list.adjSegmentEntryHas(e);
    }
    if (!same) {
      std::fprintf(stderr, "adjseg_bench: the two sides differ under protoId %u\n", p);
      std::exit(1);
    }
  }
}

void registerSize(std::size_t n) {
  // Appended, not prepended: "/" + temporary makes g++ 12 at -O3 report a
  // false -Wrestrict inside the string's insert.
  std::string const size = std::string("/").append(std::to_string(n));
  std::int64_t const batches = 200000 / kBatch;
  int const startups = 10;  // a start-up is short: several runs steady the ratio
  benchmark::RegisterBenchmark(("startup/pathkit" + size).c_str(),
                               [n](benchmark::State& s) { startupPathkit(s, n); })
      ->Iterations(startups)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("startup/baseline-plain" + size).c_str(),
                               [n](benchmark::State& s) { startupPlain(s, n); })
      ->Iterations(startups)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("churn/pathkit" + size).c_str(),
                               [n](benchmark::State& s) { churn(s, n, 0, &Run::pathkit); })
      ->Iterations(batches)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(("churn/baseline-plain" + size).c_str(),
                               [n](benchmark::State& s) {
                                 churn(s, n, 1, &Run::plain);
                                 checkEqual(runOf(n));
                               })
      ->Iterations(batches)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerSize(10000);
  registerSize(100000);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  Bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf(
      "\nMemory per filed entry (connector map and entry cache), pathkit / plain (bytes):\n");
  for (auto const& [n, run] : runs) {
    if (run.bytesPerEntry[0] > 0 && run.bytesPerEntry[1] > 0) {
      std::printf("  @ %-8zu %7.1f / %7.1f = %.2f\n", n, run.bytesPerEntry[0], run.bytesPerEntry[1],
                  run.bytesPerEntry[0] / run.bytesPerEntry[1]);
    }
  }
  return 0;
}
