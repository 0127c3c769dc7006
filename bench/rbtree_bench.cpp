// Vek::RbTreeMap against std::map<std::uint64_t, bool> on the same random
// 64-bit keys: look-up of present keys, insertion of all keys into an empty
// map, erasure of all keys from a full map. Building and tearing down happen
// outside the timed region.
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Granule/Slab.h"
#include "Vek/RbTreeMap.h"
#include "support/RatioReporter.h"

namespace {

class BenchMember : public Vek::RbTreeMember<BenchMember, std::uint64_t, bool>,
                    public Granule::SlabAllocated<BenchMember> {
 public:
  using RbTreeMember::RbTreeMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Bench::RbTreeMember"};
};

using Tree = Vek::RbTreeMap<BenchMember, std::uint64_t, bool>;
using StdMap = std::map<std::uint64_t, bool>;

// Distinct random keys, and the same keys in another random order for the
// look-ups and erasures, so neither follows the insertion order.
struct Keys {
  std::vector<std::uint64_t> insertOrder;
  std::vector<std::uint64_t> otherOrder;
};

Keys const& keysFor(std::size_t n) {
  static std::map<std::size_t, Keys> cache;
  Keys& keys = cache[n];
  if (keys.insertOrder.empty()) {
    std::mt19937_64 rng(n);
    std::map<std::uint64_t, bool> seen;
    while (keys.insertOrder.size() < n) {
      std::uint64_t const k = rng();
      if (seen.emplace(k, true).second)
        keys.insertOrder.push_back(k);
    }
    keys.otherOrder = keys.insertOrder;
    std::shuffle(keys.otherOrder.begin(), keys.otherOrder.end(), rng);
  }
  return keys;
}

void fill(Tree& m, std::vector<std::uint64_t> const& keys) {
  for (std::uint64_t k : keys)
    m.memberIs(k, true);
}
void fill(StdMap& m, std::vector<std::uint64_t> const& keys) {
  for (std::uint64_t k : keys)
    m.emplace(k, true);
}
bool lookup(Tree const& m, std::uint64_t k) {
  return m.find(k) != nullptr;
}
bool lookup(StdMap const& m, std::uint64_t k) {
  return m.find(k) != m.end();
}
void erase(Tree& m, std::uint64_t k) {
  m.memberDel(k);
}
void erase(StdMap& m, std::uint64_t k) {
  m.erase(k);
}

// One iteration: one look-up.
template <class Map>
void lookupBench(benchmark::State& state, std::size_t n) {
  Keys const& keys = keysFor(n);
  Map m;
  fill(m, keys.insertOrder);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup(m, keys.otherOrder[i]));
    if (++i == n)
      i = 0;
  }
}

// One iteration: n insertions into an empty map.
template <class Map>
void insertBench(benchmark::State& state, std::size_t n) {
  Keys const& keys = keysFor(n);
  for (auto _ : state) {
    Map m;
    fill(m, keys.insertOrder);
    state.PauseTiming();
    m = Map();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

// One iteration: n erasures from a full map.
template <class Map>
void eraseBench(benchmark::State& state, std::size_t n) {
  Keys const& keys = keysFor(n);
  for (auto _ : state) {
    state.PauseTiming();
    Map m;
    fill(m, keys.insertOrder);
    state.ResumeTiming();
    for (std::uint64_t k : keys.otherOrder)
      erase(m, k);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
}

template <class Map>
void registerAll(char const* impl) {
  for (std::size_t n : {std::size_t{1000}, std::size_t{100000}, std::size_t{1000000}}) {
    std::string const suffix = std::string("/") + impl + "/" + std::to_string(n);
    // Batches of 1M take about a second; few iterations give a stable ratio.
    std::int64_t const batches = n >= 1000000 ? 2 : (n >= 100000 ? 10 : 0);
    auto* look = benchmark::RegisterBenchmark(("lookup" + suffix).c_str(),
                                              [n](benchmark::State& s) { lookupBench<Map>(s, n); });
    auto* ins = benchmark::RegisterBenchmark(("insert" + suffix).c_str(),
                                             [n](benchmark::State& s) { insertBench<Map>(s, n); });
    auto* del = benchmark::RegisterBenchmark(("erase" + suffix).c_str(),
                                             [n](benchmark::State& s) { eraseBench<Map>(s, n); });
    look->MinTime(0.2);
    if (batches > 0) {
      ins->Iterations(batches);
      del->Iterations(batches);
    } else {
      ins->MinTime(0.2);
      del->MinTime(0.2);
    }
  }
}

int const registered = [] {
  registerAll<Tree>("RbTreeMap");
  registerAll<StdMap>("baseline-std::map");
  return 0;
}();

}  // namespace

PATHKIT_BENCHMARK_MAIN()
