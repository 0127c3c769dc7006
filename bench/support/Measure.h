// The shared frame of the end-to-end benchmarks (library against plain
// implementations of the same job):
//   - registerRuns: one cold run per repetition. Everything a run needs is
//     built before its timed part (a new table, filled, and for a change run
//     a started mapper) and dropped after it, so no run reuses what the one
//     before built; only `run` is timed, and it returns how many events it
//     handled (keys walked, table writes made).
//   - measured: the timed part, also marked for callgrind (bench/callgrind.sh
//     counts the instructions of exactly that part).
//   - registerPhases, registerSides: the start-up and the change runs of one
//     side, of every side, at one size.
//   - takeFlag, runBenchmarks: a program's own flags, and the run.
//   - checkSame: the sides' results of one operation and size must be equal,
//     or the program stops; a faster side cannot be one that does less.
//   - Sink: what every observer and subscriber does with a change.
//   - trackedBytes, bucketBytes: the bytes the library's mapper types hold.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Containers.h"
#include "CountingAllocator.h"
#include "RatioReporter.h"
#include "Granule/AllocTrack.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define PATHKIT_BENCH_CALLGRIND 1
#else
#define PATHKIT_BENCH_CALLGRIND 0
#endif

namespace Bench {

// Counts the changes an observer is told, and how many came with a prior value.
struct Sink {
  std::uint64_t changes = 0;
  std::uint64_t priors = 0;
  void note(void const* prior) noexcept {
    ++changes;
    priors += prior != nullptr;
  }
};

// Runs the timed part; under callgrind (started with --instr-atstart=no) it
// alone is instrumented and its counts are dumped on their own.
template <class Fn>
std::size_t measured(Fn&& fn) {
#if PATHKIT_BENCH_CALLGRIND
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
#endif
  std::size_t const events = fn();
#if PATHKIT_BENCH_CALLGRIND
  CALLGRIND_DUMP_STATS_AT("measured");
  CALLGRIND_STOP_INSTRUMENTATION;
#endif
  return events;
}

// Registers `name` ("<operation>/<side>/<size>") as one run per repetition:
// setUp() untimed, run(world) timed, after(world) untimed, then the world is dropped.
template <class World>
void registerRuns(std::string const& name, std::function<std::unique_ptr<World>()> setUp,
                  std::function<std::size_t(World&)> run, std::function<void(World&)> after) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [setUp, run, after](benchmark::State& state) {
                                 std::unique_ptr<World> world = setUp();
                                 std::size_t events = 0;
                                 for (auto _ : state)
                                   events = measured([&] { return run(*world); });
                                 state.counters["events"] = static_cast<double>(events);
                                 after(*world);
                               })
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
}

// The first side to report a result for `what` sets it; every later one must equal it.
template <class Canon>
void checkSame(std::string const& what, std::string const& side, Canon canon) {
  static std::map<std::string, std::pair<std::string, Canon>> first;
  auto const [it, isFirst] = first.try_emplace(what, side, Canon());
  if (isFirst) {
    it->second.second = std::move(canon);
    return;
  }
  if (!(it->second.second == canon)) {
    std::fprintf(stderr, "check %s: %s and %s computed different results (%zu / %zu members)\n",
                 what.c_str(), it->second.first.c_str(), side.c_str(), it->second.second.size(),
                 canon.size());
    std::exit(1);
  }
}

// Registers both phases of one side at size n, over World, which offers
//   void apply(Op const&)  one table write
//   void start()           creates the mapper (the start-up build)
//   Canon canon() const    its results in one comparable, sorted form
// and Workload, with the vectors `initial` (the fill) and `changes`.
//   startup/<side>/<n>  a filled table; timed: start(); events: the n keys
//   change/<side>/<n>   a filled table and a started mapper; timed: every
//                       change; events: the changes
// Both check their result against the other sides', and a start-up then
// hands its world and its result's size to measureBytes.
template <class World, class Workload>
void registerPhases(std::string const& side, std::size_t n,
                    Workload const& (*workload)(std::size_t),
                    std::function<void(World&, std::size_t members)> measureBytes) {
  // Appended, not prepended: "/" + temporary makes g++ 12 at -O3 report a
  // false -Wrestrict inside the string's insert.
  std::string const size = std::string("/").append(std::to_string(n));
  std::string const at = " @ " + std::to_string(n);
  auto const filled = [n, workload] {
    auto w = std::make_unique<World>();
    for (auto const& op : workload(n).initial)
      w->apply(op);
    return w;
  };
  registerRuns<World>(
      "startup/" + side + size, filled,
      [n](World& w) {
        w.start();
        return n;
      },
      [side, at, measureBytes](World& w) {
        auto canon = w.canon();
        std::size_t const members = canon.size();
        checkSame("startup" + at, side, std::move(canon));
        measureBytes(w, members);
      });
  registerRuns<World>(
      "change/" + side + size,
      [filled] {
        auto w = filled();
        w->start();
        return w;
      },
      [n, workload](World& w) {
        auto const& changes = workload(n).changes;
        for (auto const& op : changes)
          w.apply(op);
        return changes.size();
      },
      [side, at](World& w) { checkSame("change" + at, side, w.canon()); });
}

// Registers the library's side and each plain side this build has, at size
// n: World is Library or Plain<containers>; measureBytes(world, n, members,
// side) runs after each start-up.
template <class Library, template <class> class Plain, class Workload, class MeasureBytes>
void registerSides(std::size_t n, Workload const& (*workload)(std::size_t),
                   MeasureBytes measureBytes) {
  auto const side = [&]<class World>(std::string const& name) {
    registerPhases<World>(name, n, workload,
                          [n, name, measureBytes](World& w, std::size_t members) {
                            measureBytes(w, n, members, name);
                          });
  };
  side.template operator()<Library>("pathkit");
  side.template operator()<Plain<StdContainers>>("baseline-plain-std");
#if PATHKIT_BENCH_ABSL
  side.template operator()<Plain<AbslContainers>>("baseline-plain-absl");
#endif
}

// Bytes in use by every tracked type whose name starts with `prefix`, each
// object counted as its 16-byte slab slot.
inline std::size_t trackedBytes(char const* prefix) {
  std::size_t bytes = 0;
  std::size_t const n = std::strlen(prefix);
  Vek::AllocTrackTypeInfo::forEach([&](Vek::AllocTrackTypeInfo const& t) {
    if (std::strncmp(t.typeName(), prefix, n) != 0 || t.liveObjects() == 0)
      return;
    bytes += (t.liveBytes() / t.liveObjects() + 15) / 16 * 16 * t.liveObjects();
  });
  return bytes;
}
// Bytes of a bucket array of `count` pointers: a slab slot up to 1 KiB, a
// C library chunk above.
inline std::size_t bucketBytes(std::size_t count) {
  std::size_t const bytes = count * sizeof(void*);
  return bytes == 0 ? 0 : bytes <= 1024 ? (bytes + 15) / 16 * 16 : chunkOf(bytes);
}

// Whether `flag` is among the arguments; takes it out of them.
inline bool takeFlag(int& argc, char** argv, char const* flag) {
  bool found = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], flag) == 0)
      found = true;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  return found;
}

// Runs what was registered and reports it with RatioReporter. Where the
// caller gave none, this program's defaults are added: five repetitions,
// interleaved in random order, so that a load that comes and goes on a
// shared machine spreads over every side. Returns the exit status.
inline int runBenchmarks(int argc, char** argv) {
#if PATHKIT_BENCH_ABSL
  std::printf("plain sides: std containers, Abseil containers\n");
#else
  std::printf(
      "plain sides: std containers only (Abseil was not found when this was built; "
      "scripts/deps.sh installs libabsl-dev)\n");
#endif
  static char repetitions[] = "--benchmark_repetitions=5";
  static char interleaving[] = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> args(argv, argv + argc);
  auto const given = [&](char const* flag) {
    return std::any_of(args.begin(), args.end(), [&](char const* a) {
      return std::strncmp(a, flag, std::strlen(flag)) == 0;
    });
  };
  if (!given("--benchmark_repetitions"))
    args.push_back(repetitions);
  if (!given("--benchmark_enable_random_interleaving"))
    args.push_back(interleaving);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data()))
    return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace Bench
