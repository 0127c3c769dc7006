// End to end: the status table, its notification and the node-segment
// reverse mapper, against a plain standard-library implementation written
// the way a user would write it instead (its own std::map table publishing
// through std::function observers into a std::unordered_map prefix-to-router
// cache and std::map/std::set reverse maps held by std::shared_ptr). Both
// sides are fed the same generated workload: prefix segments of three
// algorithms (the plain collection and two flexible algorithms), then a
// stream of originator moves, flag flips, removals and re-adds.
//
//   startup  building the reverse map from a filled table (entries/s)
//   change   one table change end to end: table write, notification, mapper
//            (ns per change, batches of kBatch)
//   trace_entry  a function entry's ring record and block timer, against two
//            clock reads; two cycle-counter reads are its floor
// After the runs the program prints, per size, the ratios pathkit / plain of
// those times and of the bytes per mapped prefix (mapper) and per prefix
// segment (table), and checks once that both sides ended with equal maps.
//
// Sizes: 100k prefix segments over 2k routers by default; add --large for
// 1M over 10k routers as well (about 2 GB at its peak, a few minutes):
//   build/release/bench/e2e_bench [--large] [--benchmark_filter=...]
// Bytes: pathkit's are its slab slots (16-byte classes) and bucket arrays;
// the plain side's are malloc chunks as the C library sizes them (request +
// 8, rounded up to 16, at least 32).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "Duolog/Duolog.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "support/CountingAllocator.h"
#include "support/PlainTable.h"
#include "support/RatioReporter.h"

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentRecord;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

constexpr unsigned kBatch = 1000;
constexpr std::uint8_t kMap = PrefixSegmentInfo::kFlagMapToOriginator;
constexpr std::uint8_t kDoNotMap = PrefixSegmentInfo::kFlagDoNotMap;

// --- the workload ----------------------------------------------------------------

// Segment i: prefix 10/8 + i; algorithm 0 (prefix collection) for three in
// five, 128 and 129 (per-algorithm collection) for the others.
std::uint8_t algoOf(std::size_t i) {
  return i % 5 < 3 ? 0 : i % 5 == 3 ? 128 : 129;
}
IpGenPrefix prefixOf(std::size_t i) {
  return IpGenPrefix::ipv4(0x0A000000u + static_cast<std::uint32_t>(i), 32);
}
RouterId routerOf(std::uint32_t r) {
  return RouterId::ipv4(0xC0000000u + r);
}

// The state a change leaves segment `index` in.
struct Event {
  std::uint32_t index;
  std::uint32_t router;
  std::uint8_t flags;
  bool present;
};

struct Workload {
  std::size_t n = 0;
  std::uint32_t routers = 0;
  std::vector<Event> initial;  // every segment present
  std::vector<Event> changes;
};

Workload workloadOf(std::size_t n, std::uint32_t routers, std::size_t changes) {
  Workload w;
  w.n = n;
  w.routers = routers;
  std::mt19937_64 rng(20240607);
  for (std::size_t i = 0; i < n; ++i)
    w.initial.push_back(
        {static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(rng() % routers), kMap, true});
  std::vector<Event> now = w.initial;
  for (std::size_t c = 0; c < changes; ++c) {
    Event e = now[rng() % n];
    unsigned const kind = static_cast<unsigned>(rng() % 10);
    if (!e.present) {
      e = {e.index, static_cast<std::uint32_t>(rng() % routers), kMap, true};  // re-add
    } else if (kind < 4) {
      e.router = static_cast<std::uint32_t>(rng() % routers);  // originator move
    } else if (kind < 7) {
      e.flags ^= kDoNotMap;  // flag flip
    } else {
      e.present = false;  // removal
    }
    now[e.index] = e;
    w.changes.push_back(e);
  }
  return w;
}

PrefixSegmentRecord recordOf(std::uint32_t index) {
  PrefixSegmentRecord rec;
  rec.sidValue = 16000 + index;
  return rec;
}

// --- pathkit ------------------------------------------------------------------------

struct PathkitSide {
  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out =
      SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory();
  Pavo::Ptr<NodeSegmentReverseMapper> mapper;

  void apply(Event const& e) {
    IpGenPrefix const p = prefixOf(e.index);
    std::uint8_t const algo = algoOf(e.index);
    if (!e.present) {
      if (algo == 0)
        status->prefixSegmentDel(p);
      else
        status->prefixSegmentWithAlgoDel(PrefixAlgoKey(p, algo));
      return;
    }
    PrefixSegmentRecord const rec = recordOf(e.index);
    PrefixSegmentInfo::Head head;
    head.originator = routerOf(e.router);
    head.flags = e.flags;
    if (algo == 0)
      status->prefixSegmentIs(PrefixSegment(p, head, &rec, 1));
    else
      status->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(PrefixAlgoKey(p, algo), head, &rec, 1));
  }
};

// Bytes of the mapper's entities and members (slab slots) and bucket arrays.
std::size_t mapperBytes(PathkitSide const& side) {
  std::size_t bytes = 0;
  Vek::AllocTrackTypeInfo::forEach([&bytes](Vek::AllocTrackTypeInfo const& t) {
    if (std::strncmp(t.typeName(), "SegmentRouting::Mappers::", 25) != 0 || t.liveObjects() == 0)
      return;
    std::size_t const each = (t.liveBytes() / t.liveObjects() + 15) / 16 * 16;
    bytes += each * t.liveObjects();
  });
  if (side.mapper)
    bytes += side.mapper->prefixToOriginatorCacheCollection().bucketCount() * sizeof(void*);
  auto const& algos = side.out->routerToNodeSegmentMapCollection();
  bytes += algos.bucketCount() * sizeof(void*);
  for (auto it = algos.begin(); !it.atEnd(); ++it)
    bytes += it->value()->prefixMapCollection().bucketCount() * sizeof(void*);
  return bytes;
}

std::size_t tableBytes(Status const& status) {
  return status.prefixSegment().memoryBytes() + status.prefixSegmentWithAlgo().memoryBytes();
}

// --- the plain implementation ------------------------------------------------------------

using Bench::Counting;
using Bench::plainBytes;

struct PlainEntry {
  RouterId originator;
  std::uint8_t flags = 0;
  std::vector<PrefixSegmentRecord, Counting<PrefixSegmentRecord>> records;
  bool operator==(PlainEntry const& o) const {
    return originator == o.originator && flags == o.flags && records.size() == o.records.size() &&
           std::memcmp(records.data(), o.records.data(),
                       records.size() * sizeof(PrefixSegmentRecord)) == 0;
  }
};

template <class K>
using PlainTable = Bench::PlainTable<K, PlainEntry>;

struct KeyHash {
  std::size_t operator()(PrefixAlgoKey const& k) const noexcept { return k.hash(0x5bd1e995u); }
};

class PlainMapper {
 public:
  using Prefixes = std::set<IpGenPrefix, std::less<IpGenPrefix>, Counting<IpGenPrefix>>;
  using Routers = std::map<RouterId, std::shared_ptr<Prefixes>, std::less<RouterId>,
                           Counting<std::pair<RouterId const, std::shared_ptr<Prefixes>>>>;
  using Algos = std::map<std::uint8_t, std::shared_ptr<Routers>, std::less<std::uint8_t>,
                         Counting<std::pair<std::uint8_t const, std::shared_ptr<Routers>>>>;

  PlainMapper(AddressFamily af, PlainTable<IpGenPrefix>& table,
              PlainTable<PrefixAlgoKey>& tableWithAlgo)
      : af_(af) {
    table.forEach([this](IpGenPrefix const& p, PlainEntry const* e) { update({p, 0}, e); });
    tableWithAlgo.forEach([this](PrefixAlgoKey const& k, PlainEntry const* e) { update(k, e); });
    table.observe([this](IpGenPrefix const& p, PlainEntry const* e) { update({p, 0}, e); });
    tableWithAlgo.observe([this](PrefixAlgoKey const& k, PlainEntry const* e) { update(k, e); });
  }

  void update(PrefixAlgoKey const& key, PlainEntry const* e) {
    IpGenPrefix const& p = key.prefix();
    if (p.af() != af_)
      return;
    bool const qualifies = e != nullptr && (e->flags & kMap) != 0 && (e->flags & kDoNotMap) == 0 &&
                           !e->originator.isZero();
    auto it = cache_.find(key);
    if (it != cache_.end()) {
      if (qualifies && it->second == e->originator)
        return;
      auto a = algos_.find(key.algo());
      auto r = a->second->find(it->second);
      r->second->erase(p);
      if (r->second->empty())
        a->second->erase(r);
      if (a->second->empty())
        algos_.erase(a);
      if (!qualifies) {
        cache_.erase(it);
        return;
      }
      it->second = e->originator;
    } else {
      if (!qualifies)
        return;
      cache_.emplace(key, e->originator);
    }
    auto& routers = algos_[key.algo()];
    if (!routers)
      routers = std::allocate_shared<Routers>(Counting<Routers>());
    auto& prefixes = (*routers)[e->originator];
    if (!prefixes)
      prefixes = std::allocate_shared<Prefixes>(Counting<Prefixes>());
    prefixes->insert(p);
  }

  Algos const& algos() const { return algos_; }

 private:
  AddressFamily const af_;
  std::unordered_map<PrefixAlgoKey, RouterId, KeyHash, std::equal_to<PrefixAlgoKey>,
                     Counting<std::pair<PrefixAlgoKey const, RouterId>>>
      cache_;
  Algos algos_;
};

struct PlainSide {
  PlainTable<IpGenPrefix> table;
  PlainTable<PrefixAlgoKey> tableWithAlgo;
  std::unique_ptr<PlainMapper> mapper;
  PlainEntry scratch;  // the writer's entry, reused as a user would

  void apply(Event const& e) {
    IpGenPrefix const p = prefixOf(e.index);
    std::uint8_t const algo = algoOf(e.index);
    if (!e.present) {
      if (algo == 0)
        table.erase(p);
      else
        tableWithAlgo.erase(PrefixAlgoKey(p, algo));
      return;
    }
    scratch.originator = routerOf(e.router);
    scratch.flags = e.flags;
    scratch.records.assign(1, recordOf(e.index));
    if (algo == 0)
      table.set(p, scratch);
    else
      tableWithAlgo.set(PrefixAlgoKey(p, algo), scratch);
  }
};

// --- the runs -------------------------------------------------------------------------

// One size at a time: its workload, both sides filled, their results.
struct Run {
  std::size_t n = 0;
  Workload workload;
  std::unique_ptr<PathkitSide> pathkit;
  std::unique_ptr<PlainSide> plain;
  std::size_t plainTableBytes = 0;
  std::size_t changesDone[2] = {0, 0};  // pathkit, plain
  double mapperBytesPerPrefix[2] = {0, 0};
  double tableBytesPerSegment[2] = {0, 0};
  bool checked = false;
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
  std::uint32_t const routers = n > 100000 ? 10000 : 2000;
  run.workload = workloadOf(n, routers, n > 100000 ? 400000 : 200000);
  run.pathkit = std::make_unique<PathkitSide>();
  for (Event const& e : run.workload.initial)
    run.pathkit->apply(e);
  std::size_t const before = plainBytes;
  run.plain = std::make_unique<PlainSide>();
  for (Event const& e : run.workload.initial)
    run.plain->apply(e);
  run.tableBytesPerSegment[0] =
      static_cast<double>(tableBytes(*run.pathkit->status)) / static_cast<double>(n);
  run.tableBytesPerSegment[1] = static_cast<double>(plainBytes - before) / static_cast<double>(n);
  return run;
}

void startupPathkit(benchmark::State& state, std::size_t n) {
  Run& run = runOf(n);
  PathkitSide& side = *run.pathkit;
  side.mapper.reset();
  for (auto _ : state) {
    side.mapper = SegmentRouting::Mappers::nodeSegmentReverseMapperFactory(AddressFamily::ipv4,
                                                                           side.status, side.out);
    state.PauseTiming();
    run.mapperBytesPerPrefix[0] = static_cast<double>(mapperBytes(side)) /
                                  static_cast<double>(side.mapper->prefixToOriginatorCacheCount());
    side.mapper.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

void startupPlain(benchmark::State& state, std::size_t n) {
  Run& run = runOf(n);
  PlainSide& side = *run.plain;
  for (auto _ : state) {
    std::size_t const before = plainBytes;
    side.mapper =
        std::make_unique<PlainMapper>(AddressFamily::ipv4, side.table, side.tableWithAlgo);
    state.PauseTiming();
    std::size_t mapped = 0;
    for (auto const& [algo, routers] : side.mapper->algos())
      for (auto const& [router, prefixes] : *routers)
        mapped += prefixes->size();
    run.mapperBytesPerPrefix[1] =
        static_cast<double>(plainBytes - before) / static_cast<double>(mapped);
    side.mapper.reset();
    side.table = PlainTable<IpGenPrefix>();  // drop the observers with the mapper
    side.tableWithAlgo = PlainTable<PrefixAlgoKey>();
    for (Event const& e : run.workload.initial)
      side.apply(e);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n));
}

template <class Side>
void change(benchmark::State& state, std::size_t n, int which, Side& (*sideOf)(Run&)) {
  Run& run = runOf(n);
  Side& side = sideOf(run);
  std::vector<Event> const& changes = run.workload.changes;
  for (auto _ : state) {
    for (unsigned i = 0; i < kBatch && run.changesDone[which] < changes.size(); ++i)
      side.apply(changes[run.changesDone[which]++]);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

PathkitSide& pathkitOf(Run& run) {
  if (!run.pathkit->mapper) {
    run.pathkit->mapper = SegmentRouting::Mappers::nodeSegmentReverseMapperFactory(
        AddressFamily::ipv4, run.pathkit->status, run.pathkit->out);
  }
  return *run.pathkit;
}
PlainSide& plainOf(Run& run) {
  if (!run.plain->mapper) {
    run.plain->mapper = std::make_unique<PlainMapper>(AddressFamily::ipv4, run.plain->table,
                                                      run.plain->tableWithAlgo);
  }
  return *run.plain;
}

// Both sides' maps as (algo, router, prefix) triples.
using Triples = std::set<std::tuple<unsigned, RouterId, IpGenPrefix>>;
Triples triplesOf(PathkitSide const& side) {
  Triples t;
  auto const& algos = side.out->routerToNodeSegmentMapCollection();
  for (auto a = algos.begin(); !a.atEnd(); ++a) {
    auto const& routers = a->value()->prefixMapCollection();
    for (auto r = routers.begin(); !r.atEnd(); ++r) {
      auto const& prefixes = r->value()->prefixCollection();
      for (auto p = prefixes.begin(); !p.atEnd(); ++p)
        t.emplace(a->key(), r->key(), p->key());
    }
  }
  return t;
}
Triples triplesOf(PlainSide const& side) {
  Triples t;
  for (auto const& [algo, routers] : side.mapper->algos())
    for (auto const& [router, prefixes] : *routers)
      for (IpGenPrefix const& p : *prefixes)
        t.emplace(algo, router, p);
  return t;
}

// Once both sides applied the same changes: their maps must be equal.
void checkEqual(Run& run) {
  if (run.checked || !run.pathkit || !run.plain || run.changesDone[0] != run.changesDone[1] ||
      !run.pathkit->mapper || !run.plain->mapper)
    return;
  run.checked = true;
  Triples const a = triplesOf(*run.pathkit);
  Triples const b = triplesOf(*run.plain);
  std::printf("check %zu: after %zu changes both maps hold %zu / %zu prefixes: %s\n", run.n,
              run.changesDone[0], a.size(), b.size(), a == b ? "equal" : "DIFFERENT");
  if (a != b)
    std::exit(1);
}

// The cost of a function-entry trace record and its block timer with the
// trace level off, against the two clock reads the timer used to make.
void traceEntry(benchmark::State& state) {
  Vek::TraceHandle const handle("E2eBench", false);
  for (auto _ : state) {
    Nimblog::BlockTimer const timer = Duolog::entry(handle, 8, __FILE__, __LINE__, __func__,
                                                    "void E2eBench::traceEntry()() %s", "ipv4");
    benchmark::ClobberMemory();
  }
}
void traceEntryClockPair(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::chrono::steady_clock::now());
    benchmark::DoNotOptimize(std::chrono::steady_clock::now());
  }
}

// The floor of a timed entry where the ring stamps with the cycle counter:
// one read at the entry and one when the timer ends.
void traceEntryCounterPair(benchmark::State& state) {
  for (auto _ : state) {
#if defined(__x86_64__) || defined(__i386__)
    benchmark::DoNotOptimize(__rdtsc());
    benchmark::DoNotOptimize(__rdtsc());
#else
    benchmark::DoNotOptimize(std::chrono::steady_clock::now());
    benchmark::DoNotOptimize(std::chrono::steady_clock::now());
#endif
  }
}

void registerSize(std::size_t n) {
  // Appended, not prepended: "/" + temporary makes g++ 12 at -O3 report a
  // false -Wrestrict inside the string's insert.
  std::string const size = std::string("/").append(std::to_string(n));
  int const startups = n > 100000 ? 1 : 10;  // a start-up is short: several runs steady the ratio
  std::int64_t const batches = (n > 100000 ? 400000 : 200000) / kBatch;
  benchmark::RegisterBenchmark(("startup/pathkit" + size).c_str(),
                               [n](benchmark::State& s) { startupPathkit(s, n); })
      ->Iterations(startups)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("startup/baseline-plain" + size).c_str(),
                               [n](benchmark::State& s) { startupPlain(s, n); })
      ->Iterations(startups)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("change/pathkit" + size).c_str(),
                               [n](benchmark::State& s) { change(s, n, 0, &pathkitOf); })
      ->Iterations(batches)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(("change/baseline-plain" + size).c_str(),
                               [n](benchmark::State& s) {
                                 change(s, n, 1, &plainOf);
                                 checkEqual(runOf(n));
                               })
      ->Iterations(batches)
      ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  bool large = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--large") == 0)
      large = true;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::RegisterBenchmark("trace_entry/Duolog-entry-and-timer/1", traceEntry);
  benchmark::RegisterBenchmark("trace_entry/baseline-two-clock-reads/1", traceEntryClockPair);
  benchmark::RegisterBenchmark("trace_entry/two-cycle-counter-reads/1", traceEntryCounterPair);
  registerSize(100000);
  if (large)
    registerSize(1000000);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  Bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::printf("\nMemory, pathkit / plain (bytes):\n");
  for (auto const& [n, run] : runs) {
    if (run.mapperBytesPerPrefix[1] > 0) {
      std::printf("  mapper per mapped prefix @ %-8zu %7.1f / %7.1f = %.2f\n", n,
                  run.mapperBytesPerPrefix[0], run.mapperBytesPerPrefix[1],
                  run.mapperBytesPerPrefix[0] / run.mapperBytesPerPrefix[1]);
    }
    std::printf("  table per prefix segment @ %-8zu %7.1f / %7.1f = %.2f\n", n,
                run.tableBytesPerSegment[0], run.tableBytesPerSegment[1],
                run.tableBytesPerSegment[0] / run.tableBytesPerSegment[1]);
  }
  return 0;
}
