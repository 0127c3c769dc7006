// Ratio reporting for benchmarks: every result is read against a baseline
// measured in the same run, never as an absolute time.
//
// Name benchmarks "<operation>/<implementation>/<size>"; the implementation
// whose name starts with "baseline" is the reference for its operation and
// size. After the normal console output the program prints, per operation and
// size, each implementation's time per iteration divided by the baseline's
// (below 1.0: faster than the baseline).
//
//   benchmark::RegisterBenchmark("lookup/HashMap2018/1000", fn)->Arg(1000);
//   benchmark::RegisterBenchmark("lookup/baseline-unordered_map/1000", fn)->Arg(1000);
//   PATHKIT_BENCHMARK_MAIN()
#pragma once

#include <benchmark/benchmark.h>

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
      if (run.run_type != Run::RT_Iteration || run.error_occurred)
        continue;
      std::string const name = run.benchmark_name();
      // "<operation>/<implementation>/<size>[/...]"
      std::size_t const a = name.find('/');
      std::size_t const b = a == std::string::npos ? a : name.find('/', a + 1);
      if (b == std::string::npos)
        continue;
      std::string const op = name.substr(0, a);
      std::string const impl = name.substr(a + 1, b - a - 1);
      std::string const size = name.substr(b + 1);
      // CPU time: the machine may be shared, and every benchmark here runs
      // on one thread.
      times_[op + " @ " + size].emplace_back(impl, run.GetAdjustedCPUTime());
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nRatios against the baseline of the same run (CPU time / baseline CPU time):\n");
    for (auto const& [group, impls] : times_) {
      double base = 0;
      for (auto const& [impl, t] : impls) {
        if (impl.rfind("baseline", 0) == 0)
          base = t;
      }
      if (base <= 0)
        continue;
      for (auto const& [impl, t] : impls) {
        if (impl.rfind("baseline", 0) == 0)
          continue;
        std::printf("  %-40s %-28s %6.2f\n", group.c_str(), impl.c_str(), t / base);
      }
    }
  }

 private:
  std::map<std::string, std::vector<std::pair<std::string, double>>> times_;
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
