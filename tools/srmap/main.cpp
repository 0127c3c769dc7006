// srmap: replays segment-routing scenarios through the mappers and shows
// their work: every published change, then the final maps. Without a command
// it plays the built-in scenario; `replay FILE` plays a scenario file (`-`:
// standard input); `check FILE` plays it, then compares every live map with
// a rebuild and checks its mapper's invariants. The format and the exit
// statuses: docs/scenario.md.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Check.h"
#include "DefaultScenario.h"
#include "Nimblog/Nimblog.h"
#include "Runner.h"
#include "Scenario.h"
#include "Vek/QuotedText.h"
#include "Vek/Trace.h"
#include "Writers.h"

namespace {

struct Options {
  std::string command;  // "", "replay" or "check"
  std::string file;
  bool json = false;
  std::string dot;
  bool ring = false;
};

constexpr char kExitStatus[] =
    "exit status: 0 all well, 1 an expectation failed or check found something,\n"
    "  2 usage, unreadable or malformed scenario, or a library error during the run\n"
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
    return std::nullopt;
  }

  Options const& options() const { return o_; }

 private:
  CLI::App app_{"", "srmap"};
  Options o_;
  std::string format_ = "text";
  std::string trace_;
};

// False when the file cannot be opened or read (a directory, say).
bool readFile(std::string const& name, std::string& text) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (name != "-") {
    file.open(name, std::ios::binary);
    if (!file)
      return false;
    in = &file;
  }
  try {
    text.assign(std::istreambuf_iterator<char>(*in), {});
  } catch (std::exception const&) {
    return false;
  }
  return !in->bad();
}

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
  Srmap::run(scenario, world, log);
  Srmap::CheckResult checked;
  Srmap::Extras extras;
  if (o.command == "check" && !log.error) {
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

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  if (std::optional<int> const status = line.parse(argc, argv))
    return *status;
  Options const& o = line.options();
  std::string text = Srmap::kDefaultScenario;
  std::string name = "default";
  if (!o.command.empty()) {
    name = o.file == "-" ? "<stdin>" : o.file;
    errno = 0;
    if (!readFile(o.file, text)) {
      std::cerr << "srmap: cannot read "
                << Vek::QuotedText(o.file, 0, Vek::QuotedText::Keep::end).view()
                << (errno != 0 ? ": " : "") << (errno != 0 ? std::strerror(errno) : "") << "\n";
      return 2;
    }
  }
  try {
    return play(o, Srmap::parseScenario(text, name));
  } catch (Srmap::ParseError const& e) {
    std::cerr << e.what() << "\n";
    return 2;
  } catch (std::exception const& e) {
    std::cerr << "srmap: " << e.what() << "\n";
    return 2;
  }
}
