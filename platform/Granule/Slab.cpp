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
#define GRANULE_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define GRANULE_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define GRANULE_POISON(p, n) ((void)(p), (void)(n))
#define GRANULE_UNPOISON(p, n) ((void)(p), (void)(n))
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

// One size class. Invariant: every slot of every chunk is either on `free`
// (and poisoned) or handed out, or not yet reached by `bump`.
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
    GRANULE_UNPOISON(s, slot);
    pool.free = s->next;
    p = s;
  } else {
    if (pool.bump == nullptr || pool.bump + slot > pool.bumpEnd) {
      auto* chunk = static_cast<ChunkHeader*>(::operator new(kChunkBytes));
      chunk->next = pool.chunks;
      pool.chunks = chunk;
      pool.bump = reinterpret_cast<unsigned char*>(chunk) + sizeof(ChunkHeader);
      pool.bumpEnd = reinterpret_cast<unsigned char*>(chunk) + kChunkBytes;
      all.stats.chunkBytes += kChunkBytes;
      GRANULE_POISON(pool.bump, static_cast<std::size_t>(pool.bumpEnd - pool.bump));
    }
    p = pool.bump;
    pool.bump += slot;
    GRANULE_UNPOISON(p, slot);
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
  GRANULE_POISON(s, slot);
  --all.stats.slotsInUse;
}

SlabStats slabStats() noexcept {
  Pools& all = pools();
  MaybeLock lock(all.mutex);
  return all.stats;
}

}  // namespace Granule
