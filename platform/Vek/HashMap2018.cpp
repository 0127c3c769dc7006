#include "Vek/HashMap2018.h"

#include <cstring>
#include <new>

#include "Granule/Slab.h"

namespace Vek {

namespace {

// Bucket arrays come from the slab allocator (it hands larger ones to the
// global allocator): small maps, such as set values, are made and dropped
// all the time. Zeroed: every chain starts empty.
HashLink** newBuckets(std::size_t count) {
  std::size_t const bytes = count * sizeof(HashLink*);
  return static_cast<HashLink**>(std::memset(Granule::slabAlloc(bytes), 0, bytes));
}

void freeBuckets(HashLink** buckets, std::size_t count) noexcept {
  Granule::slabFree(buckets, count * sizeof(HashLink*));
}

}  // namespace

HashLink** HashMapImpl::slotFor(std::uint32_t hash) {
  if (!buckets_) {
    shift_ = kInitialShift;
    buckets_ = newBuckets(std::size_t{1} << (32 - kInitialShift));
  }
  return &buckets_[bucketOf(hash)];
}

void HashMapImpl::reserve(std::size_t members) {
  unsigned shift = kInitialShift;
  while (shift > 0 && (std::size_t{1} << (32 - shift)) < members)
    --shift;
  if (buckets_ == nullptr || size_ == 0) {
    if (buckets_ != nullptr && shift >= shift_)
      return;
    HashLink** const fresh = newBuckets(std::size_t{1} << (32 - shift));
    if (buckets_ != nullptr)
      freeBuckets(buckets_, bucketCount());
    buckets_ = fresh;
    shift_ = shift;
    return;
  }
  while (shift_ > shift && shift_ > 0) {
    unsigned const before = shift_;
    grow();
    if (shift_ == before)
      return;  // no memory: the chains grow longer instead
  }
}

HashLink* HashMapImpl::firstFrom(std::size_t bucket) const noexcept {
  for (std::size_t const n = bucketCount(); bucket < n; ++bucket) {
    if (buckets_[bucket])
      return buckets_[bucket];
  }
  return nullptr;
}

HashLink** HashMapImpl::slotOf(HashLink const* link) const noexcept {
  if (!buckets_ || !link->linked_)
    return nullptr;
  HashLink** slot = &buckets_[bucketOf(link->hash_)];
  while (*slot && *slot != link)
    slot = &(*slot)->next_;
  return *slot ? slot : nullptr;
}

void HashMapImpl::linkAt(HashLink** slot, HashLink* link, std::uint32_t hash) noexcept {
  link->hash_ = hash;
  link->next_ = *slot;
  link->linked_ = true;
  *slot = link;
  ++size_;
  if (size_ > bucketCount())
    grow();
}

HashLink* HashMapImpl::unlinkAt(HashLink** slot) noexcept {
  HashLink* const link = *slot;
  *slot = link->next_;
  link->next_ = nullptr;
  link->linked_ = false;
  --size_;
  return link;
}

HashLink* HashMapImpl::detachAll() noexcept {
  HashLink* head = nullptr;
  HashLink** tail = &head;
  for (std::size_t b = 0, n = bucketCount(); b < n; ++b) {
    for (HashLink* link = buckets_[b]; link; link = link->next_) {
      link->linked_ = false;
      *tail = link;
      tail = &link->next_;
    }
  }
  if (buckets_)
    freeBuckets(buckets_, bucketCount());
  buckets_ = nullptr;
  size_ = 0;
  shift_ = kInitialShift;
  return head;
}

void HashMapImpl::steal(HashMapImpl& other) noexcept {
  assert(!buckets_ && size_ == 0);
  buckets_ = std::exchange(other.buckets_, nullptr);
  size_ = std::exchange(other.size_, 0);
  shift_ = std::exchange(other.shift_, kInitialShift);
}

// Bucket i splits into 2i and 2i + 1 by the next hash bit. A chain is sorted
// by hash, so its members bound for 2i all come before those bound for 2i + 1:
// one cut per chain, order kept. Without memory the map keeps its buckets
// and only its chains grow longer.
void HashMapImpl::grow() noexcept {
  if (shift_ == 0)
    return;  // every hash bit in use already
  std::size_t const oldCount = bucketCount();
  unsigned const newShift = shift_ - 1;
  HashLink** grown;
  try {
    grown = newBuckets(oldCount * 2);
  } catch (std::bad_alloc const&) {
    return;
  }
  for (std::size_t b = 0; b < oldCount; ++b) {
    HashLink** cut = &grown[2 * b];
    *cut = buckets_[b];
    while (*cut && ((*cut)->hash_ >> newShift) == 2 * b)
      cut = &(*cut)->next_;
    grown[2 * b + 1] = *cut;
    *cut = nullptr;
  }
  freeBuckets(buckets_, oldCount);
  buckets_ = grown;
  shift_ = newShift;
}

}  // namespace Vek
