// Granule: the slab allocator for entities and collection member nodes.
//
// Requests up to kMaxSlabSize bytes are served from size classes of 16-byte
// steps; each class carves 64 KiB chunks into equal slots and keeps freed
// slots on a free list. Larger requests go to the global operator new. Chunks
// are kept for the life of the process and reused.
//
// A free slot is poisoned under AddressSanitizer and marked inaccessible to
// valgrind's memcheck (a slot handed out is undefined to it), so a use after
// free is reported by either as it would be for plain new/delete. The pools
// take a lock only while Pavo::ThreadControl::tsp_ is on.
//
// A class becomes slab-allocated and tracked by deriving from
// Granule::SlabAllocated<Self> and declaring its tracker:
//
//   class Foo : public Pavo::Node, public Granule::SlabAllocated<Foo> {
//    public:
//     static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Foo"};
//   };
//
// `new Foo` then takes a slot and counts it; the deleting destructor gives it
// back and counts it off, also when a constructor throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Granule/AllocTrack.h"

namespace Granule {

inline constexpr std::size_t kMaxSlabSize = 1024;

void* slabAlloc(std::size_t size);
// `size` must be the size given to slabAlloc.
void slabFree(void* p, std::size_t size) noexcept;

struct SlabStats {
  std::size_t chunkBytes = 0;  // bytes held in chunks by all size classes
  std::size_t slotsInUse = 0;  // slots handed out and not yet freed
};
SlabStats slabStats() noexcept;

template <class Derived>
class SlabAllocated {
 public:
  static void* operator new(std::size_t size) {
    void* p = slabAlloc(size);
    Derived::memAllocationTracker_.allocated(size);
    return p;
  }
  static void operator delete(void* p, std::size_t size) noexcept {
    Derived::memAllocationTracker_.freed(size);
    slabFree(p, size);
  }
};

}  // namespace Granule
