// srmap: replays segment-routing scenarios through the mappers and shows
// their work: every published change, then the final maps. Without a command
// it plays the built-in scenario; `replay FILE` plays a scenario file (`-`:
// standard input); `check FILE` plays it, then compares every live map with
// a rebuild and checks its mapper's invariants. The format and the exit
// statuses: docs/scenario.md.
#include <fstream>
#include <iostream>
#include <iterator>
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

constexpr char kUsage[] =
    "usage: srmap [OPTIONS] [replay FILE | check FILE]\n"
    "  (no command)        play the built-in scenario\n"
    "  replay FILE         play a scenario file ('-': standard input)\n"
    "  check FILE          play it, then compare each live map with a rebuild\n"
    "                      and check its mapper's invariants\n"
    "options:\n"
    "  --format text|json  output format (default text)\n"
    "  --dot FILE          write a Graphviz picture of the final maps to FILE\n"
    "  --trace LEVELS      show the library's trace on stderr (e.g. 8,9 or all)\n"
    "  --ring              dump the binary ring buffer at the end\n"
    "  --help              this text\n"
    "exit status: 0 all well, 1 an expectation failed or check found something,\n"
    "  2 usage, unreadable or malformed scenario, or a library error during the run\n";

struct Options {
  std::string command;  // "", "replay" or "check"
  std::string file;
  bool json = false;
  std::string dot;
  bool ring = false;
};

int usage() {
  std::cerr << kUsage;
  return 2;
}

// Parses the arguments; false on anything it does not know.
bool parseArgs(int argc, char** argv, Options& o) {
  std::vector<std::string> const args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string const& a = args[i];
    bool const hasValue = i + 1 < args.size();
    if (a == "--format" && hasValue && (args[i + 1] == "text" || args[i + 1] == "json")) {
      o.json = args[++i] == "json";
    } else if (a == "--dot" && hasValue) {
      o.dot = args[++i];
    } else if (a == "--trace" && hasValue) {
      if (!Vek::traceSettingsApply("SegmentRoutingMappers=" + args[++i]))
        return false;
    } else if (a == "--ring") {
      o.ring = true;
    } else if ((a == "replay" || a == "check") && o.command.empty() && hasValue) {
      o.command = a;
      o.file = args[++i];
    } else {
      return false;
    }
  }
  return true;
}

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
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--help") {
      std::cout << kUsage;
      return 0;
    }
  }
  Options o;
  if (!parseArgs(argc, argv, o))
    return usage();
  std::string text = Srmap::kDefaultScenario;
  std::string name = "default";
  if (!o.command.empty()) {
    name = o.file == "-" ? "<stdin>" : o.file;
    if (!readFile(o.file, text)) {
      std::cerr << "srmap: cannot read "
                << Vek::QuotedText(o.file, 0, Vek::QuotedText::Keep::end).view() << "\n";
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
