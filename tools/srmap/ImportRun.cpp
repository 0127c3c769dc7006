#include "ImportRun.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "Check.h"
#include "Pavo/Exception.h"
#include "TedImport.h"
#include "Vek/QuotedText.h"

namespace Srmap {

namespace {

// A file's name inside a message or a step: its end, printable.
std::string shown(std::string const& file) {
  return Vek::QuotedText(file, 0, Vek::QuotedText::Keep::end).str();
}

std::string count(std::size_t n, char const* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string stepText(std::string const& file, TedSnapshot const& s, TableChanges const& c) {
  std::string text = "import " + shown(file) + ": " + s.protocol + ", " +
                     count(s.routers, "router") + ", " +
                     count(s.prefixes.size(), "prefix segment") + ", " +
                     count(s.adjacencies.size(), "adjacency segment");
  if (s.shadowed != 0)
    text += " (" + count(s.shadowed, "anycast duplicate") + " left out)";
  if (c.added + c.changed + c.removed == 0)
    return text + "; no change";
  return text + "; " + std::to_string(c.added) + " added, " + std::to_string(c.changed) +
         " changed, " + std::to_string(c.removed) + " removed";
}

// Each finding of a check now is a failure of the run.
void checkNow(World& world, RunLog& log, std::string const& where, std::string const& file) {
  try {
    for (std::string& line : checkLines(check(world)))
      log.failures.push_back(
          {where, "check after " + shown(file), "live maps equal their rebuilds", std::move(line)});
  } catch (Pavo::Exception const& e) {
    log.error = where + ": check: " + e.msg();
  } catch (std::exception const& e) {
    log.error = where + ": check: " + e.what();
  }
}

}  // namespace

bool readText(std::string const& name, std::string& text) {
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

void runScenario(Scenario const& scenario, World& world, RunLog& log, ImportHooks const& hooks) {
  // The export imported last in this run: what the next one is compared with.
  TedSnapshot previous;
  auto const ran = [&](Action const& a) {
    if (hooks.ran)
      hooks.ran(a);
  };
  for (std::size_t i = 0; i < scenario.commands.size(); ++i) {
    Command const& c = scenario.commands[i];
    std::string const where =
        c.line == 0 ? std::string() : scenario.fileName + ":" + std::to_string(c.line);
    auto const* im = std::get_if<Import>(&c.action);
    if (im == nullptr) {
      ran(c.action);
      if (!runCommand(c.action, where.empty() ? scenario.fileName : where, world, log))
        return;
      continue;
    }
    std::string const prefix = where.empty() ? where : where + ": ";
    TedSnapshot next;
    std::string text;
    errno = 0;
    if (!readText(im->file, text)) {
      log.error = prefix + "cannot read " + shown(im->file) +
                  (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
      return;
    }
    try {
      next = readTed(text, im->file, im->options);
    } catch (ImportError const& e) {
      log.error = prefix + e.what();
      return;
    }
    TableChanges const changes = tableChanges(previous, next);
    Step const step{stepText(im->file, next, changes)};
    ran(step);
    log.events.emplace_back(step);
    for (Action const& a : changes.actions) {
      ran(a);
      if (!runCommand(a, where.empty() ? shown(im->file) : where, world, log))
        return;
    }
    previous = std::move(next);
    if (hooks.checkEach && i + 1 < scenario.commands.size())
      checkNow(world, log, where.empty() ? shown(im->file) : where, im->file);
    if (log.error)
      return;
  }
}

Scenario importScenario(std::vector<std::string> const& files, TedOptions const& options) {
  Scenario s{"import", {}};
  for (std::size_t i = 0; i < files.size(); ++i) {
    s.commands.push_back({0, Import{files[i], options}});
    if (i != 0)
      continue;
    s.commands.push_back({0, Step{"the mappers start"}});
    for (MapperKind kind : {MapperKind::node, MapperKind::adj}) {
      for (Vantre::AddressFamily af : {Vantre::AddressFamily::ipv4, Vantre::AddressFamily::ipv6})
        s.commands.push_back({0, MapperSwitch{kind, af, true}});
    }
  }
  return s;
}

}  // namespace Srmap
