// The import of link-state exports (tools/srmap/TedImport.h, ImportRun.h),
// over the sample series of examples/ted:
//  - a malformed export is refused with its file and JSON path, and a run
//    that reaches it leaves the table and the maps as the export before it
//    left them (one case per rule);
//  - fields the import does not read change nothing; a removed field is
//    optional or refused as missing at its own path.
// The writes from one snapshot to another are judged by the fuzz target
// ted_import over every sample export, and counted in the import's golden
// output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include <unistd.h>

#include "ImportRun.h"
#include "TedImport.h"
#include "oracles/GenericText.h"

namespace {

using Json = nlohmann::json;
using Srmap::TedSnapshot;
namespace Sr = Kroma::SegmentRouting;

std::string const kTed = PATHKIT_TED_DIR;

// Every entry of the table, collection by collection, in key order.
std::vector<std::string> tableText(Sr::Status const& t) {
  std::vector<std::string> out;
  auto walk = [&](auto const& map, auto describe) {
    Kroma::IterHint hint;
    typename std::decay_t<decltype(map)>::Key k;
    for (bool more = map.firstKey(hint, k); more; more = map.nextKey(hint, k, k))
      out.push_back(describe(map.lookup(k)));
  };
  auto prefix = [](auto const& e) {
    std::string s = e.info().originator().toString() + " " + std::to_string(e.info().flags());
    for (auto const& r : e.info().records())
      s += " " + r.sid().toString() + "@" + std::to_string(r.algorithm);
    return s;
  };
  walk(t.prefixSegment(),
       [&](Sr::PrefixSegment const& e) { return e.key().toString() + prefix(e); });
  walk(t.prefixSegmentWithAlgo(),
       [&](Sr::PrefixSegmentWithAlgo const& e) { return e.key().toString() + prefix(e); });
  walk(t.ipv4AdjacencySegment(), [](Sr::AdjacencySegment const& e) { return "4 " + e.toString(); });
  walk(t.ipv6AdjacencySegment(), [](Sr::AdjacencySegment const& e) { return "6 " + e.toString(); });
  return out;
}

// A run of `srmap import FILES`: its log, the table and every map.
struct Outcome {
  Srmap::RunLog log;
  std::vector<std::string> table;
  std::vector<std::vector<Srmap::Leaf>> maps;
};
Outcome importRun(std::vector<std::string> const& files) {
  Outcome r;
  Srmap::World world([](Srmap::Change const&) {});
  Srmap::runScenario(Srmap::importScenario(files, {}), world, r.log);
  r.table = tableText(*world.table());
  for (Srmap::World::Root const& root : world.roots(false))
    r.maps.push_back(Srmap::flatten(*root.node));
  return r;
}

// A file of this process's own holding `content`; its path.
std::string written(std::string const& content) {
  static std::string const file =
      ::testing::TempDir() + "srmap_tests_" + std::to_string(::getpid()) + ".json";
  std::ofstream(file) << content;
  return file;
}

// Each case: a change to isis/2.json (a JSON pointer and its new value, or
// its removal), and the error that names it.
struct Malformed {
  char const* pointer;
  Json value;  // discarded (null) removes the member
  char const* error;
};

TEST(TedImport, MalformedExportIsRefusedWithItsPathAndChangesNothing) {
  Malformed const cases[] = {
      {"/ted/edges/3/segment-routing/0/flags", "0x3g",
       "edges[3].segment-routing[0].flags: not a hex number"},
      {"/ted/edges/3/segment-routing/0/flags", 48,
       "edges[3].segment-routing[0].flags: not a hex number"},
      {"/ted/edges/3/segment-routing/0/flags", "0x1ff",
       "edges[3].segment-routing[0].flags: '0x1ff' out of range (at most 0xff)"},
      {"/ted/edges/0/metric", Json::value_t::discarded, "edges[0].metric: missing"},
      {"/ted/edges/0/metric", 1.5, "edges[0].metric: not an integer"},
      {"/ted/edges/0/metric", -3, "edges[0].metric: -3 out of range (at most 4294967295)"},
      {"/ted/edges/0/remote-vertex-id", 99, "edges[0].remote-vertex-id: no vertex 99"},
      {"/ted/edges/0/origin", "ISIS_L3", "edges[0].origin: 'ISIS_L3' is not ISIS_L1 or ISIS_L2"},
      {"/ted/edges/0/advertised-router", "r1",
       "edges[0].advertised-router: 'r1' is not an IS-IS system id"},
      {"/ted/edges/0/advertised-router", "0000.0000.0009",
       "edges[2].advertised-router: 0000.0000.0001, but edges[0] advertises vertex 1 as "
       "0000.0000.0009"},
      {"/ted/edges/0/segment-routing/0/adj-sid", Json::value_t::discarded,
       "edges[0].segment-routing[0].adj-sid: missing"},
      {"/ted/edges/0/segment-routing/0/adj-sid", 2000000,
       "edges[0].segment-routing[0].adj-sid: 2000000 is not a label (at most 1048575)"},
      {"/ted/edges/0/segment-routing/0", 5, "edges[0].segment-routing[0]: not an object"},
      {"/ted/edges/0/edge-attributes/local-address", "10.0.12",
       "edges[0].edge-attributes.local-address: '10.0.12' is not an IPv4 address"},
      {"/ted/subnets/0/subnet-id", "10.0.255.1/33",
       "subnets[0].subnet-id: '10.0.255.1/33' is not a prefix"},
      {"/ted/subnets/0/segment-routing/pref-sid", 8000,
       "subnets[0].segment-routing.pref-sid: the index 8000 is outside the SRGB of "
       "0000.0000.0001 (8000 labels)"},
      {"/ted/subnets/0/segment-routing/algo", 256,
       "subnets[0].segment-routing.algo: 256 out of range (at most 255)"},
      {"/ted/vertices/0/segment-routing/srgb-lower", 1045000,
       "vertices[0].segment-routing.srgb-size: the SRGB ends beyond the largest label, 1048575"},
      {"/ted/vertices/0/segment-routing/srgb-size", Json::value_t::discarded,
       "vertices[0].segment-routing.srgb-size: missing"},
      {"/ted/vertices/1/vertex-id", 1, "vertices[1].vertex-id: 1 names two vertices"},
      {"/ted/name", "IS-IS", "name: 'IS-IS' is not ISIS or OSPF"},
      {"/ted/name", "\xEF\xBB\xBFISIS\n", "name: '\\xEF\\xBB\\xBFISIS\\x0A' is not ISIS or OSPF"},
      {"/ted/edges", Json::object(), "edges: not an array"},
      {"/ted", Json::array(), "ted: not an object"},
      {"/ted", Json::value_t::discarded, "not a TED export: no \"ted\" object"},
  };
  std::string const good = kTed + "/isis/1.json";
  Outcome const before = importRun({good});
  ASSERT_FALSE(before.log.error) << *before.log.error;
  Json const next = Json::parse(std::ifstream(kTed + "/isis/2.json"));
  for (Malformed const& c : cases) {
    Json bad = next;
    Json::json_pointer const at(c.pointer);
    if (c.value.is_discarded())
      bad[at.parent_pointer()].erase(at.back());
    else
      bad[at] = c.value;
    std::string const file = written(bad.dump(1));
    Outcome const after = importRun({good, file});
    ASSERT_TRUE(after.log.error) << c.pointer;
    EXPECT_EQ(*after.log.error, file + ": " + c.error);
    EXPECT_EQ(after.table, before.table) << c.pointer;
    EXPECT_EQ(after.maps, before.maps) << c.pointer;
  }
  // Not JSON at all: the line and column of the fault.
  std::string const file = written("{\"ted\": {\n  \"name\": \"ISIS\",\n  \"edges\": [}");
  Outcome const after = importRun({good, file});
  ASSERT_TRUE(after.log.error);
  EXPECT_EQ(after.log.error->rfind(file + ": not JSON: line 3, column 13: ", 0), 0u)
      << *after.log.error;
  EXPECT_EQ(after.table, before.table);
  std::filesystem::remove(file);
}

// Calls visit(pointer, path) for each member of each object below `j`, with
// the member's JSON pointer and the path an import error gives it.
void forEachMember(Json const& j, std::string const& pointer, std::string const& path,
                   std::function<void(std::string const&, std::string const&)> const& visit) {
  if (j.is_array()) {
    for (std::size_t i = 0; i < j.size(); ++i)
      forEachMember(j[i], pointer + "/" + std::to_string(i), path + "[" + std::to_string(i) + "]",
                    visit);
  } else if (j.is_object()) {
    for (auto const& [k, v] : j.items()) {
      std::string const p = path.empty() ? k : path + "." + k;
      visit(pointer + "/" + k, p);
      forEachMember(v, pointer + "/" + k, p, visit);
    }
  }
}

TEST(TedFields, UnreadFieldsChangeNothingAndRemovedOnesAreOptionalOrMissing) {
  for (char const* net : {"isis", "ospf"}) {
    std::string const file = kTed + "/" + net + "/2.json";
    Json const doc = Json::parse(std::ifstream(file));
    TedSnapshot const plain = Srmap::readTed(doc.dump(), file, {});
    // A field of every object that the import does not know.
    Json extra = doc;
    forEachMember(doc, "", "", [&](std::string const& pointer, std::string const&) {
      Json::json_pointer const at(pointer);
      if (extra[at].is_object())
        extra[at]["x-vendor"] = {{"nested", {1, 2}}, {"flags", "bad"}};
    });
    extra["x-top"] = 1;
    EXPECT_TRUE(Srmap::tableChanges(plain, Srmap::readTed(extra.dump(), file, {})).actions.empty());
    // Each member removed in turn: the export still reads, or is refused as
    // missing that member; an SRGB gone leaves index SIDs without labels,
    // the vertices gone leave edges and subnets naming none.
    forEachMember(doc["ted"], "/ted", "", [&](std::string const& pointer, std::string const& path) {
      Json cut = doc;
      Json::json_pointer const at(pointer);
      cut[at.parent_pointer()].erase(at.back());
      try {
        Srmap::readTed(cut.dump(), file, {});
      } catch (Srmap::ImportError const& e) {
        std::string const what = e.what();
        bool const srgb = what.find("needs an SRGB") != std::string::npos;
        bool const vertices =
            pointer == "/ted/vertices" && what.find(": no vertex ") != std::string::npos;
        EXPECT_TRUE(what == file + ": " + path + ": missing" || srgb || vertices)
            << pointer << ": " << what;
      }
    });
  }
}

}  // namespace
