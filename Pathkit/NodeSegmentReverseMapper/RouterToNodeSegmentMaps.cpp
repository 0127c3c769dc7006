// The three node-segment map entities: mutators and their publications.
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pavo/InspectTypes.h"

namespace SegmentRouting::Mappers {

namespace {

bool isEqAlgo(void const* a, void const* b) {
  return *static_cast<unsigned char const*>(a) == *static_cast<unsigned char const*>(b);
}

}  // namespace

// --- RouterToNodeSegment ---------------------------------------------------

RouterToNodeSegment::RouterToNodeSegment(Mpls::RouterId const& routerId) : routerId_(routerId) {}

RouterToNodeSegment::~RouterToNodeSegment() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::TypeData RouterToNodeSegment::typeData() const {
  return Pavo::Inspect::typeDataOf<RouterToNodeSegment>();
}

void RouterToNodeSegment::prefixIs(Vantre::IpGenPrefix const& prefix, bool value) {
  // One walk down the tree finds the member or the place of a new one.
  auto const [m, inserted] = prefix_.memberAdd(prefix, value);
  if (inserted) {
    publisher_.publishChangeRecursive(kPrefixField, &m->key(), nullptr,
                                      &Vantre::IpGenPrefixBase::isEq);
    return;
  }
  if (m->value() == value)
    return;
  bool const prior = m->value();
  m->valueIs(value);
  publisher_.publishChangeRecursive(kPrefixField, &m->key(), &prior,
                                    &Vantre::IpGenPrefixBase::isEq);
}

bool RouterToNodeSegment::prefixDel(Vantre::IpGenPrefix const& prefix) {
  return prefixRemoved(prefix_.memberDel(prefix));
}

bool RouterToNodeSegment::prefixDel(PrefixCollection::Iterator const& it) {
  return prefixRemoved(prefix_.memberDel(it));
}

bool RouterToNodeSegment::prefixRemoved(Pavo::Ptr<VekPrefix> const& removed) {
  if (!removed)
    return false;
  bool const prior = removed->value();
  publisher_.publishChangeRecursive(kPrefixField, &removed->key(), &prior,
                                    &Vantre::IpGenPrefixBase::isEq);
  return prior;
}

void RouterToNodeSegment::prefixDelAll() {
  if (!publisher_.hasSubscribers()) {
    prefix_.deleteAll();
    return;
  }
  // The iterator survives the removal of its member and moves on to the
  // next greater prefix.
  for (auto it = prefix_.begin(); !it.atEnd(); ++it)
    prefixDel(it);
}

// --- RouterToNodeSegmentMap ------------------------------------------------

RouterToNodeSegmentMap::RouterToNodeSegmentMap(unsigned char algo) : algo_(algo) {}

RouterToNodeSegmentMap::~RouterToNodeSegmentMap() {
  nodeFlagSet(kNotificationActive, false);
  prefixMapDelAll();
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMap::RouterToNodeSegmentMapIs(
    unsigned char algo) {
  return Pavo::Ptr<RouterToNodeSegmentMap>::adopt(new RouterToNodeSegmentMap(algo));
}

Pavo::Ptr<RouterToNodeSegmentMap> routerToNodeSegmentMapFactory(unsigned char algo) {
  return RouterToNodeSegmentMap::RouterToNodeSegmentMapIs(algo);
}

Pavo::TypeData RouterToNodeSegmentMap::typeData() const {
  return Pavo::Inspect::typeDataOf<RouterToNodeSegmentMap>();
}

Pavo::Ptr<RouterToNodeSegment> RouterToNodeSegmentMap::prefixMapIs(Mpls::RouterId const& routerId) {
  std::uint32_t const hash = prefixMap_.hashOf(routerId);
  if (HN_PrefixMap* m = prefixMap_.member(routerId, hash))
    return m->value();
  auto child = Pavo::Ptr<RouterToNodeSegment>::adopt(new RouterToNodeSegment(routerId));
  auto [m, inserted] =
      prefixMap_.memberIs(Pavo::Ptr<HN_PrefixMap>::adopt(new HN_PrefixMap(child)), hash);
  publisher_.publishChangeRecursive(kPrefixMapField, &m->key(), nullptr, &Mpls::RouterId::isEq);
  return child;
}

Pavo::Ptr<RouterToNodeSegment> RouterToNodeSegmentMap::prefixMapDel(
    Mpls::RouterId const& routerId) {
  Pavo::Ptr<HN_PrefixMap> removed = prefixMap_.memberDel(routerId);
  if (!removed)
    return nullptr;
  Pavo::Ptr<RouterToNodeSegment> const& child = removed->value();
  publisher_.publishChangeRecursive(kPrefixMapField, &removed->key(), &child,
                                    &Mpls::RouterId::isEq);
  return child;
}

void RouterToNodeSegmentMap::prefixMapDelAll() {
  for (auto it = prefixMap_.begin(); !it.atEnd(); ++it) {
    Mpls::RouterId const key = it->key();
    prefixMapDel(key);  // the removed child is released here
  }
}

Pavo::Ptr<RouterToNodeSegment> RouterToNodeSegmentMap::prefixMap(
    Mpls::RouterId const& routerId) const {
  HN_PrefixMap const* m = prefixMap_.member(routerId);
  return m != nullptr ? m->value() : nullptr;
}

// --- RouterToNodeSegmentMapPerAlgo -----------------------------------------

RouterToNodeSegmentMapPerAlgo::~RouterToNodeSegmentMapPerAlgo() {
  nodeFlagSet(kNotificationActive, false);
  routerToNodeSegmentMapDelAll();
}

Pavo::Ptr<RouterToNodeSegmentMapPerAlgo>
RouterToNodeSegmentMapPerAlgo::RouterToNodeSegmentMapPerAlgoIs() {
  return Pavo::Ptr<RouterToNodeSegmentMapPerAlgo>::adopt(new RouterToNodeSegmentMapPerAlgo);
}

Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> routerToNodeSegmentMapPerAlgoFactory() {
  return RouterToNodeSegmentMapPerAlgo::RouterToNodeSegmentMapPerAlgoIs();
}

Pavo::TypeData RouterToNodeSegmentMapPerAlgo::typeData() const {
  return Pavo::Inspect::typeDataOf<RouterToNodeSegmentMapPerAlgo>();
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapIs(
    unsigned char algo) {
  std::uint32_t const hash = routerToNodeSegmentMap_.hashOf(algo);
  if (HN_RouterToNodeSegmentMap* m = routerToNodeSegmentMap_.member(algo, hash)) {
    return m->value();
  }
  auto child = RouterToNodeSegmentMap::RouterToNodeSegmentMapIs(algo);
  auto [m, inserted] = routerToNodeSegmentMap_.memberIs(
      Pavo::Ptr<HN_RouterToNodeSegmentMap>::adopt(new HN_RouterToNodeSegmentMap(algo, child)),
      hash);
  publisher_.publishChangeRecursive(kRouterToNodeSegmentMapField, &m->key(), nullptr, &isEqAlgo);
  return child;
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapDel(
    unsigned char algo) {
  Pavo::Ptr<HN_RouterToNodeSegmentMap> removed = routerToNodeSegmentMap_.memberDel(algo);
  if (!removed)
    return nullptr;
  Pavo::Ptr<RouterToNodeSegmentMap> const& child = removed->value();
  publisher_.publishChangeRecursive(kRouterToNodeSegmentMapField, &removed->key(), &child,
                                    &isEqAlgo);
  return child;
}

void RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapDelAll() {
  for (auto it = routerToNodeSegmentMap_.begin(); !it.atEnd(); ++it) {
    unsigned char const key = it->key();
    routerToNodeSegmentMapDel(key);  // a map nobody else holds goes here
  }
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap(
    unsigned char algo) const {
  HN_RouterToNodeSegmentMap const* m = routerToNodeSegmentMap_.member(algo);
  return m != nullptr ? m->value() : nullptr;
}

}  // namespace SegmentRouting::Mappers
