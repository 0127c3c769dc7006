// OutputRecorder: records every publication of the node-segment map entities
// it watches, as typed events, in the order they were published.
//
// A test watches a root (RouterToNodeSegmentMapPerAlgo), an algorithm map or a
// router entry. With `followChildren`, a child that appears in a watched
// parent (a publication with no prior value) is watched from then on, so a
// recorder on the root sees every change of the whole output tree.
//
// Ownership: the recorder owns one subscriber record per watched entity and
// holds no reference to any entity. A child removed from its parent stays
// subscribed (its destruction may still publish) but is no longer touched by
// the recorder. Records live until the recorder goes, so the recorder must
// outlive every entity it watches that may still publish; call `forget()`
// before destroying watched entities while the recorder lives on, otherwise
// the destructor unsubscribes the entities still attached to a parent.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "Mpls/RouterId.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pavo/Publisher.h"
#include "Vantre/IpGenPrefix.h"

namespace NodeSegTest {

using SegmentRouting::Mappers::RouterToNodeSegment;
using SegmentRouting::Mappers::RouterToNodeSegmentMap;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;

struct OutputEvent {
  enum class Source : std::uint8_t { root, algoMap, routerEntry };
  enum class Prior : std::uint8_t { none, falseValue, trueValue, child };

  Source source = Source::root;
  void const* entity = nullptr;  // the publishing entity
  Pavo::FieldId field = 0;
  unsigned algo = 0;           // the root's key, or the algorithm of the publisher
  Mpls::RouterId router;       // an algorithm map's key, or the router entry's own id
  Vantre::IpGenPrefix prefix;  // a router entry's key
  Prior prior = Prior::none;
  void const* priorChild = nullptr;  // the removed child, for Prior::child

  friend bool operator==(OutputEvent const&, OutputEvent const&) = default;

  static OutputEvent rootEvent(void const* root, unsigned algo, void const* removed = nullptr) {
    OutputEvent e;
    e.source = Source::root;
    e.entity = root;
    e.field = RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField;
    e.algo = algo;
    e.prior = removed != nullptr ? Prior::child : Prior::none;
    e.priorChild = removed;
    return e;
  }
  static OutputEvent mapEvent(void const* map, unsigned algo, Mpls::RouterId const& router,
                              void const* removed = nullptr) {
    OutputEvent e;
    e.source = Source::algoMap;
    e.entity = map;
    e.field = RouterToNodeSegmentMap::kPrefixMapField;
    e.algo = algo;
    e.router = router;
    e.prior = removed != nullptr ? Prior::child : Prior::none;
    e.priorChild = removed;
    return e;
  }
  static OutputEvent entryEvent(void const* entry, unsigned algo, Mpls::RouterId const& router,
                                Vantre::IpGenPrefix const& prefix, Prior prior = Prior::none) {
    OutputEvent e;
    e.source = Source::routerEntry;
    e.entity = entry;
    e.field = RouterToNodeSegment::kPrefixField;
    e.algo = algo;
    e.router = router;
    e.prefix = prefix;
    e.prior = prior;
    return e;
  }
};

inline std::ostream& operator<<(std::ostream& os, OutputEvent const& e) {
  static char const* const sources[] = {"root", "algoMap", "routerEntry"};
  static char const* const priors[] = {"none", "false", "true", "child"};
  os << sources[static_cast<int>(e.source)] << "@" << e.entity << " field " << e.field << " algo "
     << e.algo;
  if (e.source != OutputEvent::Source::root)
    os << " router " << e.router;
  if (e.source == OutputEvent::Source::routerEntry)
    os << " prefix " << e.prefix;
  os << " prior " << priors[static_cast<int>(e.prior)];
  if (e.prior == OutputEvent::Prior::child)
    os << "@" << e.priorChild;
  return os;
}

class OutputRecorder {
 public:
  explicit OutputRecorder(bool followChildren = true) : follow_(followChildren) {}
  OutputRecorder(OutputRecorder const&) = delete;
  OutputRecorder& operator=(OutputRecorder const&) = delete;
  ~OutputRecorder() {
    for (auto const& [entity, watch] : attached_)
      watch->publisher->subscriberRemove(&watch->record);
  }

  // Watches the root and, with followChildren, every child it holds now.
  void watch(RouterToNodeSegmentMapPerAlgo& root) {
    attach(OutputEvent::Source::root, &root, root.publisher(), 0);
    if (!follow_)
      return;
    for (auto it = root.routerToNodeSegmentMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value());
  }
  void watch(RouterToNodeSegmentMap& map) {
    attach(OutputEvent::Source::algoMap, &map, map.publisher(), map.algo());
    if (!follow_)
      return;
    for (auto it = map.prefixMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value(), map.algo());
  }
  void watch(RouterToNodeSegment& entry, unsigned algo) {
    attach(OutputEvent::Source::routerEntry, &entry, entry.publisher(), algo);
  }

  std::vector<OutputEvent> const& events() const { return events_; }
  void clear() { events_.clear(); }
  // Stops unsubscribing at destruction: the watched entities go first.
  void forget() { attached_.clear(); }

 private:
  struct Watch {
    Pavo::Subscriber record;  // first member: dispatch finds the watch from it
    OutputRecorder* recorder;
    OutputEvent::Source source;
    void const* entity;
    Pavo::Publisher* publisher;
    unsigned algo;
  };

  void attach(OutputEvent::Source source, void const* entity, Pavo::Publisher* publisher,
              unsigned algo) {
    Watch& w = watches_.emplace_back(
        Watch{{&OutputRecorder::dispatch}, this, source, entity, publisher, algo});
    attached_[entity] = &w;
    publisher->subscriberAdd(&w.record, false);
  }
  // The child is gone from its parent: keep its record, stop tracking it.
  void detach(void const* entity) { attached_.erase(entity); }

  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* sub, Pavo::FieldId field,
                       void const* key, void const* prior) {
    Watch& w = *reinterpret_cast<Watch*>(sub);
    OutputRecorder& self = *w.recorder;
    OutputEvent e;
    e.source = w.source;
    e.entity = w.entity;
    e.field = field;
    e.algo = w.algo;
    switch (w.source) {
      case OutputEvent::Source::root: {
        auto const& root = *static_cast<RouterToNodeSegmentMapPerAlgo const*>(w.entity);
        e.algo = *static_cast<unsigned char const*>(key);
        if (prior != nullptr) {
          auto const& child = *static_cast<Pavo::Ptr<RouterToNodeSegmentMap> const*>(prior);
          e.prior = OutputEvent::Prior::child;
          e.priorChild = child.get();
          EXPECT_EQ(child->algo(), e.algo) << "removed child stored under another algo";
          self.detach(child.get());
        } else if (self.follow_) {
          self.events_.push_back(e);  // before the child's own publications
          self.watch(*root.routerToNodeSegmentMap(static_cast<unsigned char>(e.algo)));
          return;
        }
        break;
      }
      case OutputEvent::Source::algoMap: {
        auto const& map = *static_cast<RouterToNodeSegmentMap const*>(w.entity);
        e.router = *static_cast<Mpls::RouterId const*>(key);
        if (prior != nullptr) {
          auto const& child = *static_cast<Pavo::Ptr<RouterToNodeSegment> const*>(prior);
          e.prior = OutputEvent::Prior::child;
          e.priorChild = child.get();
          EXPECT_EQ(child->routerId(), e.router) << "removed child stored under another router";
          self.detach(child.get());
        } else if (self.follow_) {
          self.events_.push_back(e);
          self.watch(*map.prefixMap(e.router), w.algo);
          return;
        }
        break;
      }
      case OutputEvent::Source::routerEntry: {
        auto const& entry = *static_cast<RouterToNodeSegment const*>(w.entity);
        e.router = entry.routerId();
        e.prefix = *static_cast<Vantre::IpGenPrefix const*>(key);
        if (prior != nullptr) {
          e.prior = *static_cast<bool const*>(prior) ? OutputEvent::Prior::trueValue
                                                     : OutputEvent::Prior::falseValue;
        }
        break;
      }
    }
    self.events_.push_back(e);
  }

  bool const follow_;
  std::vector<OutputEvent> events_;
  // Stable addresses: publishers keep pointers to the records.
  std::deque<Watch> watches_;
  // Watched entities still reachable from a watched parent (or watched directly).
  std::unordered_map<void const*, Watch*> attached_;
};

}  // namespace NodeSegTest
