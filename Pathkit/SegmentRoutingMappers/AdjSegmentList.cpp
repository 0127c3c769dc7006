#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"

#include <cassert>
#include <cstring>

#include "Granule/Slab.h"
#include "VekPavo/Strep.h"

namespace SegmentRouting::Mappers {

namespace {

using Member = AdjSegmentList::VekAdjSegmentEntry;

Member* newBlock(std::uint32_t capacity) {
  std::size_t const bytes = capacity * sizeof(Member);
  void* const p = Granule::slabAlloc(bytes);
  Member::memAllocationTracker_.allocated(bytes);
  return static_cast<Member*>(p);
}

void releaseBlock(Member* block, std::uint32_t capacity) noexcept {
  std::size_t const bytes = capacity * sizeof(Member);
  Member::memAllocationTracker_.freed(bytes);
  Granule::slabFree(block, bytes);
}

}  // namespace

// The block has room for a few more, as a copied list is mostly edited next.
void AdjSegmentList::Collection::copyBlock(Collection const& other) {
  std::uint32_t capacity = 2 * kInPlace;
  while (capacity < other.size_)
    capacity *= 2;
  heap_ = newBlock(capacity);
  capacity_ = capacity;
  std::memcpy(static_cast<void*>(heap_), other.heap_, other.size_ * sizeof(Member));
}

AdjSegmentList::Collection& AdjSegmentList::Collection::operator=(Collection const& other) {
  if (this != &other)
    *this = Collection(other);
  return *this;
}

void AdjSegmentList::Collection::freeBlock() noexcept {
  releaseBlock(heap_, capacity_);
}

void AdjSegmentList::Collection::grow() {
  std::uint32_t const capacity = 2 * capacity_;
  Member* const block = newBlock(capacity);
  std::memcpy(static_cast<void*>(block), data(), size_ * sizeof(Member));
  if (spilled())
    releaseBlock(heap_, capacity_);
  heap_ = block;
  capacity_ = capacity;
}

void AdjSegmentList::Collection::eraseAt(std::uint32_t at) noexcept {
  Member* const d = data();
  std::memmove(static_cast<void*>(d + at), d + at + 1, (size_ - at - 1) * sizeof(Member));
  --size_;
  if (spilled() && size_ <= kInPlace) {
    Member* const block = heap_;
    std::memcpy(static_cast<void*>(room_), block, size_ * sizeof(Member));
    releaseBlock(block, capacity_);
    capacity_ = kInPlace;
  }
}

AdjSegmentList::AdjSegmentList(Vek::CharRange&) {
  VekPavo::Impl::throwNoStringConstructor("AdjSegmentList");
}

bool AdjSegmentList::adjSegmentEntryDel(AdjSegmentEntry const& entry) & {
  std::uint32_t const at = entries_.lowerBound(entry);
  if (at == entries_.size_ || !(entries_.data()[at].key_ == entry))
    return false;
  bool const value = entries_.data()[at].value_;
  entries_.eraseAt(at);
  return value;
}

bool AdjSegmentList::adjSegmentEntryDel(Collection::Iterator const& it) & {
  assert((it.atEnd() || it.list() == &entries_) && "an iterator of another list");
  return !it.atEnd() && adjSegmentEntryDel(it->key());
}

bool AdjSegmentList::isEq(void const* a, void const* b) {
  if (a == b)
    return true;
  Collection const& x = static_cast<AdjSegmentList const*>(a)->entries_;
  Collection const& y = static_cast<AdjSegmentList const*>(b)->entries_;
  if (x.size() != y.size())
    return false;
  for (Member const *i = x.data(), *j = y.data(), *end = i + x.size(); i != end; ++i, ++j) {
    if (!AdjSegmentEntry::isEq(&i->key(), &j->key()) || i->value() != j->value())
      return false;
  }
  return true;
}

}  // namespace SegmentRouting::Mappers
