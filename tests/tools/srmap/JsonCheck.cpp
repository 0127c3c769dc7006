// Checks one JSON output of srmap against the structure docs/scenario.md
// gives it, and against the text output of the same run: every change and
// every check finding the text shows must come back, line for line, from the
// JSON's fields (paths rebuilt from their {attribute, key} steps).
//
//   srmap_json_check RUN.json RUN.txt      exit 0 when both agree
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

void require(bool holds, std::string const& what) {
  if (!holds)
    throw std::runtime_error(what);
}

std::string text(Json const& j, char const* field) {
  require(j.contains(field) && j[field].is_string(), std::string("no text field ") + field);
  return j[field].get<std::string>();
}

// "attr[key]/attr[key]" from a path's steps.
std::string pathText(Json const& path) {
  require(path.is_array(), "a path is not an array");
  std::string out;
  for (Json const& step : path) {
    require(step.is_object() && step.size() == 2, "a path step is not {attribute, key}");
    if (!out.empty())
      out += '/';
    out += text(step, "attribute");
    out += '[';
    out += text(step, "key");
    out += ']';
  }
  return out;
}

std::vector<std::string> changeLines(Json const& changes, std::vector<std::string>& steps) {
  require(changes.is_array(), "changes is not an array");
  std::vector<std::string> lines;
  for (Json const& c : changes) {
    std::string const path = pathText(c.at("path"));
    require(c.at("field").is_number_unsigned(), "field is not a number");
    std::string const kind = text(c, "change");
    require(kind == "added" || kind == "replaced" || kind == "removed", "bad change " + kind);
    std::string line = text(c, "map") + (path.empty() ? "" : "/") + path + " " +
                       std::to_string(c["field"].get<unsigned>()) + " " + text(c, "attribute") +
                       "[" + text(c, "key") + "] " + kind;
    if (c.contains("prior"))
      line += " (was " + text(c, "prior") + ")";
    lines.push_back(line);
    steps.push_back(text(c, "step"));
  }
  return lines;
}

std::vector<std::string> checkLines(Json const& check) {
  std::vector<std::string> lines;
  for (Json const& d : check.at("differences"))
    lines.push_back("difference " + text(d, "map") + " " + pathText(d.at("path")) + ": live " +
                    text(d, "live") + ", rebuilt " + text(d, "rebuilt"));
  for (Json const& i : check.at("invariants"))
    lines.push_back("invariant " + text(i, "map") + ": " + text(i, "violation"));
  for (Json const& s : check.at("sharedSids")) {
    Json const& links = s.at("links");
    std::string line = "shared-sid " + text(s, "map") + " proto " +
                       std::to_string(s.at("proto").get<unsigned>()) + " " + text(s, "key") + ": " +
                       std::to_string(links.size()) + " links: ";
    for (std::size_t i = 0; i < links.size(); ++i)
      line += (i == 0 ? "" : "; ") + links[i].get<std::string>();
    lines.push_back(line);
  }
  return lines;
}

void checkMaps(Json const& maps) {
  require(maps.is_object(), "maps is not an object");
  for (auto const& [name, members] : maps.items()) {
    require(members.is_array(), "map " + name + " is not an array");
    for (Json const& m : members) {
      require(!pathText(m.at("path")).empty(), "a member of " + name + " has no path");
      text(m, "value");
    }
  }
}

struct TextRun {
  std::vector<std::string> changes;
  std::vector<std::string> steps;  // the step each change came in
  std::vector<std::string> findings;
};

TextRun readText(std::istream& in) {
  TextRun run;
  std::string step;
  enum { changes, maps, check, ring } part = changes;
  for (std::string line; std::getline(in, line);) {
    if (line.empty())
      continue;
    if (line.rfind("-- ", 0) == 0) {
      part = line == "-- final maps"            ? maps
             : line.rfind("-- check: ", 0) == 0 ? check
             : line == "-- ring buffer"         ? ring
                                                : part;
      if (part == changes)
        step = line.substr(3);
    } else if (part == changes) {
      run.changes.push_back(line);
      run.steps.push_back(step);
    } else if (part == check) {
      run.findings.push_back(line);
    }
  }
  return run;
}

void same(std::vector<std::string> const& json, std::vector<std::string> const& text,
          char const* what) {
  for (std::size_t i = 0; i < json.size() || i < text.size(); ++i) {
    std::string const j = i < json.size() ? json[i] : "(none)";
    std::string const t = i < text.size() ? text[i] : "(none)";
    require(j == t, std::string(what) + " " + std::to_string(i) + ": JSON gives\n  " + j +
                        "\nthe text shows\n  " + t);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: srmap_json_check RUN.json RUN.txt\n";
    return 2;
  }
  try {
    std::ifstream jsonFile(argv[1]);
    std::ifstream textFile(argv[2]);
    require(jsonFile && textFile, "cannot read the outputs");
    Json const doc = Json::parse(jsonFile);
    require(doc.is_object(), "not one object");
    std::vector<std::string> steps;
    TextRun const run = readText(textFile);
    same(changeLines(doc.at("changes"), steps), run.changes, "change");
    same(steps, run.steps, "step of change");
    checkMaps(doc.at("maps"));
    require(doc.at("failures").is_array(), "failures is not an array");
    for (Json const& f : doc["failures"]) {
      for (char const* field : {"where", "expectation", "expected", "actual"})
        text(f, field);
    }
    require(doc.at("error").is_null() || doc["error"].is_string(), "error is not null or text");
    if (doc.contains("check"))
      same(checkLines(doc["check"]), run.findings, "check finding");
    if (doc.contains("ring"))
      require(doc["ring"].is_array() && !doc["ring"].empty(), "ring is not a list of lines");
  } catch (std::exception const& e) {
    std::cerr << argv[1] << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
