// The node-segment reverse mapper against a plain standard-library reverse
// map fed from the same status table:
//   startup  building the reverse map from a filled table (100k and 1M
//            prefix segments; filling the table is not timed), with the
//            memory per mapped prefix as a counter;
//   churn    a steady stream of originator moves, removals and re-adds on a
//            table of 100k segments, as table events per second.
// The baseline ("baseline-std") keeps std::unordered_map<prefix, router>
// plus std::map<router, std::set<prefix>> per algorithm, updated by its own
// subscriber to the table, so both sides pay the same table costs.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
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
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "support/RatioReporter.h"

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::nodeSegmentReverseMapperFactory;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

constexpr unsigned kPrefixesPerRouter = 4;
constexpr unsigned kChurnBatch = 1000;
constexpr std::size_t kChurnSize = 100000;

// --- the baseline's memory, counted by its allocator --------------------------------

std::atomic<std::int64_t> baselineBytes{0};

template <class T>
struct CountingAllocator {
  using value_type = T;
  CountingAllocator() = default;
  template <class U>
  CountingAllocator(CountingAllocator<U> const&) noexcept {}
  T* allocate(std::size_t n) {
    baselineBytes += static_cast<std::int64_t>(n * sizeof(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    baselineBytes -= static_cast<std::int64_t>(n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(CountingAllocator<U> const&) const noexcept {
    return true;
  }
};

struct PrefixHash {
  std::size_t operator()(IpGenPrefix const& p) const noexcept { return p.hash(0x9e3779b9u); }
};

// The standard-library reverse map: a reactor of its own on the table.
class BaselineMapper {
 public:
  BaselineMapper(AddressFamily af, Status const& status) : af_(af), status_(status) {
    status.publisher()->subscriberAdd(&record_.sub, false);
    Kroma::IterHint hint;
    IpGenPrefix p;
    for (bool more = status.prefixSegment().firstKey(hint, p); more;
         more = status.prefixSegment().nextKey(hint, p, p))
      update(PrefixAlgoKey(p, 0), status.prefixSegment().lookup(p).info());
    PrefixAlgoKey k;
    for (bool more = status.prefixSegmentWithAlgo().firstKey(hint, k); more;
         more = status.prefixSegmentWithAlgo().nextKey(hint, k, k))
      update(k, status.prefixSegmentWithAlgo().lookup(k).info());
  }
  ~BaselineMapper() { status_.publisher()->subscriberRemove(&record_.sub); }

 private:
  using PrefixSet = std::set<IpGenPrefix, std::less<>, CountingAllocator<IpGenPrefix>>;
  using ByRouter = std::map<RouterId, PrefixSet, std::less<>,
                            CountingAllocator<std::pair<RouterId const, PrefixSet>>>;
  using ByPrefix = std::unordered_map<IpGenPrefix, RouterId, PrefixHash, std::equal_to<>,
                                      CountingAllocator<std::pair<IpGenPrefix const, RouterId>>>;
  struct PerAlgo {
    ByPrefix originator;
    ByRouter prefixes;
  };
  struct Record {
    Pavo::Subscriber sub{&BaselineMapper::dispatch};
    BaselineMapper* self;
  };

  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId field, void const* key,
                       void const*) {
    BaselineMapper& self = *reinterpret_cast<Record*>(s)->self;
    if (field == Status::kPrefixSegment) {
      auto const& p = *static_cast<IpGenPrefix const*>(key);
      self.update(PrefixAlgoKey(p, 0), self.status_.prefixSegment().lookup(p).info());
    } else if (field == Status::kPrefixSegmentWithAlgo) {
      auto const& k = *static_cast<PrefixAlgoKey const*>(key);
      self.update(k, self.status_.prefixSegmentWithAlgo().lookup(k).info());
    }
  }

  void update(PrefixAlgoKey const& key, PrefixSegmentInfo const& info) {
    IpGenPrefix const& p = key.prefix();
    if (p.af() != af_)
      return;
    bool const qualifies = (info.flags() & PrefixSegmentInfo::kFlagMapToOriginator) != 0 &&
                           (info.flags() & PrefixSegmentInfo::kFlagDoNotMap) == 0 &&
                           !info.originator().isZero();
    PerAlgo& algo = algos_[key.algo()];
    auto it = algo.originator.find(p);
    if (it != algo.originator.end()) {
      if (qualifies && it->second == info.originator())
        return;
      auto r = algo.prefixes.find(it->second);
      r->second.erase(p);
      if (r->second.empty())
        algo.prefixes.erase(r);
      algo.originator.erase(it);
    }
    if (!qualifies)
      return;
    algo.originator.emplace(p, info.originator());
    algo.prefixes[info.originator()].insert(p);
  }

  AddressFamily const af_;
  Status const& status_;
  Record record_{{&BaselineMapper::dispatch}, this};
  std::map<unsigned, PerAlgo> algos_;
};

// --- the table ---------------------------------------------------------------------------

struct Universe {
  std::vector<IpGenPrefix> prefixes;
  std::vector<RouterId> routers;
};

Universe universeOf(std::size_t n) {
  Universe u;
  u.prefixes.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    u.prefixes.push_back(IpGenPrefix::ipv4(0x0A000000u + static_cast<std::uint32_t>(i), 32));
  for (std::size_t r = 0; r < n / kPrefixesPerRouter + 1; ++r)
    u.routers.push_back(RouterId::ipv4(0xC0000000u + static_cast<std::uint32_t>(r)));
  return u;
}

PrefixSegmentInfo infoFor(RouterId const& originator) {
  PrefixSegmentInfo info(originator, PrefixSegmentInfo::kFlagMapToOriginator);
  Kroma::SegmentRouting::PrefixSegmentRecord rec;
  rec.sidValue = 16000;
  info.records().push(rec);
  return info;
}

// Three quarters of the prefixes in the prefix collection, a quarter as
// flexible-algorithm (128) segments; each router originates a few.
void write(Status& status, Universe const& u, std::size_t i, RouterId const& originator) {
  if (i % 4 == 3) {
    status.prefixSegmentWithAlgoIs(
        PrefixSegmentWithAlgo(PrefixAlgoKey(u.prefixes[i], 128), infoFor(originator)));
  } else {
    status.prefixSegmentIs(PrefixSegment(u.prefixes[i], infoFor(originator)));
  }
}
void erase(Status& status, Universe const& u, std::size_t i) {
  if (i % 4 == 3) {
    status.prefixSegmentWithAlgoDel(PrefixAlgoKey(u.prefixes[i], 128));
  } else {
    status.prefixSegmentDel(u.prefixes[i]);
  }
}

// One filled table at a time, shared by the benchmarks of one size.
struct Table {
  std::size_t n = 0;
  Universe universe;
  Pavo::Ptr<Status> status;
};
Table& tableOf(std::size_t n) {
  static Table table;
  if (table.n != n) {
    table.status.reset();
    table.n = n;
    table.universe = universeOf(n);
    table.status = Status::StatusIs();
    for (std::size_t i = 0; i < n; ++i)
      write(*table.status, table.universe, i, table.universe.routers[i / kPrefixesPerRouter]);
  }
  return table;
}

std::uint64_t mapperBytes() {
  std::uint64_t bytes = 0;
  Vek::AllocTrackTypeInfo::forEach([&bytes](Vek::AllocTrackTypeInfo const& t) {
    if (std::strncmp(t.typeName(), "SegmentRouting::Mappers::", 25) == 0)
      bytes += t.liveBytes();
  });
  return bytes;
}

// --- start-up ------------------------------------------------------------------------------

void startupMapper(benchmark::State& state, std::size_t n) {
  Table& t = tableOf(n);
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  double perPrefix = 0;
  for (auto _ : state) {
    std::uint64_t const before = mapperBytes();
    auto mapper = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, t.status, out);
    state.PauseTiming();
    perPrefix = static_cast<double>(mapperBytes() - before) / static_cast<double>(t.n);
    mapper.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_prefix"] = perPrefix;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.n));
}

void startupBaseline(benchmark::State& state, std::size_t n) {
  Table& t = tableOf(n);
  double perPrefix = 0;
  for (auto _ : state) {
    std::int64_t const before = baselineBytes;
    auto baseline = std::make_unique<BaselineMapper>(AddressFamily::ipv4, *t.status);
    state.PauseTiming();
    perPrefix = static_cast<double>(baselineBytes - before) / static_cast<double>(t.n);
    baseline.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_prefix"] = perPrefix;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.n));
}

// --- churn -------------------------------------------------------------------------------

// The same event stream for every implementation: moves and removals of
// present segments, re-adds of removed ones.
class Churn {
 public:
  explicit Churn(Table& t) : t_(t), present_(t.n, true), rng_(7) {}
  void batch() {
    for (unsigned i = 0; i < kChurnBatch; ++i) {
      std::size_t const k = rng_() % t_.n;
      RouterId const& to = t_.universe.routers[rng_() % t_.universe.routers.size()];
      if (!present_[k]) {
        write(*t_.status, t_.universe, k, to);
        present_[k] = true;
      } else if (rng_() % 2 == 0) {
        write(*t_.status, t_.universe, k, to);
      } else {
        erase(*t_.status, t_.universe, k);
        present_[k] = false;
      }
    }
  }
  // Puts every removed segment back, untimed, for the next benchmark.
  void restore() {
    for (std::size_t k = 0; k < t_.n; ++k) {
      if (!present_[k])
        write(*t_.status, t_.universe, k, t_.universe.routers[k / kPrefixesPerRouter]);
    }
  }

 private:
  Table& t_;
  std::vector<bool> present_;
  std::mt19937_64 rng_;
};

void churnMapper(benchmark::State& state, std::size_t n) {
  Table& t = tableOf(n);
  auto mapper = nodeSegmentReverseMapperFactory(AddressFamily::ipv4, t.status,
                                                routerToNodeSegmentMapPerAlgoFactory());
  Churn churn(t);
  for (auto _ : state)
    churn.batch();
  state.SetItemsProcessed(state.iterations() * kChurnBatch);
  mapper.reset();
  churn.restore();
}

void churnBaseline(benchmark::State& state, std::size_t n) {
  Table& t = tableOf(n);
  auto baseline = std::make_unique<BaselineMapper>(AddressFamily::ipv4, *t.status);
  Churn churn(t);
  for (auto _ : state)
    churn.batch();
  state.SetItemsProcessed(state.iterations() * kChurnBatch);
  baseline.reset();
  churn.restore();
}

void registerAll() {
  for (std::size_t n : {std::size_t{100000}, std::size_t{1000000}}) {
    std::string const size = std::to_string(n);
    int const iterations = n > 100000 ? 2 : 5;
    benchmark::RegisterBenchmark(("startup/NodeSegmentReverseMapper/" + size).c_str(),
                                 [n](benchmark::State& s) { startupMapper(s, n); })
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("startup/baseline-std/" + size).c_str(),
                                 [n](benchmark::State& s) { startupBaseline(s, n); })
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
  }
  // Table events per second on a table of 100k segments.
  benchmark::RegisterBenchmark("churn/NodeSegmentReverseMapper/100000", [](benchmark::State& s) {
    churnMapper(s, kChurnSize);
  })->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("churn/baseline-std/100000", [](benchmark::State& s) {
    churnBaseline(s, kChurnSize);
  })->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  Bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
