// The import of a large link-state (TED) export, end to end, against the
// JSON parse alone: parsing the document is what any tool on such an export
// pays anyway, so the import is measured as a multiple of it. The export is
// generated in memory as `srmap gen-ted` writes it (tools/srmap/GenTed.h):
// 10000 routers, 40000 links (80000 edges, each with an adjacency SID),
// 20000 prefix SIDs in algorithms 0 and 128; some 40 MB of JSON.
//
//   import/baseline-parse/N  the text to a JSON document (nlohmann-json's
//                            parse; the document is dropped untimed)
//   import/table/N           the text to table entries (one pass of the
//                            same parser's events, no document), written
//                            into an empty status table
//   import/startup/N         the four mappers (node segments and adjacency
//                            segments, IPv4 and IPv6) started over that table
//   import/whole/N           all three, one after the other
// events: the table entries. Each repetition is cold: what a run reads is
// built untimed before it and dropped after it. After the runs the program
// prints min / median / max per phase, the ratios against the parse (the
// whole import's must stay within 2.5), and the peak resident memory of the
// whole runs (VmHWM, reset before each; the export's text is in memory
// throughout and counted).
//
//   build/release/bench/ted_import_bench [--routers N] [--benchmark_repetitions=7]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "GenTed.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "TedImport.h"
#include "support/Measure.h"
#include "support/RatioReporter.h"

namespace {

namespace M = SegmentRouting::Mappers;
using Vantre::AddressFamily;

std::string const* gText = nullptr;
std::size_t gEntries = 0;  // the table entries the export stands for
std::vector<double> gPeakMiB;

// One import's state; each phase fills what the next reads.
struct Import {
  nlohmann::json doc;  // the baseline's
  Srmap::TedSnapshot snapshot;
  Pavo::Ptr<Kroma::SegmentRouting::Status> table = Kroma::SegmentRouting::Status::StatusIs();
  Pavo::Ptr<M::RouterToNodeSegmentMapPerAlgo> nodeMaps[2] = {
      M::routerToNodeSegmentMapPerAlgoFactory(), M::routerToNodeSegmentMapPerAlgoFactory()};
  Pavo::Ptr<M::AdjSegmentConnectorMapV2> adjMaps[2] = {M::adjSegmentConnectorMapV2Factory(),
                                                       M::adjSegmentConnectorMapV2Factory()};
  Pavo::Ptr<M::NodeSegmentReverseMapper> nodeMappers[2];
  Pavo::Ptr<M::AdjacencySegmentMapperV2> adjMappers[2];

  std::size_t entries() const { return snapshot.prefixes.size() + snapshot.adjacencies.size(); }
  std::size_t fill() {
    snapshot = Srmap::readTed(*gText, "generated.json", {});
    Srmap::fillTable(*table, snapshot);
    return entries();
  }
  std::size_t start() {
    Pavo::Ptr<Kroma::SegmentRouting::Status const> const t(table);
    for (int i = 0; i < 2; ++i) {
      AddressFamily const af = i == 0 ? AddressFamily::ipv4 : AddressFamily::ipv6;
      nodeMappers[i] = M::nodeSegmentReverseMapperFactory(af, t, nodeMaps[i]);
      adjMappers[i] = M::adjacencySegmentMapperV2Factory(af, t, adjMaps[i]);
    }
    return entries();
  }
};

// The process's peak resident set, in KiB, from /proc (0 where there is none).
double peakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0)
      return std::stod(line.substr(6));
  }
  return 0;
}
// Lets the peak start again from the current resident set.
void resetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void registerAll(std::size_t routers) {
  std::string const n = "/" + std::to_string(routers);
  auto const none = [](Import&) {};
  Bench::registerRuns<Import>(
      "import/baseline-parse" + n, [] { return std::make_unique<Import>(); },
      [](Import& i) {
        i.doc = nlohmann::json::parse(*gText);
        return gEntries;
      },
      none);
  Bench::registerRuns<Import>(
      "import/table" + n, [] { return std::make_unique<Import>(); },
      [](Import& i) { return i.fill(); }, none);
  Bench::registerRuns<Import>(
      "import/startup" + n,
      [] {
        auto i = std::make_unique<Import>();
        i->fill();
        return i;
      },
      [](Import& i) { return i.start(); }, none);
  Bench::registerRuns<Import>(
      "import/whole" + n,
      [] {
        resetPeak();
        return std::make_unique<Import>();
      },
      [](Import& i) {
        i.fill();
        return i.start();
      },
      [](Import&) { gPeakMiB.push_back(peakKiB() / 1024); });
}

}  // namespace

int main(int argc, char** argv) {
  Srmap::GenTedOptions gen;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--routers") == 0) {
      gen.routers = std::stoul(argv[i + 1]);
      gen.links = 4 * gen.routers;
      std::copy(argv + i + 2, argv + argc, argv + i);
      argc -= 2;
      break;
    }
  }
  std::string const text = Srmap::genTed(gen);
  gText = &text;
  gEntries = 2 * gen.routers + 2 * gen.links;
  std::printf("export: %zu routers, %zu links, %.1f MiB of JSON\n", gen.routers, gen.links,
              static_cast<double>(text.size()) / (1 << 20));
  registerAll(gen.routers);
  std::vector<char*> args(argv, argv + argc);
  static char repetitions[] = "--benchmark_repetitions=5";
  if (std::none_of(args.begin(), args.end(),
                   [](char const* a) { return std::strstr(a, "repetitions") != nullptr; }))
    args.push_back(repetitions);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data()))
    return 1;
  Bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  std::sort(gPeakMiB.begin(), gPeakMiB.end());
  if (!gPeakMiB.empty())
    std::printf(
        "\nPeak resident memory of a whole import, min / median / max: %.0f / %.0f / "
        "%.0f MiB (the export's text included)\n",
        gPeakMiB.front(), gPeakMiB[gPeakMiB.size() / 2], gPeakMiB.back());
  return 0;
}
