#include "Granule/Slab.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "Granule/AllocTrackSnapshot.h"
#include "Pavo/Ptr.h"
#include "support/TrackedNode.h"

namespace {

// Random sizes, past the slab limit too: every slot is aligned, usable as a
// whole and written by no one else while handed out (each holds its own
// byte); a freed slab slot is the next one handed out in its size class; the
// slots in use are counted.
TEST(SlabTest, RandomSizesAreAlignedDistinctReusedAndCounted) {
  auto const before = Granule::slabStats().slotsInUse;
  std::mt19937 rng(7);
  struct Slot {
    unsigned char* p;
    std::size_t size;
    unsigned char fill;
  };
  std::vector<Slot> live;
  std::size_t slabSlots = 0;
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || rng() % 3 != 0) {
      std::size_t const size = 1 + rng() % 1500;
      auto* p = static_cast<unsigned char*>(Granule::slabAlloc(size));
      ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
      auto const fill = static_cast<unsigned char>(step);
      std::memset(p, fill, size);
      live.push_back({p, size, fill});
      slabSlots += size <= Granule::kMaxSlabSize;
    } else {
      std::size_t const i = rng() % live.size();
      auto const [p, size, fill] = live[i];
      for (std::size_t b = 0; b < size; ++b)
        ASSERT_EQ(p[b], fill);
      Granule::slabFree(p, size);
      if (size <= Granule::kMaxSlabSize) {
        ASSERT_EQ(Granule::slabAlloc(size), p) << "the freed slot first";
        Granule::slabFree(p, size);
        --slabSlots;
      }
      live[i] = live.back();
      live.pop_back();
    }
    ASSERT_EQ(Granule::slabStats().slotsInUse, before + slabSlots);
  }
  for (auto const& slot : live)
    Granule::slabFree(slot.p, slot.size);
  EXPECT_EQ(Granule::slabStats().slotsInUse, before);
}

// A constructor that throws gives its slot back and leaves the tracker even.
class Throwing : public Pavo::Node, public Granule::SlabAllocated<Throwing> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Throwing"};
  Throwing() { throw std::runtime_error("no"); }
};

TEST(SlabTest, ThrowingConstructorIsTrackedBack) {
  auto const slots = Granule::slabStats().slotsInUse;
  EXPECT_THROW((void)Pavo::makePtr<Throwing>(), std::runtime_error);
  EXPECT_EQ(Throwing::memAllocationTracker_.liveObjects(), 0u);
  EXPECT_EQ(Throwing::memAllocationTracker_.totalAllocations(), 1u);
  EXPECT_EQ(Throwing::memAllocationTracker_.liveBytes(), 0u);
  EXPECT_EQ(Granule::slabStats().slotsInUse, slots);
}

// A snapshot names each tracker that differs, counting zero where a tracker
// was not (yet or any more) registered; only more objects or bytes is growth.
TEST(SlabTest, TrackerSnapshotNamesWhatDiffers) {
  using Snapshot = Vek::AllocTrackSnapshot;
  using Change = Snapshot::Change;
  Snapshot const before;
  std::optional<Vek::AllocTrackTypeInfo> late(std::in_place, "SlabTest::Late");
  late->allocated(24);
  Snapshot const grown;
  late->freed(24);
  late->allocated(8);
  Snapshot const shrunk;
  late->freed(8);
  late.reset();
  Snapshot const gone;
  EXPECT_EQ(grown.changesSince(before), (std::vector{Change{"SlabTest::Late", {0, 0}, {1, 24}}}));
  EXPECT_EQ(grown.growthSince(before), grown.changesSince(before));
  EXPECT_EQ(shrunk.changesSince(grown), (std::vector{Change{"SlabTest::Late", {1, 24}, {1, 8}}}));
  EXPECT_TRUE(shrunk.growthSince(grown).empty());
  EXPECT_EQ(gone.changesSince(shrunk), (std::vector{Change{"SlabTest::Late", {1, 8}, {0, 0}}}));
  EXPECT_TRUE(gone.changesSince(before).empty());
  EXPECT_EQ(Snapshot::text(shrunk.changesSince(before)),
            "SlabTest::Late: 1 objects / 8 bytes, 0 / 0 before");
}

}  // namespace
