// Ratio reporting for benchmarks: every result is read against a baseline
// measured in the same run, never as an absolute time.
//
// Name benchmarks "<operation>/<implementation>/<size>"; every implementation
// whose name starts with "baseline" is a reference for its operation and
// size. After the normal console output the program prints, per operation
// and size, each implementation's CPU time per iteration over its
// repetitions (min / median / max; per event too when the benchmark sets the
// counter "events"), then each other implementation's median and min divided
// by each baseline's (below 1.0: faster than that baseline).
//
//   benchmark::RegisterBenchmark("lookup/HashMap2018/1000", fn)->Arg(1000);
//   benchmark::RegisterBenchmark("lookup/baseline-unordered_map/1000", fn)->Arg(1000);
//   PATHKIT_BENCHMARK_MAIN()
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(std::vector<Run> const& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (Run const& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0)
        continue;
      std::string const name = run.benchmark_name();
      // "<operation>/<implementation>/<size>[/...]"
      std::size_t const a = name.find('/');
      std::size_t const b = a == std::string::npos ? a : name.find('/', a + 1);
      if (b == std::string::npos)
        continue;
      std::size_t const c = name.find('/', b + 1);  // "/iterations:1" and the like follow
      std::string const group = name.substr(0, a) + " @ " + name.substr(b + 1, c - b - 1);
      std::string const impl = name.substr(a + 1, b - a - 1);
      // CPU time: the machine may be shared, and every benchmark here runs
      // on one thread.
      Samples& s = groups_[group][impl];
      s.seconds.push_back(run.cpu_accumulated_time / static_cast<double>(run.iterations));
      if (auto const e = run.counters.find("events"); e != run.counters.end())
        s.events = e->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf(
        "\nCPU time per iteration over the repetitions, min / median / max"
        " (and per event):\n");
    for (auto& [group, impls] : groups_) {
      for (auto& [impl, s] : impls) {
        std::sort(s.seconds.begin(), s.seconds.end());
        std::printf("  %-24s %-28s %3zu x %11.4g / %11.4g / %11.4g s", group.c_str(), impl.c_str(),
                    s.seconds.size(), s.seconds.front(), s.median(), s.seconds.back());
        if (s.events > 0) {
          std::printf("   %9.1f / %9.1f / %9.1f ns per event (%.0f events)",
                      s.seconds.front() * 1e9 / s.events, s.median() * 1e9 / s.events,
                      s.seconds.back() * 1e9 / s.events, s.events);
        }
        std::printf("\n");
      }
    }
    std::printf("\nRatios against each baseline of the same run, median (min):\n");
    for (auto const& [group, impls] : groups_) {
      for (auto const& [base, b] : impls) {
        if (base.rfind("baseline", 0) != 0)
          continue;
        for (auto const& [impl, s] : impls) {
          if (impl.rfind("baseline", 0) == 0)
            continue;
          std::printf("  %-24s %-22s / %-28s %6.2f (%.2f)\n", group.c_str(), impl.c_str(),
                      base.c_str(), s.median() / b.median(), s.seconds.front() / b.seconds.front());
        }
      }
    }
  }

 private:
  struct Samples {
    std::vector<double> seconds;  // sorted in Finalize
    double events = 0;
    double median() const {
      std::size_t const n = seconds.size();
      return n % 2 == 1 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    }
  };
  std::map<std::string, std::map<std::string, Samples>> groups_;
};

}  // namespace Bench

#define PATHKIT_BENCHMARK_MAIN()                            \
  int main(int argc, char** argv) {                         \
    benchmark::Initialize(&argc, argv);                     \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) \
      return 1;                                             \
    Bench::RatioReporter reporter;                          \
    benchmark::RunSpecifiedBenchmarks(&reporter);           \
    benchmark::Shutdown();                                  \
    return 0;                                               \
  }
