#include "Writers.h"

#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "VekPavo/Inspector.h"
#include "oracles/GenericText.h"

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;
// Keys in the order written: the output reads like the structure it documents.
using Json = nlohmann::ordered_json;

Json pathJson(Path const& path) {
  Json steps = Json::array();
  for (PathStep const& step : path)
    steps.push_back({{"attribute", step.attribute}, {"key", step.key}});
  return steps;
}

Json changeJson(Change const& c, std::string const& step) {
  Json j = {{"step", step},
            {"map", c.map},
            {"path", pathJson(c.path)},
            {"field", c.fieldId},
            {"attribute", c.attr},
            {"key", c.key},
            {"change", changeKindName(c.kind)}};
  if (c.prior)
    j["prior"] = *c.prior;
  return j;
}

Json checkJson(CheckResult const& result) {
  Json differences = Json::array();
  for (auto const& d : result.differences) {
    differences.push_back(
        {{"map", d.map}, {"path", pathJson(d.path)}, {"live", d.live}, {"rebuilt", d.rebuilt}});
  }
  Json invariants = Json::array();
  for (auto const& i : result.invariants)
    invariants.push_back({{"map", i.map}, {"violation", i.violation}});
  Json shared = Json::array();
  for (auto const& s : result.sharedSids)
    shared.push_back({{"map", s.map}, {"proto", s.proto}, {"key", s.key}, {"links", s.links}});
  return {{"differences", differences}, {"invariants", invariants}, {"sharedSids", shared}};
}

std::string dotString(std::string_view text) {
  std::string s = "\"";
  for (char c : text) {
    if (c == '\n') {
      s += "\\n";  // a line break inside a label
      continue;
    }
    if (c == '"' || c == '\\')
      s += '\\';
    s += c;
  }
  return s + "\"";
}

// The CSPF vertex a router id names, as link endpoints print it, so that a
// router's box and its links meet; a router id of another form keeps its
// own text.
std::string vertexText(Mpls::RouterId const& router) {
  switch (router.af()) {
    case Mpls::RouterId::kAfIpv4:
      return Cspf::VertexIdentifierBase::fromIpv4RouterId(router.rtrIdValue()).toString();
    case Mpls::RouterId::kAfIsis:
      return Cspf::VertexIdentifierBase(router.isisSystemId()).toString();
    default:
      return router.toString();
  }
}

constexpr char kDotLegend[] =
    "box: a router, with the prefixes of the node segments it originates\\l"
    "  per algorithm (algo A: ...), IPv4 before IPv6, by address\\l"
    "arrow: a link, first vertex -> second vertex, one label per map and\\l"
    "  protocol instance: MAP proto P link ID: its adjacency SIDs\\l"
    "  (SID/0xFF: the SID's flag byte; (local): filed as local)\\l";

}  // namespace

void writeText(std::ostream& out, RunLog const& log, World const& world, Extras const& extras) {
  for (auto const& event : log.events) {
    if (auto const* step = std::get_if<Step>(&event))
      out << "\n-- " << step->text << "\n";
    else
      out << changeLine(std::get<Change>(event)) << "\n";
  }
  out << "\n-- final maps\n";
  for (World::Root const& root : world.roots())
    out << root.name << ": " << Pavo::Inspect::inspect(*root.node);
  if (extras.check != nullptr) {
    std::vector<std::string> const lines = checkLines(*extras.check);
    out << "\n-- check: " << (lines.empty() ? "live maps equal their rebuilds" : "findings")
        << "\n";
    for (std::string const& line : lines)
      out << line << "\n";
  }
  if (!extras.ring.empty()) {
    out << "\n-- ring buffer\n";
    for (std::string const& line : extras.ring)
      out << line << "\n";
  }
}

void writeJson(std::ostream& out, RunLog const& log, World const& world, Extras const& extras) {
  Json changes = Json::array();
  std::string step;
  for (auto const& event : log.events) {
    if (auto const* s = std::get_if<Step>(&event))
      step = s->text;
    else
      changes.push_back(changeJson(std::get<Change>(event), step));
  }
  Json maps = Json::object();
  for (World::Root const& root : world.roots()) {
    Json members = Json::array();
    for (Leaf const& leaf : flatten(*root.node))
      members.push_back({{"path", pathJson(leaf.path)}, {"value", leaf.value}});
    maps[root.name] = std::move(members);
  }
  Json failures = Json::array();
  for (auto const& f : log.failures) {
    failures.push_back({{"where", f.where},
                        {"expectation", f.text},
                        {"expected", f.expected},
                        {"actual", f.actual}});
  }
  Json doc = {{"changes", std::move(changes)},
              {"maps", std::move(maps)},
              {"failures", std::move(failures)},
              {"error", log.error ? Json(*log.error) : Json(nullptr)}};
  if (extras.check != nullptr)
    doc["check"] = checkJson(*extras.check);
  if (!extras.ring.empty())
    doc["ring"] = extras.ring;
  // Texts from a scenario file need not be UTF-8: such bytes are replaced,
  // so that the output stays JSON.
  out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

void writeDot(std::ostream& out, World const& world) {
  // Sorted containers: the picture does not depend on hash order.
  using Prefixes = std::map<unsigned, std::set<Vantre::IpGenPrefix>>;  // per algorithm
  std::map<std::string, std::map<std::string, Prefixes>> boxes;        // vertex -> router -> ...
  std::map<std::pair<std::string, std::string>, std::set<std::string>> links;
  for (World::Root const& root : world.roots()) {
    if (root.family == nullptr)
      continue;
    if (root.kind == MapperKind::adj) {
      auto const& connector = *root.family->adjMap;
      for (auto p = connector.mapCollection().begin(); !p.atEnd(); ++p) {
        M::AdjSegmentListPerProtoId const& table = *p->value();
        for (auto l = table.adjSegmentListCollection().begin(); !l.atEnd(); ++l) {
          Cspf::LinkKey const& link = l->key();
          // Appended piece by piece: g++ 12 at -O3 takes "text" + a temporary
          // string for overlapping copies (-Wrestrict).
          std::string label = root.name;
          label += " proto ";
          label += std::to_string(table.protoId());
          label += " link ";
          label += std::to_string(link.linkId());
          label += ':';
          for (auto e = l->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e) {
            label += ' ';
            label += e->key().sid().toString();
            if (e->key().isLocal())
              label += "(local)";
          }
          links[{link.firstVertex().toString(), link.secondVertex().toString()}].insert(label);
        }
      }
    } else {
      auto const& perAlgo = *root.family->nodeMap;
      for (auto a = perAlgo.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
        M::RouterToNodeSegmentMap const& map = *a->value();
        for (auto r = map.prefixMapCollection().begin(); !r.atEnd(); ++r) {
          auto& prefixes = boxes[vertexText(r->key())][r->key().toString()][map.algo()];
          for (auto p = r->value()->prefixCollection().begin(); !p.atEnd(); ++p)
            prefixes.insert(p->key());
        }
      }
    }
  }
  out << "digraph srmap {\n  node [shape=box];\n";
  for (auto const& [vertex, routers] : boxes) {
    // Named by its router id as the node-segment maps know it (its link
    // endpoints name the vertex); two router ids of one vertex share it.
    std::string label;
    for (auto const& [router, algos] : routers) {
      if (!label.empty())
        label += '\n';
      label += router;
      for (auto const& [algo, prefixes] : algos) {
        label += "\nalgo ";
        label += std::to_string(algo);
        label += ':';
        for (Vantre::IpGenPrefix const& p : prefixes) {
          label += ' ';
          label += p.toString();
        }
      }
    }
    out << "  " << dotString(vertex) << " [label=" << dotString(label) << "];\n";
  }
  for (auto const& [ends, labels] : links) {
    for (std::string const& label : labels)
      out << "  " << dotString(ends.first) << " -> " << dotString(ends.second)
          << " [label=" << dotString(label) << "];\n";
  }
  out << "  subgraph cluster_legend {\n    label=\"legend\";\n    style=dashed;\n"
      << "    legend [shape=note, label=\"" << kDotLegend << "\"];\n  }\n}\n";
}

}  // namespace Srmap
