// Vek::AllocTrackTypeInfo: per-type allocation tracking.
//
// Each slab-allocated class owns one tracker, `memAllocationTracker_`, that
// counts its live objects and bytes and its totals. Trackers register
// themselves in a process-wide list, so a test can check that every one of
// them is back to zero once the objects it created are gone:
//
//   bool const noneLeft = Vek::AllocTrackTypeInfo::liveObjectsAll() == 0;
//
// Counting is relaxed-atomic: exact once the threads that allocate have been
// joined.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace Vek {

class AllocTrackTypeInfo {
 public:
  explicit AllocTrackTypeInfo(char const* typeName) noexcept;
  AllocTrackTypeInfo(AllocTrackTypeInfo const&) = delete;
  AllocTrackTypeInfo& operator=(AllocTrackTypeInfo const&) = delete;
  ~AllocTrackTypeInfo();

  void allocated(std::size_t bytes) noexcept {
    live_.fetch_add(1, std::memory_order_relaxed);
    liveBytes_.fetch_add(bytes, std::memory_order_relaxed);
    total_.fetch_add(1, std::memory_order_relaxed);
  }
  void freed(std::size_t bytes) noexcept {
    live_.fetch_sub(1, std::memory_order_relaxed);
    liveBytes_.fetch_sub(bytes, std::memory_order_relaxed);
  }

  char const* typeName() const noexcept { return typeName_; }
  std::uint64_t liveObjects() const noexcept { return live_.load(std::memory_order_relaxed); }
  std::uint64_t liveBytes() const noexcept { return liveBytes_.load(std::memory_order_relaxed); }
  std::uint64_t totalAllocations() const noexcept { return total_.load(std::memory_order_relaxed); }

  // Every registered tracker, in registration order.
  static void forEach(std::function<void(AllocTrackTypeInfo const&)> const& fn);
  // Sum of liveObjects() over every tracker.
  static std::uint64_t liveObjectsAll();

 private:
  char const* typeName_;
  std::atomic<std::uint64_t> live_{0};
  std::atomic<std::uint64_t> liveBytes_{0};
  std::atomic<std::uint64_t> total_{0};
  AllocTrackTypeInfo* next_ = nullptr;
};

}  // namespace Vek
