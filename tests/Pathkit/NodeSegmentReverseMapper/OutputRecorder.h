// OutputRecorder: records every publication of the node-segment map entities
// it watches, as typed events, in the order they were published. A child that
// appears in a watched parent (a publication with no prior) is watched from
// then on, so a recorder on the root sees every change of the output tree.
//
// Ownership: one Subscription per watched entity, which keeps no entity alive
// and goes inactive when its entity dies.
#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pathkit/Subscription.h"

namespace NodeSegTest {

using SegmentRouting::Mappers::RouterToNodeSegment;
using SegmentRouting::Mappers::RouterToNodeSegmentMap;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;

struct OutputEvent {
  enum class Source : std::uint8_t { root, algoMap, routerEntry };
  enum class Prior : std::uint8_t { none, falseValue, trueValue, child };

  Source source = Source::root;
  unsigned algo = 0;           // the root's key, or the algorithm of the publisher
  Mpls::RouterId router;       // an algorithm map's key, or the router entry's own id
  Vantre::IpGenPrefix prefix;  // a router entry's key
  Prior prior = Prior::none;

  friend bool operator==(OutputEvent const&, OutputEvent const&) = default;
  friend std::ostream& operator<<(std::ostream& os, OutputEvent const& e) {
    return os << int(e.source) << " algo " << e.algo << " router " << e.router << " prefix "
              << e.prefix << " prior " << int(e.prior);
  }
};

inline OutputEvent rootEvent(unsigned algo, OutputEvent::Prior prior = OutputEvent::Prior::none) {
  return {OutputEvent::Source::root, algo, {}, {}, prior};
}
inline OutputEvent mapEvent(unsigned algo, Mpls::RouterId const& router,
                            OutputEvent::Prior prior = OutputEvent::Prior::none) {
  return {OutputEvent::Source::algoMap, algo, router, {}, prior};
}
inline OutputEvent entryEvent(unsigned algo, Mpls::RouterId const& router,
                              Vantre::IpGenPrefix const& prefix,
                              OutputEvent::Prior prior = OutputEvent::Prior::none) {
  return {OutputEvent::Source::routerEntry, algo, router, prefix, prior};
}

class OutputRecorder {
 public:
  // Watches the entity and every child it holds now.
  void watch(RouterToNodeSegmentMapPerAlgo& root) {
    roots_.emplace_back(
        Pavo::Ptr<RouterToNodeSegmentMapPerAlgo>(&root),
        RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField,
        [this, &root](unsigned char const& algo, Pavo::Ptr<RouterToNodeSegmentMap> const* prior) {
          events_.push_back(rootEvent(algo, prior ? OutputEvent::Prior::child : kNew));
          if (prior == nullptr)  // before the new child's own publications
            watch(*root.routerToNodeSegmentMap(algo));
        });
    for (auto it = root.routerToNodeSegmentMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value());
  }
  void watch(RouterToNodeSegmentMap& map) {
    maps_.emplace_back(
        Pavo::Ptr<RouterToNodeSegmentMap>(&map), RouterToNodeSegmentMap::kPrefixMapField,
        [this, &map](Mpls::RouterId const& router, Pavo::Ptr<RouterToNodeSegment> const* prior) {
          events_.push_back(mapEvent(map.algo(), router, prior ? OutputEvent::Prior::child : kNew));
          if (prior == nullptr)
            watch(*map.prefixMap(router), map.algo());
        });
    for (auto it = map.prefixMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value(), map.algo());
  }
  void watch(RouterToNodeSegment& entry, unsigned algo) {
    entries_.emplace_back(
        Pavo::Ptr<RouterToNodeSegment>(&entry), RouterToNodeSegment::kPrefixField,
        [this, algo, router = entry.routerId()](Vantre::IpGenPrefix const& prefix,
                                                bool const* prior) {
          events_.push_back(entryEvent(algo, router, prefix,
                                       !prior   ? kNew
                                       : *prior ? OutputEvent::Prior::trueValue
                                                : OutputEvent::Prior::falseValue));
        });
  }

  std::vector<OutputEvent> const& events() const { return events_; }
  void clear() { events_.clear(); }

 private:
  static constexpr OutputEvent::Prior kNew = OutputEvent::Prior::none;
  template <class Entity, class Key, class Prior>
  using Watches = std::deque<SegmentRouting::Mappers::Subscription<Entity, Key, Prior>>;

  std::vector<OutputEvent> events_;
  // Removed children stay watched while they live: their destruction may publish.
  Watches<RouterToNodeSegmentMapPerAlgo, unsigned char, Pavo::Ptr<RouterToNodeSegmentMap>> roots_;
  Watches<RouterToNodeSegmentMap, Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>> maps_;
  Watches<RouterToNodeSegment, Vantre::IpGenPrefix, bool> entries_;
};

}  // namespace NodeSegTest
