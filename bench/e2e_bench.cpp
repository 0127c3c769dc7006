// End to end, node segments: the status table, its notification, the
// node-segment reverse mapper and a subscriber on every output entity,
// against the same job written by hand (bench/support/PlainNodeMapper.h)
// over a hash-map table publishing through std::function observers, once
// with std containers and once with Abseil's (when the build found it).
// Every side is fed the same generated workload: prefix segments of three
// algorithms (the plain collection and two flexible algorithms) over a pool
// of routers, then a stream of originator moves, flag flips, algorithm
// changes (a removal under the old algorithm and the segment under the new
// one), identical re-announcements (which the tables drop), re-announcements
// with another SID (notified, nothing mapped changes), removals and re-adds.
//
//   startup/<side>/<n>  building the reverse map over a table just filled
//                       with n prefix segments (events: the n keys walked)
//   change/<side>/<n>   the change stream, table write to the last
//                       subscriber (events: table writes, no-ops included)
// Each repetition is cold: a new table filled, a new output, a new mapper
// (started untimed for a change run); only the build or the stream is timed.
// Both sides' final maps must be equal, or the program stops.
//   trace_entry  a function entry's ring record and block timer, against two
//                clock reads; two cycle-counter reads are its floor
// After the runs the program prints min / median / max per side, the ratios
// pathkit / each plain side, and the bytes per mapped prefix (the mapper's
// private cache and its output) and per table entry.
//
//   build/release/bench/e2e_bench [--small] [--benchmark_filter=change/pathkit/100000]
// --small leaves out the 1M size (about 2 GB at its peak). Five repetitions
// unless --benchmark_repetitions says otherwise; repetitions are interleaved.
// Bytes: pathkit's are its slab slots (16-byte classes) and bucket arrays;
// the plain sides' are malloc chunks as the C library sizes them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include "Duolog/Duolog.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "support/Containers.h"
#include "support/Measure.h"
#include "support/PlainNodeMapper.h"
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
using SegmentRouting::Mappers::RouterToNodeSegment;
using SegmentRouting::Mappers::RouterToNodeSegmentMap;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using SegmentRouting::Mappers::Subscription;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

constexpr std::uint8_t kMap = PrefixSegmentInfo::kFlagMapToOriginator;
constexpr std::uint8_t kDoNotMap = PrefixSegmentInfo::kFlagDoNotMap;
constexpr std::uint8_t kAlgos[] = {0, 128, 129};

// --- the workload ----------------------------------------------------------------

// One table write: segment `index` (prefix 10/8 + index) under `algo` is
// written with these fields, or removed. Algorithm 0 lives in the prefix
// collection, the others in the per-algorithm collection.
struct Op {
  std::uint32_t index = 0;
  std::uint32_t router = 0;
  std::uint32_t sid = 0;
  std::uint8_t algo = 0;
  std::uint8_t flags = 0;
  bool present = false;
};

struct Workload {
  std::vector<Op> initial;  // every segment present
  std::vector<Op> changes;
};

IpGenPrefix prefixOf(std::uint32_t i) {
  return IpGenPrefix::ipv4(0x0A000000u + i, 32);
}
RouterId routerOf(std::uint32_t r) {
  return RouterId::ipv4(0xC0000000u + r);
}

Workload workloadOf(std::size_t n, std::uint32_t routers, std::size_t changes) {
  Workload w;
  std::mt19937_64 rng(20240607);
  for (std::uint32_t i = 0; i < n; ++i) {
    w.initial.push_back({i, static_cast<std::uint32_t>(rng() % routers), 16000 + i,
                         kAlgos[i % 5 < 3 ? 0 : i % 5 - 2], kMap, true});
  }
  std::vector<Op> now = w.initial;
  while (w.changes.size() < changes) {
    Op& s = now[rng() % n];
    unsigned const kind = static_cast<unsigned>(rng() % 20);
    if (!s.present) {  // re-add
      s.present = true;
      s.router = static_cast<std::uint32_t>(rng() % routers);
      s.flags = kMap;
    } else if (kind < 6) {  // originator move
      s.router = static_cast<std::uint32_t>((s.router + 1 + rng() % (routers - 1)) % routers);
    } else if (kind < 9) {  // flag flip
      s.flags ^= kDoNotMap;
    } else if (kind < 11) {  // algorithm change
      Op gone = s;
      gone.present = false;
      w.changes.push_back(gone);
      std::size_t const now = s.algo == 0 ? 0 : s.algo == 128 ? 1 : 2;
      s.algo = kAlgos[(now + 1 + rng() % 2) % 3];
    } else if (kind < 13) {  // identical re-announcement
    } else if (kind < 15) {  // re-announcement with another SID
      s.sid ^= 0x100000;
    } else {  // removal
      s.present = false;
    }
    w.changes.push_back(s);
  }
  return w;
}

std::uint32_t routersFor(std::size_t n) {
  return n > 100000 ? 10000 : 2000;
}
std::size_t changesFor(std::size_t n) {
  return n > 100000 ? 400000 : 200000;
}

Workload const& workload(std::size_t n) {
  static std::map<std::size_t, Workload> made;
  auto it = made.find(n);
  if (it == made.end())
    it = made.emplace(n, workloadOf(n, routersFor(n), changesFor(n))).first;
  return it->second;
}

// The maps as (algorithm, router, prefix), the form both sides are compared in.
using Triples = std::vector<std::tuple<unsigned, RouterId, IpGenPrefix>>;

// Bytes per mapped prefix and per table entry, per "<size> <side>".
std::map<std::string, std::pair<double, double>> bytesPer;

// --- pathkit ------------------------------------------------------------------------

struct LibraryWorld {
  using AlgoWatch =
      Subscription<RouterToNodeSegmentMapPerAlgo, unsigned char, Pavo::Ptr<RouterToNodeSegmentMap>>;
  using RouterWatch =
      Subscription<RouterToNodeSegmentMap, RouterId, Pavo::Ptr<RouterToNodeSegment>>;
  using PrefixWatch = Subscription<RouterToNodeSegment, IpGenPrefix, bool>;

  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out =
      SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory();
  Bench::Sink sink;
  // A subscriber on every output entity while it is in the map.
  std::unordered_map<Pavo::Node const*, std::unique_ptr<RouterWatch>> algoWatches;
  std::unordered_map<Pavo::Node const*, std::unique_ptr<PrefixWatch>> routerWatches;
  AlgoWatch rootWatch{out, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField,
                      [this](unsigned char algo, Pavo::Ptr<RouterToNodeSegmentMap> const* prior) {
                        sink.note(prior);
                        if (prior != nullptr)
                          algoWatches.erase(prior->get());
                        else
                          watchAlgo(out->routerToNodeSegmentMap(algo));
                      }};
  Pavo::Ptr<NodeSegmentReverseMapper> mapper;

  void watchAlgo(Pavo::Ptr<RouterToNodeSegmentMap> const& m) {
    algoWatches[m.get()] = std::make_unique<RouterWatch>(
        m, RouterToNodeSegmentMap::kPrefixMapField,
        [this, map = m.get()](RouterId const& r, Pavo::Ptr<RouterToNodeSegment> const* prior) {
          sink.note(prior);
          if (prior != nullptr) {
            routerWatches.erase(prior->get());
            return;
          }
          Pavo::Ptr<RouterToNodeSegment> const router = map->prefixMap(r);
          routerWatches[router.get()] = std::make_unique<PrefixWatch>(
              router, RouterToNodeSegment::kPrefixField,
              [this](IpGenPrefix const&, bool const* was) { sink.note(was); });
        });
  }

  void apply(Op const& op) {
    IpGenPrefix const p = prefixOf(op.index);
    if (!op.present) {
      if (op.algo == 0)
        status->prefixSegmentDel(p);
      else
        status->prefixSegmentWithAlgoDel(PrefixAlgoKey(p, op.algo));
      return;
    }
    PrefixSegmentRecord rec;
    rec.sidValue = op.sid;
    PrefixSegmentInfo::Head head;
    head.originator = routerOf(op.router);
    head.flags = op.flags;
    if (op.algo == 0)
      status->prefixSegmentIs(PrefixSegment(p, head, &rec, 1));
    else
      status->prefixSegmentWithAlgoIs(
          PrefixSegmentWithAlgo(PrefixAlgoKey(p, op.algo), head, &rec, 1));
  }
  void start() {
    mapper =
        SegmentRouting::Mappers::nodeSegmentReverseMapperFactory(AddressFamily::ipv4, status, out);
  }

  Triples canon() const {
    Triples t;
    auto const& algos = out->routerToNodeSegmentMapCollection();
    for (auto a = algos.begin(); !a.atEnd(); ++a) {
      auto const& routers = a->value()->prefixMapCollection();
      for (auto r = routers.begin(); !r.atEnd(); ++r) {
        auto const& prefixes = r->value()->prefixCollection();
        for (auto p = prefixes.begin(); !p.atEnd(); ++p)
          t.emplace_back(a->key(), r->key(), p->key());
      }
    }
    std::sort(t.begin(), t.end());
    return t;
  }
  // The mapper's entities, members and bucket arrays.
  std::size_t mapperBytes() const {
    std::size_t bytes =
        Bench::trackedBytes("SegmentRouting::Mappers::") +
        Bench::bucketBytes(mapper->prefixToOriginatorCacheCollection().bucketCount());
    auto const& algos = out->routerToNodeSegmentMapCollection();
    bytes += Bench::bucketBytes(algos.bucketCount());
    for (auto it = algos.begin(); !it.atEnd(); ++it)
      bytes += Bench::bucketBytes(it->value()->prefixMapCollection().bucketCount());
    return bytes;
  }
  std::size_t tableBytes() const {
    return status->prefixSegment().memoryBytes() + status->prefixSegmentWithAlgo().memoryBytes();
  }
};

// --- the plain sides -----------------------------------------------------------------

template <class C>
struct PlainWorld {
  using Mapper = Bench::PlainNodeMapper<C>;

  std::size_t const bornAt = Bench::plainBytes;  // what the program held before this world
  typename Mapper::Table table;
  typename Mapper::TableWithAlgo tableWithAlgo;
  Bench::PlainPrefixEntry scratch;  // the writer's entry, reused as a user would
  Bench::Sink sink;
  std::unique_ptr<Mapper> mapper;

  void apply(Op const& op) {
    IpGenPrefix const p = prefixOf(op.index);
    if (!op.present) {
      if (op.algo == 0)
        table.erase(p);
      else
        tableWithAlgo.erase(PrefixAlgoKey(p, op.algo));
      return;
    }
    PrefixSegmentRecord rec;
    rec.sidValue = op.sid;
    scratch.originator = routerOf(op.router);
    scratch.flags = op.flags;
    scratch.records.assign(1, rec);
    if (op.algo == 0)
      table.set(p, scratch);
    else
      tableWithAlgo.set(PrefixAlgoKey(p, op.algo), scratch);
  }
  void start() {
    mapper = std::make_unique<Mapper>(
        AddressFamily::ipv4, table, tableWithAlgo,
        typename Mapper::Observers{
            [this](std::uint8_t, typename Mapper::Routers const* prior) { sink.note(prior); },
            [this](std::uint8_t, RouterId const&, typename Mapper::Prefixes const* prior) {
              sink.note(prior);
            },
            [this](std::uint8_t, RouterId const&, IpGenPrefix const&, bool const* prior) {
              sink.note(prior);
            }});
  }

  Triples canon() const {
    Triples t;
    for (auto const& [algo, routers] : mapper->algos())
      for (auto const& [router, prefixes] : routers)
        for (IpGenPrefix const& p : prefixes)
          t.emplace_back(algo, router, p);
    std::sort(t.begin(), t.end());
    return t;
  }
};

// --- the runs -------------------------------------------------------------------------

// Bytes per mapped prefix and per table entry, after a start-up.
template <class World>
void measureBytes(World& w, std::size_t n, std::size_t mapped, std::string const& side) {
  double mapper = 0;
  double table = 0;
  if constexpr (std::is_same_v<World, LibraryWorld>) {
    mapper = static_cast<double>(w.mapperBytes());
    table = static_cast<double>(w.tableBytes());
  } else {
    // The plain mapper owns every counted byte allocated since the fill.
    std::size_t const held = Bench::plainBytes;
    w.mapper.reset();
    mapper = static_cast<double>(held - Bench::plainBytes);
    table = static_cast<double>(Bench::plainBytes - w.bornAt);
  }
  bytesPer[std::to_string(n) + " " + side] = {mapper / static_cast<double>(mapped),
                                              table / static_cast<double>(n)};
}

void registerSize(std::size_t n) {
  Bench::registerSides<LibraryWorld, PlainWorld>(
      n, &workload, [](auto& w, std::size_t size, std::size_t members, std::string const& side) {
        measureBytes(w, size, members, side);
      });
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

}  // namespace

int main(int argc, char** argv) {
  bool const small = Bench::takeFlag(argc, argv, "--small");
  benchmark::RegisterBenchmark("trace_entry/Duolog-entry-and-timer/1", traceEntry)->Repetitions(1);
  benchmark::RegisterBenchmark("trace_entry/baseline-two-clock-reads/1", traceEntryClockPair)
      ->Repetitions(1);
  benchmark::RegisterBenchmark("trace_entry/two-cycle-counter-reads/1", traceEntryCounterPair)
      ->Repetitions(1);
  registerSize(100000);
  if (!small)
    registerSize(1000000);
  if (int const status = Bench::runBenchmarks(argc, argv); status != 0)
    return status;
  if (!bytesPer.empty())
    std::printf("\nBytes per mapped prefix (mapper and output) and per table entry:\n");
  for (auto const& [what, b] : bytesPer)
    std::printf("  %-34s %7.1f  %7.1f\n", what.c_str(), b.first, b.second);
  return 0;
}
