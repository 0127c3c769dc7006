#include "InspectTestTypes.h"

#include "Pavo/InspectDsl.h"

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

void Router::flagIs(std::uint32_t const& k, bool v) {
  if (auto* m = flags_.member(k)) {
    if (m->value() == v)
      return;
    bool const prior = m->value();
    m->valueIs(v);
    publisher_.publishChangeRecursive(134, &k, &prior, nullptr);
    return;
  }
  flags_.memberIs(k, v);
  publisher_.publishChangeRecursive(134, &k, nullptr, nullptr);
}

bool Router::flagDel(std::uint32_t const& k) {
  Pavo::Ptr<VekFlag> n = flags_.memberDel(k);
  if (!n)
    return false;
  bool const prior = n->value();
  publisher_.publishChangeRecursive(134, &k, &prior, nullptr);
  return prior;
}

bool Router::flagDel(FlagMap::Iterator const& it) {
  if (it.atEnd())
    return false;
  return flagDel(it->key());
}

Pavo::Ptr<Child> Router::childIs(std::uint16_t id) {
  if (auto* m = children_.member(id))
    return m->child;
  auto c = Pavo::Ptr<Child>::adopt(new Child(id));
  children_.memberIs(Pavo::Ptr<HN_Child>::adopt(new HN_Child(c)));
  publisher_.publishChangeRecursive(135, &id, nullptr, nullptr);
  return c;
}

Pavo::Ptr<Child> Router::childDel(std::uint16_t id) {
  Pavo::Ptr<HN_Child> n = children_.memberDel(id);
  if (!n)
    return {};
  publisher_.publishChangeRecursive(135, &id, &n->child, nullptr);
  return n->child;
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
  Pavo::Inspect::ValueType<Span>(m, "Demo::Span")
      .value("lo", &Span::lo)
      .value("hi", &Span::hi)
      .constructor<std::uint16_t, std::uint16_t>("lo", "hi");
  Pavo::Inspect::EntityType<Child>(m, "Demo::Child")
      .value("id", &Child::id)
      .value("color", &Child::color)
      .value("peer", &Child::peer);
  Pavo::Inspect::EntityType<Router>(m, "Demo::Router")
      .value("routerId", &Router::routerId)
      .value("owner", &Router::owner)
      .value("viewer", &Router::viewer)
      .value("span", &Router::span)
      .orderedCollection("flag", &Router::flagCollection, &Router::flagIs, &Router::flagDel)
      .hashCollection("child", &Router::childCollection, &Router::childIs, &Router::childDel)
      .operation("reset", &Router::reset, "routerId", "owner")
      .operation("sum", &Router::sum, "a", "b")
      .constructor(&routerFactory, "routerId");
  m.loaded();
  return true;
}();

}  // namespace

}  // namespace Demo
