// The three node-segment map entities: mutators and their publications.
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pavo/TypeData.h"

namespace SegmentRouting::Mappers {

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
  return prefixMap_.childIs(routerId, &publisher_);
}

Pavo::Ptr<RouterToNodeSegment> RouterToNodeSegmentMap::prefixMapDel(
    Mpls::RouterId const& routerId) {
  return prefixMap_.valueDel(routerId, &publisher_);
}

void RouterToNodeSegmentMap::prefixMapDelAll() {
  prefixMap_.delEach(&publisher_);  // each removed child is released at once
}

Pavo::Ptr<RouterToNodeSegment> RouterToNodeSegmentMap::prefixMap(
    Mpls::RouterId const& routerId) const {
  return prefixMap_.lookup(routerId);
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
  return routerToNodeSegmentMap_.childIs(algo, &publisher_);
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapDel(
    unsigned char algo) {
  return routerToNodeSegmentMap_.valueDel(algo, &publisher_);
}

void RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapDelAll() {
  routerToNodeSegmentMap_.delEach(&publisher_);  // a map nobody else holds goes here
}

Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap(
    unsigned char algo) const {
  return routerToNodeSegmentMap_.lookup(algo);
}

}  // namespace SegmentRouting::Mappers
