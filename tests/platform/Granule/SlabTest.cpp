#include "Granule/Slab.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "Granule/AllocTrackSnapshot.h"
#include "Pavo/Ptr.h"
#include "support/TrackedNode.h"

namespace {

TEST(SlabTest, SlotsAreDistinctAlignedAndReused) {
  auto const before = Granule::slabStats().slotsInUse;
  std::vector<void*> slots;
  for (int i = 0; i < 5000; ++i) {
    void* p = Granule::slabAlloc(40);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
    std::memset(p, 0xAB, 40);  // the whole request is usable
    slots.push_back(p);
  }
  EXPECT_EQ(std::set<void*>(slots.begin(), slots.end()).size(), slots.size());
  EXPECT_EQ(Granule::slabStats().slotsInUse, before + slots.size());
  void* last = slots.back();
  Granule::slabFree(last, 40);
  EXPECT_EQ(Granule::slabAlloc(48), last);  // same size class, freed slot first
  for (void* p : slots)
    Granule::slabFree(p, 40);
  EXPECT_EQ(Granule::slabStats().slotsInUse, before);
}

TEST(SlabTest, RandomSizesIncludingLargeOnesRoundTrip) {
  std::mt19937 rng(7);
  std::vector<std::pair<unsigned char*, std::size_t>> live;
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || rng() % 3 != 0) {
      std::size_t const size = 1 + rng() % 1500;  // past the slab limit too
      auto* p = static_cast<unsigned char*>(Granule::slabAlloc(size));
      std::memset(p, static_cast<int>(size & 0xFF), size);
      live.emplace_back(p, size);
    } else {
      std::size_t const i = rng() % live.size();
      auto [p, size] = live[i];
      // Nothing else wrote into this slot while it was handed out.
      for (std::size_t b = 0; b < size; ++b)
        ASSERT_EQ(p[b], size & 0xFF);
      Granule::slabFree(p, size);
      live[i] = live.back();
      live.pop_back();
    }
  }
  for (auto [p, size] : live)
    Granule::slabFree(p, size);
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
