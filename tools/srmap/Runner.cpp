#include "Runner.h"

#include <exception>

#include "Pavo/Exception.h"

namespace Srmap {

void run(Scenario const& scenario, World& world, RunLog& log) {
  for (Command const& c : scenario.commands) {
    std::string const where = scenario.fileName + ":" + std::to_string(c.line);
    try {
      if (auto const* step = std::get_if<Step>(&c.action)) {
        log.events.emplace_back(*step);
      } else if (auto const* e = std::get_if<Expect>(&c.action)) {
        std::string actual = world.answer(*e);
        if (actual != e->expected)
          log.failures.push_back({where, e->text, e->expected, std::move(actual)});
      } else {
        world.apply(c.action);
      }
    } catch (Pavo::Exception const& e) {
      log.error = where + ": " + e.msg();
      return;
    } catch (std::exception const& e) {
      log.error = where + ": " + e.what();
      return;
    }
  }
}

}  // namespace Srmap
