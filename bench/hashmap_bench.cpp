// Vek::HashMap2018 against std::unordered_map<Key, bool> on the same keys:
// look-up (hits, in shuffled order), insertion of N keys into an empty map,
// and removal of all N keys. Building and tearing down the maps around the
// measured part is not timed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "Granule/Slab.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"
#include "support/RatioReporter.h"

namespace {

using Key = std::uint64_t;

class BenchNode : public Vek::HashMapMember<BenchNode, Key, bool>,
                  public Granule::SlabAllocated<BenchNode> {
 public:
  using HashMapMember::HashMapMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Bench::BenchNode"};
};

using Map = Vek::HashMap2018<BenchNode, Key, Vek::IntegerKeyOps<Key, 3997538310u>>;
using StdMap = std::unordered_map<Key, bool>;

// N distinct keys in random order; the same N gives the same keys to both maps.
std::vector<Key> keysFor(std::size_t n) {
  std::mt19937_64 rng(n);
  std::vector<Key> keys(n);
  for (Key& k : keys)
    k = rng();
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::shuffle(keys.begin(), keys.end(), rng);
  return keys;
}

std::vector<Key> shuffled(std::vector<Key> keys) {
  std::shuffle(keys.begin(), keys.end(), std::mt19937_64(17));
  return keys;
}

void fill(Map& map, std::vector<Key> const& keys) {
  for (Key k : keys)
    map.memberIs(Pavo::makePtr<BenchNode>(k, true));
}
void fill(StdMap& map, std::vector<Key> const& keys) {
  for (Key k : keys)
    map.emplace(k, true);
}

template <class M>
bool lookup(M const& map, Key k) {
  if constexpr (std::is_same_v<M, Map>) {
    return map.find(k) != nullptr;
  } else {
    return map.find(k) != map.end();
  }
}
template <class M>
bool erase(M& map, Key k) {
  if constexpr (std::is_same_v<M, Map>) {
    return static_cast<bool>(map.memberDel(k));
  } else {
    return map.erase(k) != 0;
  }
}

template <class M>
void lookupBench(benchmark::State& state, std::size_t n) {
  std::vector<Key> const keys = keysFor(n);
  std::vector<Key> const probes = shuffled(keys);
  M map;
  fill(map, keys);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookup(map, probes[i]));
    if (++i == probes.size())
      i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}

template <class M>
void insertBench(benchmark::State& state, std::size_t n) {
  std::vector<Key> const keys = keysFor(n);
  for (auto _ : state) {
    M map;
    fill(map, keys);
    benchmark::DoNotOptimize(&map);
    state.PauseTiming();
    map = M();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}

template <class M>
void eraseBench(benchmark::State& state, std::size_t n) {
  std::vector<Key> const keys = keysFor(n);
  std::vector<Key> const order = shuffled(keys);
  for (auto _ : state) {
    state.PauseTiming();
    M map;
    fill(map, keys);
    state.ResumeTiming();
    for (Key k : order)
      benchmark::DoNotOptimize(erase(map, k));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(keys.size()));
}

template <class M>
void registerAll(char const* impl) {
  for (std::size_t n : {std::size_t{1000}, std::size_t{100000}, std::size_t{1000000}}) {
    std::string const tail = std::string("/") + impl + "/" + std::to_string(n);
    benchmark::RegisterBenchmark(("lookup" + tail).c_str(),
                                 [n](benchmark::State& s) { lookupBench<M>(s, n); });
    benchmark::RegisterBenchmark(("insert" + tail).c_str(),
                                 [n](benchmark::State& s) { insertBench<M>(s, n); });
    benchmark::RegisterBenchmark(("erase" + tail).c_str(),
                                 [n](benchmark::State& s) { eraseBench<M>(s, n); });
  }
}

[[maybe_unused]] int const registered =
    (registerAll<Map>("HashMap2018"), registerAll<StdMap>("baseline-std::unordered_map"), 0);

}  // namespace

PATHKIT_BENCHMARK_MAIN()
