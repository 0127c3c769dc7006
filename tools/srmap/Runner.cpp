#include "Runner.h"

#include <algorithm>
#include <exception>

#include "Pavo/Exception.h"

namespace Srmap {

bool runCommand(Action const& action, std::string const& where, World& world, RunLog& log) {
  try {
    if (auto const* step = std::get_if<Step>(&action)) {
      log.events.emplace_back(*step);
    } else if (auto const* e = std::get_if<Expect>(&action)) {
      std::string actual;
      if (e->what == Expect::What::trace) {
        actual = world.traceLineTake();
      } else if (e->what == Expect::What::ring) {
        actual = world.ringRecordFind(e->expected);
      } else if (e->what == Expect::What::changes) {
        auto const sinceStep = std::find_if(log.events.rbegin(), log.events.rend(), [](auto& ev) {
          return std::holds_alternative<Step>(ev);
        });
        actual = std::to_string(sinceStep - log.events.rbegin());
      } else {
        actual = world.answer(*e);
      }
      if (actual != e->expected)
        log.failures.push_back({where, e->text, e->expected, std::move(actual)});
    } else {
      world.apply(action);
    }
  } catch (Pavo::Exception const& e) {
    log.error = where + ": " + e.msg();
    return false;
  } catch (std::exception const& e) {
    log.error = where + ": " + e.what();
    return false;
  }
  return true;
}

void run(Scenario const& scenario, World& world, RunLog& log) {
  for (Command const& c : scenario.commands) {
    if (!runCommand(c.action, scenario.fileName + ":" + std::to_string(c.line), world, log))
      return;
  }
}

}  // namespace Srmap
