#include "InspectTestTypes.h"

#include "Pavo/InspectDsl.h"
#include "Vek/CharRangeRead.h"
#include "Vek/Hash.h"

namespace Demo {

Pavo::ModuleInspectData& inspectModule() {
  static Pavo::ModuleInspectData module("Test/Inspect");
  return module;
}

Label::Label(Vek::CharRange& range) {
  std::uint64_t const v = Vek::readUnsigned(range, ~std::uint64_t{0});
  if (v > kMax)
    throw Pavo::RangeException("label " + std::to_string(v) + " beyond 1048575");
  value_ = static_cast<std::uint32_t>(v);
}

std::uint32_t Label::hash(std::uint32_t seed) const {
  Vek::Hash h(seed);
  h.hashMix<4>(value_);
  return h.result();
}

Entry::Entry(Vek::CharRange& range) {
  isLocal_ = Vek::desAttrPre<bool>(range, "Demo::Entry", "isLocal");
  metric_ = Vek::desAttrIntra<unsigned>(range, "metric");
  range.needSep("label");
  Vek::DesAttrPost post(range);
  try {
    label_ = Label(range);
  } catch (Pavo::RangeException const& e) {
    Vek::rethrowFromDeserializeAttr(e, "label", range);
  }
  post.end();
}

bool Entry::isEq(void const* a, void const* b) {
  if (a == b)
    return true;
  auto const& x = *static_cast<Entry const*>(a);
  auto const& y = *static_cast<Entry const*>(b);
  return x.isLocal_ == y.isLocal_ && x.metric_ == y.metric_ && x.label_ == y.label_;
}

std::strong_ordering Entry::operator<=>(Entry const& o) const {
  if (auto c = isLocal_ <=> o.isLocal_; c != 0)
    return c;
  if (auto c = metric_ <=> o.metric_; c != 0)
    return c;
  return label_ <=> o.label_;
}

std::uint32_t Entry::hash(std::uint32_t seed) const {
  Vek::Hash h(seed);
  h.hashMix<1>(isLocal_);
  h.hashMix<4>(metric_);
  h.hashMix<4>(label_.hash(0));
  return h.result();
}

EntryList::EntryList(EntryList const& o) {
  for (auto it = o.entries_.begin(); !it.atEnd(); ++it)
    entries_.memberIs(it->key(), it->value());
}

EntryList& EntryList::operator=(EntryList const& o) {
  if (this != &o) {
    entries_.deleteAll();
    for (auto it = o.entries_.begin(); !it.atEnd(); ++it) {
      entries_.memberIs(it->key(), it->value());
    }
  }
  return *this;
}

bool EntryList::entryDel(Entry const& e) & {
  Pavo::Ptr<VekEntry> n = entries_.memberDel(e);
  return n && n->value();
}

bool EntryList::entryDel(Map::Iterator const& it) & {
  Pavo::Ptr<VekEntry> n = entries_.memberDel(it);
  return n && n->value();
}

bool EntryList::operator==(EntryList const& o) const {
  if (entries_.size() != o.entries_.size())
    return false;
  for (auto a = entries_.begin(), b = o.entries_.begin(); !a.atEnd(); ++a, ++b) {
    if (!(a->key() == b->key()) || a->value() != b->value())
      return false;
  }
  return true;
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
    publisher_.publishChangeRecursive(135, &k, &prior, nullptr);
    return;
  }
  flags_.memberIs(k, v);
  publisher_.publishChangeRecursive(135, &k, nullptr, nullptr);
}

bool Router::flagDel(std::uint32_t const& k) {
  Pavo::Ptr<VekFlag> n = flags_.memberDel(k);
  if (!n)
    return false;
  bool const prior = n->value();
  publisher_.publishChangeRecursive(135, &k, &prior, nullptr);
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
  publisher_.publishChangeRecursive(136, &id, nullptr, nullptr);
  return c;
}

Pavo::Ptr<Child> Router::childDel(std::uint16_t id) {
  Pavo::Ptr<HN_Child> n = children_.memberDel(id);
  if (!n)
    return {};
  publisher_.publishChangeRecursive(136, &id, &n->child, nullptr);
  return n->child;
}

void Router::tagIs(std::string const& t) {
  if (!tags_.member(t))
    tags_.memberIs(Pavo::Ptr<HN_Tag>::adopt(new HN_Tag(t)));
}

bool Router::tagDel(std::string const& t) {
  return static_cast<bool>(tags_.memberDel(t));
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
  Pavo::Inspect::ValueType<Label>(m, "Demo::Label")
      .value("value", &Label::value)
      .text([](void const* v,
               std::string& out) { out += std::to_string(static_cast<Label const*>(v)->value()); },
            nullptr);
  Pavo::Inspect::ValueType<Entry>(m, "Demo::Entry")
      .value("isLocal", &Entry::isLocal)
      .value("metric", &Entry::metric)
      .value("label", &Entry::label)
      .constructor<bool, unsigned, Label>("isLocal", "metric", "label");
  Pavo::Inspect::ValueType<Span>(m, "Demo::Span")
      .value("lo", &Span::lo)
      .value("hi", &Span::hi)
      .constructor<std::uint16_t, std::uint16_t>("lo", "hi");
  Pavo::Inspect::ValueType<EntryList>(m, "Demo::EntryList")
      .orderedCollection("entry", &EntryList::entryCollection, &EntryList::entryIs,
                         &EntryList::entryDel)
      .nonHashable();
  Pavo::Inspect::EntityType<Child>(m, "Demo::Child")
      .value("id", &Child::id)
      .value("color", &Child::color)
      .value("peer", &Child::peer);
  Pavo::Inspect::EntityType<Router>(m, "Demo::Router")
      .value("routerId", &Router::routerId)
      .value("owner", &Router::owner)
      .value("viewer", &Router::viewer)
      .value("span", &Router::span)
      .value("entries", &Router::entries)
      .orderedCollection("flag", &Router::flagCollection, &Router::flagIs, &Router::flagDel)
      .hashCollection("child", &Router::childCollection, &Router::childIs, &Router::childDel)
      .hashCollection("tag", &Router::tagCollection, &Router::tagIs, &Router::tagDel)
      .operation("reset", &Router::reset, "routerId", "owner")
      .operation("sum", &Router::sum, "a", "b")
      .constructor(&routerFactory, "routerId");
  m.loaded();
  return true;
}();

}  // namespace

}  // namespace Demo
