// Test support: a slab-allocated, tracked entity, and a guard that checks
// every allocation tracker is back where it was when the guard was made
// (a failure names the trackers that differ).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Granule/AllocTrack.h"
#include "Granule/AllocTrackSnapshot.h"
#include "Granule/Slab.h"
#include "Pavo/Node.h"

namespace TestSupport {

class TrackedNode : public Pavo::Node, public Granule::SlabAllocated<TrackedNode> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"TestSupport::TrackedNode"};
  explicit TrackedNode(int v = 0) : value(v) {}
  int value;
};

// The trackers whose live objects or bytes differ from `before`'s, as a
// failure message naming them; empty when none does.
inline std::string trackersChanged(Vek::AllocTrackSnapshot const& before) {
  auto const changed = Vek::AllocTrackSnapshot().changesSince(before);
  return changed.empty()
             ? std::string()
             : "tracked objects leaked or freed twice: " + Vek::AllocTrackSnapshot::text(changed);
}

// Fails the running test if any tracker differs at scope exit.
class TrackerGuard {
 public:
  TrackerGuard() = default;
  ~TrackerGuard() { EXPECT_EQ(trackersChanged(before_), ""); }
  TrackerGuard(TrackerGuard const&) = delete;
  TrackerGuard& operator=(TrackerGuard const&) = delete;

 private:
  Vek::AllocTrackSnapshot const before_;
};

}  // namespace TestSupport
