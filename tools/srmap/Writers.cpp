#include "Writers.h"

#include <algorithm>
#include <map>
#include <set>

#include "VekPavo/Inspector.h"
#include "oracles/GenericText.h"

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;

void writeJsonList(std::ostream& out, std::vector<std::string> const& items) {
  out << "[";
  for (std::size_t i = 0; i < items.size(); ++i)
    out << (i == 0 ? "" : ",") << "\n    " << items[i];
  out << (items.empty() ? "]" : "\n  ]");
}

std::string jsonChange(Change const& c, std::string const& step) {
  std::string s = "{\"step\": " + jsonString(step) + ", \"path\": " + jsonString(c.path) +
                  ", \"field\": " + std::to_string(c.fieldId) +
                  ", \"attribute\": " + jsonString(c.attr) + ", \"key\": " + jsonString(c.key) +
                  ", \"change\": " + jsonString(changeKindName(c.kind));
  if (c.prior)
    s += ", \"prior\": " + jsonString(*c.prior);
  return s + "}";
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

}  // namespace

std::string jsonString(std::string_view text) {
  static char const hex[] = "0123456789abcdef";
  std::string s = "\"";
  for (char const ch : text) {
    auto const c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        s += "\\\"";
        break;
      case '\\':
        s += "\\\\";
        break;
      case '\n':
        s += "\\n";
        break;
      case '\t':
        s += "\\t";
        break;
      case '\r':
        s += "\\r";
        break;
      default:
        if (c < 0x20 || c >= 0x80) {
          // Other control bytes, and bytes that need not be UTF-8, as
          // escapes of their byte value: the output stays valid JSON.
          s += "\\u00";
          s += hex[c >> 4];
          s += hex[c & 15];
        } else {
          s += static_cast<char>(c);
        }
    }
  }
  return s + "\"";
}

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
  std::vector<std::string> changes;
  std::string step;
  for (auto const& event : log.events) {
    if (auto const* s = std::get_if<Step>(&event))
      step = s->text;
    else
      changes.push_back(jsonChange(std::get<Change>(event), step));
  }
  out << "{\n  \"changes\": ";
  writeJsonList(out, changes);
  out << ",\n  \"maps\": {";
  std::vector<World::Root> const roots = world.roots();
  for (std::size_t i = 0; i < roots.size(); ++i) {
    out << (i == 0 ? "" : ",") << "\n    " << jsonString(roots[i].name) << ": {";
    std::vector<Leaf> const leaves = flatten(*roots[i].node);
    for (std::size_t j = 0; j < leaves.size(); ++j)
      out << (j == 0 ? "" : ",") << "\n      " << jsonString(leaves[j].path) << ": "
          << jsonString(leaves[j].value);
    out << (leaves.empty() ? "}" : "\n    }");
  }
  out << (roots.empty() ? "}" : "\n  }") << ",\n  \"failures\": ";
  std::vector<std::string> failures;
  for (auto const& f : log.failures)
    failures.push_back("{\"where\": " + jsonString(f.where) + ", \"expectation\": " +
                       jsonString(f.text) + ", \"expected\": " + jsonString(f.expected) +
                       ", \"actual\": " + jsonString(f.actual) + "}");
  writeJsonList(out, failures);
  out << ",\n  \"error\": " << (log.error ? jsonString(*log.error) : "null");
  if (extras.check != nullptr) {
    std::vector<std::string> findings;
    for (std::string const& line : checkLines(*extras.check))
      findings.push_back(jsonString(line));
    out << ",\n  \"check\": ";
    writeJsonList(out, findings);
  }
  if (!extras.ring.empty()) {
    std::vector<std::string> ring;
    for (std::string const& line : extras.ring)
      ring.push_back(jsonString(line));
    out << ",\n  \"ring\": ";
    writeJsonList(out, ring);
  }
  out << "\n}\n";
}

void writeDot(std::ostream& out, World const& world) {
  // Sorted containers: the picture does not depend on hash order.
  std::map<std::pair<std::string, std::string>, std::set<std::string>> links;
  std::map<std::string, std::map<unsigned, std::set<std::string>>> routers;
  for (World::Root const& root : world.roots()) {
    if (root.family == nullptr)
      continue;
    if (root.kind == MapperKind::adj) {
      auto const& connector = *root.family->adjMap;
      for (auto p = connector.mapCollection().begin(); !p.atEnd(); ++p) {
        M::AdjSegmentListPerProtoId const& table = *p->value();
        for (auto l = table.adjSegmentListCollection().begin(); !l.atEnd(); ++l) {
          Cspf::LinkKey const& link = l->key();
          std::string label = root.name + " proto " + std::to_string(table.protoId()) + " link " +
                              std::to_string(link.linkId()) + ":";
          for (auto e = l->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e)
            label += " " + e->key().sid().toString() + (e->key().isLocal() ? "(local)" : "");
          links[{link.firstVertex().toString(), link.secondVertex().toString()}].insert(label);
        }
      }
    } else {
      auto const& perAlgo = *root.family->nodeMap;
      for (auto a = perAlgo.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
        M::RouterToNodeSegmentMap const& map = *a->value();
        for (auto r = map.prefixMapCollection().begin(); !r.atEnd(); ++r) {
          auto& prefixes = routers[r->key().toString()][map.algo()];
          for (auto p = r->value()->prefixCollection().begin(); !p.atEnd(); ++p)
            prefixes.insert(p->key().toString());
        }
      }
    }
  }
  out << "digraph srmap {\n  node [shape=box];\n";
  for (auto const& [router, algos] : routers) {
    std::string label = router;
    for (auto const& [algo, prefixes] : algos) {
      label += "\nalgo " + std::to_string(algo) + ":";
      for (std::string const& p : prefixes)
        label += " " + p;
    }
    out << "  " << dotString(router) << " [label=" << dotString(label) << "];\n";
  }
  for (auto const& [ends, labels] : links) {
    for (std::string const& label : labels)
      out << "  " << dotString(ends.first) << " -> " << dotString(ends.second)
          << " [label=" << dotString(label) << "];\n";
  }
  out << "}\n";
}

}  // namespace Srmap
