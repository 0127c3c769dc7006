// Test support: a slab-allocated, tracked entity, and a guard that checks
// every allocation tracker is back where it was when the guard was made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "Granule/Slab.h"
#include "Pavo/Node.h"
#include "Vek/AllocTrack.h"

namespace TestSupport {

class TrackedNode : public Pavo::Node, public Granule::SlabAllocated<TrackedNode> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"TestSupport::TrackedNode"};
  explicit TrackedNode(int v = 0) : value(v) {}
  int value;
};

// Fails the running test if live tracked objects differ at scope exit.
class TrackerGuard {
 public:
  TrackerGuard() : before_(Vek::AllocTrackTypeInfo::liveObjectsAll()) {}
  ~TrackerGuard() {
    EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), before_)
        << "tracked objects leaked or freed twice";
  }
  TrackerGuard(TrackerGuard const&) = delete;
  TrackerGuard& operator=(TrackerGuard const&) = delete;

 private:
  std::uint64_t before_;
};

}  // namespace TestSupport
