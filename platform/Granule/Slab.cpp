#include "Granule/Slab.h"

#include <array>
#include <cstddef>
#include <mutex>
#include <new>

#include "Pavo/ThreadControl.h"

#if defined(__SANITIZE_ADDRESS__)
#define GRANULE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GRANULE_ASAN 1
#endif
#endif

#ifdef GRANULE_ASAN
#include <sanitizer/asan_interface.h>
#define GRANULE_ASAN_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define GRANULE_ASAN_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define GRANULE_ASAN_POISON(p, n) ((void)(p), (void)(n))
#define GRANULE_ASAN_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

// memcheck's client requests are header-only and do nothing unless the
// process runs under valgrind; without the header they are left out.
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define GRANULE_VG_NOACCESS(p, n) ((void)VALGRIND_MAKE_MEM_NOACCESS(p, n))
#define GRANULE_VG_UNDEFINED(p, n) ((void)VALGRIND_MAKE_MEM_UNDEFINED(p, n))
#define GRANULE_VG_DEFINED(p, n) ((void)VALGRIND_MAKE_MEM_DEFINED(p, n))
#else
#define GRANULE_VG_NOACCESS(p, n) ((void)(p), (void)(n))
#define GRANULE_VG_UNDEFINED(p, n) ((void)(p), (void)(n))
#define GRANULE_VG_DEFINED(p, n) ((void)(p), (void)(n))
#endif

namespace Granule {

namespace {

constexpr std::size_t kStep = 16;
constexpr std::size_t kClasses = kMaxSlabSize / kStep;
constexpr std::size_t kChunkBytes = 64 * 1024;

struct FreeSlot {
  FreeSlot* next;
};

// Chunks of a size class are chained through their first word, so every
// chunk stays reachable (and is not reported as a leak).
struct ChunkHeader {
  ChunkHeader* next;
  std::max_align_t align;
};

// A slot out of use is closed to AddressSanitizer and memcheck alike; a slot
// handed out is open, its contents undefined to memcheck.
void slotClosed(void* p, std::size_t n) {
  GRANULE_ASAN_POISON(p, n);
  GRANULE_VG_NOACCESS(p, n);
}
void slotOpened(void* p, std::size_t n) {
  GRANULE_ASAN_UNPOISON(p, n);
  GRANULE_VG_UNDEFINED(p, n);
}

// One size class. Invariant: every slot of every chunk is either on `free`
// (and closed) or handed out, or not yet reached by `bump` (and closed).
struct Pool {
  ChunkHeader* chunks = nullptr;
  FreeSlot* free = nullptr;
  unsigned char* bump = nullptr;  // next never-used slot of the newest chunk
  unsigned char* bumpEnd = nullptr;
};

struct Pools {
  std::mutex mutex;
  std::array<Pool, kClasses> pools;
  SlabStats stats;
};

// Never destroyed: slots may be freed by static destructors of other objects.
Pools& pools() {
  static Pools* p = new Pools;
  return *p;
}

class MaybeLock {
 public:
  explicit MaybeLock(std::mutex& m) : m_(Pavo::ThreadControl::tsp_ ? &m : nullptr) {
    if (m_)
      m_->lock();
  }
  ~MaybeLock() {
    if (m_)
      m_->unlock();
  }
  MaybeLock(MaybeLock const&) = delete;
  MaybeLock& operator=(MaybeLock const&) = delete;

 private:
  std::mutex* m_;
};

}  // namespace

void* slabAlloc(std::size_t size) {
  if (size == 0)
    size = 1;
  if (size > kMaxSlabSize)
    return ::operator new(size);
  std::size_t const cls = (size - 1) / kStep;
  std::size_t const slot = (cls + 1) * kStep;
  Pools& all = pools();
  MaybeLock lock(all.mutex);
  Pool& pool = all.pools[cls];
  void* p;
  if (pool.free != nullptr) {
    FreeSlot* s = pool.free;
    GRANULE_ASAN_UNPOISON(s, sizeof(FreeSlot));
    GRANULE_VG_DEFINED(s, sizeof(FreeSlot));
    pool.free = s->next;
    slotOpened(s, slot);
    p = s;
  } else {
    if (pool.bump == nullptr || pool.bump + slot > pool.bumpEnd) {
      auto* chunk = static_cast<ChunkHeader*>(::operator new(kChunkBytes));
      chunk->next = pool.chunks;
      pool.chunks = chunk;
      pool.bump = reinterpret_cast<unsigned char*>(chunk) + sizeof(ChunkHeader);
      pool.bumpEnd = reinterpret_cast<unsigned char*>(chunk) + kChunkBytes;
      all.stats.chunkBytes += kChunkBytes;
      slotClosed(pool.bump, static_cast<std::size_t>(pool.bumpEnd - pool.bump));
    }
    p = pool.bump;
    pool.bump += slot;
    slotOpened(p, slot);
  }
  ++all.stats.slotsInUse;
  return p;
}

void slabFree(void* p, std::size_t size) noexcept {
  if (p == nullptr)
    return;
  if (size == 0)
    size = 1;
  if (size > kMaxSlabSize) {
    ::operator delete(p);
    return;
  }
  std::size_t const cls = (size - 1) / kStep;
  std::size_t const slot = (cls + 1) * kStep;
  Pools& all = pools();
  MaybeLock lock(all.mutex);
  Pool& pool = all.pools[cls];
  auto* s = static_cast<FreeSlot*>(p);
  s->next = pool.free;
  pool.free = s;
  slotClosed(s, slot);
  --all.stats.slotsInUse;
}

SlabStats slabStats() noexcept {
  Pools& all = pools();
  MaybeLock lock(all.mutex);
  return all.stats;
}

}  // namespace Granule
