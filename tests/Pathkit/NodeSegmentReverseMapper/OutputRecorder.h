// OutputRecorder: records every publication of the node-segment map entities
// it watches, as typed events, in the order they were published. A child that
// appears in a watched parent (a publication with no prior) is watched from
// then on, so a recorder on the root sees every change of the output tree.
//
// Ownership: one subscriber record per watched entity, no reference to any
// entity. A removed child stays subscribed (its destruction may publish), so
// the recorder must outlive what it watches; its destructor unsubscribes the
// entities still attached to a parent.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"

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
  OutputRecorder() = default;
  OutputRecorder(OutputRecorder const&) = delete;
  OutputRecorder& operator=(OutputRecorder const&) = delete;
  ~OutputRecorder() {
    for (auto const& [entity, watch] : attached_)
      watch->publisher->subscriberRemove(&watch->record);
  }

  // Watches the entity and every child it holds now.
  void watch(RouterToNodeSegmentMapPerAlgo& root) {
    attach(OutputEvent::Source::root, &root, root.publisher(), 0);
    for (auto it = root.routerToNodeSegmentMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value());
  }
  void watch(RouterToNodeSegmentMap& map) {
    attach(OutputEvent::Source::algoMap, &map, map.publisher(), map.algo());
    for (auto it = map.prefixMapCollection().begin(); !it.atEnd(); ++it)
      watch(*it->value(), map.algo());
  }
  void watch(RouterToNodeSegment& entry, unsigned algo) {
    attach(OutputEvent::Source::routerEntry, &entry, entry.publisher(), algo);
  }

  std::vector<OutputEvent> const& events() const { return events_; }
  void clear() { events_.clear(); }

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

  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* sub, Pavo::FieldId, void const* key,
                       void const* prior) {
    Watch& w = *reinterpret_cast<Watch*>(sub);
    OutputRecorder& self = *w.recorder;
    OutputEvent e{w.source, w.algo, {}, {}, OutputEvent::Prior::none};
    if (w.source == OutputEvent::Source::routerEntry) {
      e.router = static_cast<RouterToNodeSegment const*>(w.entity)->routerId();
      e.prefix = *static_cast<Vantre::IpGenPrefix const*>(key);
      if (prior != nullptr)
        e.prior = *static_cast<bool const*>(prior) ? OutputEvent::Prior::trueValue
                                                   : OutputEvent::Prior::falseValue;
      self.events_.push_back(e);
      return;
    }
    void const* child;
    if (w.source == OutputEvent::Source::root) {
      e.algo = *static_cast<unsigned char const*>(key);
      auto const removed = static_cast<Pavo::Ptr<RouterToNodeSegmentMap> const*>(prior);
      EXPECT_TRUE(!removed || (*removed)->algo() == e.algo) << "removed under another algo";
      child = removed ? static_cast<void const*>(removed->get()) : nullptr;
    } else {
      e.router = *static_cast<Mpls::RouterId const*>(key);
      auto const removed = static_cast<Pavo::Ptr<RouterToNodeSegment> const*>(prior);
      EXPECT_TRUE(!removed || (*removed)->routerId() == e.router) << "removed under another id";
      child = removed ? static_cast<void const*>(removed->get()) : nullptr;
    }
    if (child != nullptr) {
      e.prior = OutputEvent::Prior::child;
      self.attached_.erase(child);  // gone from its parent: keep its record, stop tracking it
      self.events_.push_back(e);
      return;
    }
    self.events_.push_back(e);  // before the new child's own publications
    if (w.source == OutputEvent::Source::root) {
      auto const& root = *static_cast<RouterToNodeSegmentMapPerAlgo const*>(w.entity);
      self.watch(*root.routerToNodeSegmentMap(static_cast<unsigned char>(e.algo)));
    } else {
      auto const& map = *static_cast<RouterToNodeSegmentMap const*>(w.entity);
      self.watch(*map.prefixMap(e.router), w.algo);
    }
  }

  std::vector<OutputEvent> events_;
  std::deque<Watch> watches_;  // stable addresses: publishers keep pointers to the records
  // Watched entities still reachable from a watched parent (or watched directly).
  std::unordered_map<void const*, Watch*> attached_;
};

}  // namespace NodeSegTest
