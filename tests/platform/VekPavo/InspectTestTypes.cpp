#include "InspectTestTypes.h"

#include "VekPavo/InspectDsl.h"

namespace Demo {

Pavo::ModuleInspectData& inspectModule() {
  static Pavo::ModuleInspectData module("Test/Inspect");
  return module;
}

Pavo::TypeData Child::typeData() const {
  return Pavo::Inspect::typeDataOf<Child>();
}

Router::~Router() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::Ptr<Child> Router::childIs(std::uint16_t id) {
  return children_.childIs(id, &publisher_);
}

Pavo::Ptr<Child> Router::childDel(std::uint16_t id) {
  return children_.valueDel(id, &publisher_);
}

Pavo::TypeData Router::typeData() const {
  return Pavo::Inspect::typeDataOf<Router>();
}

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId) {
  return Pavo::Ptr<Router>::adopt(new Router(routerId));
}

namespace {

// The module's whole declaration: one place per type.
[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = inspectModule();
  Pavo::Inspect::EnumType<Color>(m, "Demo::Color", {{Color::red, "red"}, {Color::green, "green"}});
  Pavo::Inspect::EntityType<Child>(m, "Demo::Child")
      .value("id", &Child::id)
      .value("color", &Child::color)
      .value("peer", &Child::peer);
  Pavo::Inspect::EntityType<Router>(m, "Demo::Router")
      .value("routerId", &Router::routerId)
      .value("owner", &Router::owner)
      .value("viewer", &Router::viewer)
      .hashCollection("child", &Router::childCollection, &Router::childIs, &Router::childDel)
      .operation("sum", &Router::sum, "a", "b")
      .constructor(&routerFactory, "routerId");
  m.loaded();
  return true;
}();

}  // namespace

}  // namespace Demo
