// srmap: replays segment-routing scenarios through the mappers and shows
// their work: every published change, then the final maps. Without a command
// it plays the built-in scenario; `replay FILE` plays a scenario file (`-`:
// standard input); `check FILE` plays it, then compares every live map with
// a rebuild and checks its mapper's invariants. `import FILE...` plays
// link-state exports as successive snapshots of one network, `query` asks
// the maps of a played network, `gen-ted` writes a large synthetic export.
// The format and the exit statuses: docs/scenario.md, docs/ted-import.md.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Check.h"
#include "DefaultScenario.h"
#include "GenTed.h"
#include "ImportRun.h"
#include "Nimblog/Nimblog.h"
#include "Query.h"
#include "Scenario.h"
#include "ScenarioWriter.h"
#include "Vek/QuotedText.h"
#include "Vek/Trace.h"
#include "Writers.h"

namespace {

struct Options {
  std::string command;  // "", "replay", "check", "import", "query" or "gen-ted"
  std::string file;
  bool json = false;
  std::string dot;
  bool ring = false;
  // import and query
  std::vector<std::string> files;
  Srmap::TedOptions ted;
  bool check = false;  // import --check
  std::string writeScenario;
  std::vector<std::string> question;
  Srmap::GenTedOptions gen;
  std::string output;  // gen-ted
};

constexpr char kExitStatus[] =
    "exit status: 0 all well, 1 an expectation failed or check found something,\n"
    "  2 usage, unreadable or malformed scenario or export, or a library error\n"
    "(the scenario format: docs/scenario.md)";

// The command line. Options may stand before or after the command.
class CommandLine {
 public:
  CommandLine() {
    app_.footer(kExitStatus);
    app_.require_subcommand(0, 1);
    app_.add_option("--format", format_, "output format: text (default) or json")
        ->check(CLI::IsMember({"text", "json"}))
        ->option_text("text|json");
    app_.add_option("--dot", o_.dot, "write a Graphviz picture of the final maps to FILE")
        ->option_text("FILE");
    app_.add_option("--trace", trace_, "show the library's trace on stderr (e.g. 8,9 or all)")
        ->option_text("LEVELS")
        ->check(
            [](std::string const& levels) -> std::string {
              // Applied here: the levels hold only if the whole value is good.
              if (Vek::traceSettingsApply("SegmentRoutingMappers=" + levels))
                return {};
              return "'" + levels +
                     "' is not a list of levels 0-9 and ranges (8,9 or 0-3,9), all or none";
            },
            "LEVELS");
    app_.add_flag("--ring", o_.ring, "dump the binary ring buffer at the end");
    for (auto [name, text] : {std::pair{"replay", "play a scenario file ('-': standard input)"},
                              std::pair{"check",
                                        "play a scenario file, then compare each live map with "
                                        "a rebuild and check its mapper's invariants"}}) {
      CLI::App* command = app_.add_subcommand(name, text);
      command->fallthrough();
      command->add_option("FILE", o_.file, "the scenario file")->required();
      command->footer(std::string("srmap's options (srmap --help) may stand before or after the "
                                  "command.\n") +
                      kExitStatus);
    }
    addImport();
    addQuery();
    addGenTed();
    app_.description(
        "srmap: plays segment-routing scenarios through the mappers and shows every change "
        "the output maps publish, then the final maps. Without a command: the built-in "
        "scenario.");
  }

  // Parses the arguments; an error names the option, value or word that is
  // wrong. Returns the exit status when the program should stop (help: 0,
  // error: 2).
  std::optional<int> parse(int argc, char** argv) {
    try {
      app_.parse(argc, argv);
    } catch (CLI::CallForHelp const&) {
      std::cout << app_.help();
      return 0;
    } catch (CLI::ParseError const& e) {
      std::cerr << "srmap: " << e.what() << "\n(srmap --help for the usage)\n";
      return 2;
    }
    for (CLI::App const* command : app_.get_subcommands())
      o_.command = command->get_name();
    o_.json = format_ == "json";
    o_.gen.isis = protocol_ == "isis";
    Srmap::ospfNodeSidsOf(ospfNodeSids_, o_.ted.ospfNodeSids);
    return std::nullopt;
  }

  Options const& options() const { return o_; }

 private:
  // The options of how an export is read, for `import` and `query`.
  void addTedOptions(CLI::App* command) {
    command
        ->add_option("--local", o_.ted.local,
                     "the router the exports were taken on (host name, system id or router "
                     "id): its adjacency SIDs are filed as local")
        ->option_text("ROUTER");
    command
        ->add_option("--ospf-node-sids", ospfNodeSids_,
                     "which OSPF prefix SIDs are node SIDs: host routes (default), all, none")
        ->check(CLI::IsMember({"host", "all", "none"}))
        ->option_text("host|all|none");
  }
  void addImport() {
    CLI::App* c = app_.add_subcommand(
        "import",
        "play link-state (TED) JSON exports: the first fills the table, the mappers "
        "start over it, each next one is applied as the differences ('-': stdin)");
    c->fallthrough();
    c->add_option("FILE", o_.files, "the exports, oldest first")->required();
    c->add_flag("--check", o_.check,
                "after every export, compare each live map with a rebuild and check its "
                "mapper's invariants");
    c->add_option("--write-scenario", o_.writeScenario,
                  "write the run as a scenario file, with the maps' counts as expectations")
        ->option_text("FILE");
    addTedOptions(c);
    c->footer(std::string("srmap's options (srmap --help) may stand before or after the "
                          "command; the rules of the import: docs/ted-import.md.\n") +
              kExitStatus);
  }
  void addQuery() {
    CLI::App* c = app_.add_subcommand(
        "query",
        "play a network (a scenario file, or exports as import plays them), then ask "
        "its maps: sid SID [router ROUTER], link LINK, router ROUTER");
    c->fallthrough();
    c->add_option("QUESTION", o_.question, "sid SID [router ROUTER] | link LINK | router ROUTER")
        ->required();
    c->add_option("--on", o_.files, "a scenario file, or exports (*.json), oldest first")
        ->required()
        ->expected(1, -1)
        ->option_text("FILE...");
    addTedOptions(c);
    c->footer(
        "The question comes before --on. Exit status: 0 answered, 1 nothing found, 2 usage, "
        "unreadable or malformed input, or a library error");
  }
  void addGenTed() {
    CLI::App* c = app_.add_subcommand(
        "gen-ted", "write a synthetic link-state (TED) JSON export of a large network");
    c->add_option("--protocol", protocol_, "isis (default) or ospf")
        ->check(CLI::IsMember({"isis", "ospf"}));
    c->add_option("--routers", o_.gen.routers, "routers (default 10000)");
    c->add_option("--links", o_.gen.links, "links, each two edges (default 40000)");
    c->add_option("--seed", o_.gen.seed, "seed of the random links (default 1)");
    c->add_option("-o,--output", o_.output, "the file to write (default: standard output)");
  }

  CLI::App app_{"", "srmap"};
  Options o_;
  std::string format_ = "text";
  std::string trace_;
  std::string ospfNodeSids_ = "host";
  std::string protocol_ = "isis";
};

std::vector<std::string> ringLines() {
  std::ostringstream dump;
  Nimblog::dump(dump);
  std::vector<std::string> lines;
  std::istringstream in(dump.str());
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

int play(Options const& o, Srmap::Scenario const& scenario) {
  Srmap::RunLog log;
  Srmap::World world([&](Srmap::Change const& c) { log.events.emplace_back(c); });
  bool const checking = o.command == "check" || o.check;
  Srmap::ImportHooks hooks;
  hooks.checkEach = checking;
  std::ostringstream written;
  Srmap::ScenarioWriter writer(written, world);
  if (!o.writeScenario.empty()) {
    written << "# srmap import";
    for (std::string const& f : o.files)
      written << " " << f;
    written << "\n";
    hooks.ran = [&](Srmap::Action const& a) { writer.command(a); };
  }
  Srmap::runScenario(scenario, world, log, hooks);
  if (!o.writeScenario.empty() && !log.error) {
    writer.finish();
    std::ofstream file(o.writeScenario);
    file << written.str();
    if (!file) {
      std::cerr << "srmap: cannot write "
                << Vek::QuotedText(o.writeScenario, 0, Vek::QuotedText::Keep::end).view() << "\n";
      return 2;
    }
  }
  Srmap::CheckResult checked;
  Srmap::Extras extras;
  if (checking && !log.error) {
    try {
      checked = Srmap::check(world);
      extras.check = &checked;
    } catch (std::exception const& e) {
      log.error = scenario.fileName + ": check: " + e.what();
    }
  }
  if (o.ring)
    extras.ring = ringLines();
  if (o.json)
    Srmap::writeJson(std::cout, log, world, extras);
  else
    Srmap::writeText(std::cout, log, world, extras);
  if (!o.dot.empty()) {
    std::ofstream dot(o.dot);
    Srmap::writeDot(dot, world);
    if (!dot) {
      std::cerr << "srmap: cannot write "
                << Vek::QuotedText(o.dot, 0, Vek::QuotedText::Keep::end).view() << "\n";
      return 2;
    }
  }
  for (auto const& f : log.failures)
    std::cerr << f.where << ": expectation failed: " << f.text << ": expected " << f.expected
              << ", actual " << f.actual << "\n";
  if (log.error) {
    std::cerr << *log.error << "\n";
    return 2;
  }
  return log.failures.empty() && (extras.check == nullptr || checked.clean()) ? 0 : 1;
}

// The scenario of a command: the built-in one, a scenario file, or the
// exports of `import` (and of `query --on` when they end in .json). False,
// with the message on stderr, when a file cannot be read.
bool scenarioOf(Options const& o, Srmap::Scenario& scenario) {
  bool const exports = o.command == "import" ||
                       (o.command == "query" &&
                        std::all_of(o.files.begin(), o.files.end(), [](std::string const& f) {
                          return f.size() > 5 && f.compare(f.size() - 5, 5, ".json") == 0;
                        }));
  if (exports) {
    scenario = Srmap::importScenario(o.files, o.ted);
    return true;
  }
  std::string const file = o.command == "query" ? o.files.front() : o.file;
  if (o.command == "query" && o.files.size() != 1)
    throw Srmap::QueryError("--on: one scenario file, or exports (*.json) only");
  std::string text = Srmap::kDefaultScenario;
  std::string name = "default";
  if (!o.command.empty()) {
    name = file == "-" ? "<stdin>" : file;
    errno = 0;
    if (!Srmap::readText(file, text)) {
      std::cerr << "srmap: cannot read "
                << Vek::QuotedText(file, 0, Vek::QuotedText::Keep::end).view()
                << (errno != 0 ? ": " : "") << (errno != 0 ? std::strerror(errno) : "") << "\n";
      return false;
    }
  }
  scenario = Srmap::parseScenario(text, name);
  return true;
}

// Plays the network silently, then answers the question from its maps.
int query(Options const& o, Srmap::Question const& question, Srmap::Scenario const& scenario) {
  Srmap::RunLog log;
  Srmap::World world([](Srmap::Change const&) {});
  Srmap::runScenario(scenario, world, log);
  if (log.error) {
    std::cerr << *log.error << "\n";
    return 2;
  }
  std::vector<Srmap::Answer> const answers = Srmap::ask(world, question);
  Srmap::writeAnswers(std::cout, question, answers, o.json);
  return answers.empty() ? 1 : 0;
}

int genTed(Options const& o) {
  std::string const text = Srmap::genTed(o.gen);
  if (o.output.empty()) {
    std::cout << text;
    return 0;
  }
  std::ofstream file(o.output, std::ios::binary);
  file << text;
  if (!file) {
    std::cerr << "srmap: cannot write "
              << Vek::QuotedText(o.output, 0, Vek::QuotedText::Keep::end).view() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (std::optional<int> const status = line.parse(argc, argv))
    return *status;
  Options const& o = line.options();
  try {
    if (o.command == "gen-ted")
      return genTed(o);
    // A question is read before the network is played.
    Srmap::Question const question =
        o.command == "query" ? Srmap::parseQuestion(o.question) : Srmap::Question();
    Srmap::Scenario scenario;
    if (!scenarioOf(o, scenario))
      return 2;
    if (o.command == "query")
      return query(o, question, scenario);
    return play(o, scenario);
  } catch (Srmap::ParseError const& e) {
    std::cerr << e.what() << "\n";
    return 2;
  } catch (Srmap::QueryError const& e) {
    std::cerr << "srmap: query: " << e.what() << "\n";
    return 2;
  } catch (std::exception const& e) {
    std::cerr << "srmap: " << e.what() << "\n";
    return 2;
  }
}
