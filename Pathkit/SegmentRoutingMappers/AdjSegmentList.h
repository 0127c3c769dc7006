// AdjSegmentList: the adjacency segments seen on one link, an ordered map
// from AdjSegmentEntry to a bool, ascending in the entry's order.
//
//   AdjSegmentList list;
//   list.adjSegmentEntryIs(AdjSegmentEntry(false, 10, sid), true);
//   for (auto it = list.adjSegmentEntryCollection().begin(); !it.atEnd(); ++it)
//     use(it->key(), it->value());
//
// A plain value: copies are deep (never sharing storage), equality compares
// entries and bools in order, and it tests true when it has a member.
// Storing false keeps the member (with value false).
//
// Storage: the members (VekAdjSegmentEntry: the entry and its bool) stand in
// one array sorted by entry, no two equal. A link lists one or two entries
// nearly always, so the list has room for kInPlace members in itself; a
// longer list keeps its array in a slab block, counted by VekAdjSegmentEntry's
// allocation tracker, which doubles when full and is let go when the list
// fits its room again. Look-ups search the array; an insertion or removal
// moves the members after its place. Look-ups, value overwrites, iteration
// and copies of a list that fits its room allocate nothing.
//
// An iterator holds its list, the place of its member and a copy of it (`*it`
// is the member as it stood when the iterator reached it), so it survives the
// removal of that member or of any other: `++` goes on at the first member
// greater than its entry. Iterators must not outlive their list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "Granule/AllocTrack.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"

namespace SegmentRouting::Mappers {

class AdjSegmentList {
 public:
  // A member: the entry (key) and its bool.
  class VekAdjSegmentEntry {
   public:
    // Counts the arrays of lists longer than their room.
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::AdjSegmentList::VekAdjSegmentEntry"};

    VekAdjSegmentEntry() noexcept = default;
    VekAdjSegmentEntry(AdjSegmentEntry const& key, bool value) noexcept
        : key_(key), value_(value) {}

    AdjSegmentEntry const& key() const noexcept { return key_; }
    bool value() const noexcept { return value_; }

   private:
    friend class AdjSegmentList;
    AdjSegmentEntry key_;
    bool value_ = false;
  };
  static_assert(std::is_trivially_copyable_v<VekAdjSegmentEntry>, "members move as bytes");

  // The sorted array and the read side of the list.
  class Collection {
   public:
    class Iterator {
     public:
      Iterator() noexcept = default;

      VekAdjSegmentEntry const& operator*() const noexcept { return member_; }
      VekAdjSegmentEntry const* operator->() const noexcept { return &member_; }
      // The stored member with the iterator's entry; null at the end or when
      // that entry is no longer a member.
      VekAdjSegmentEntry const* member() const noexcept {
        return atEnd_ ? nullptr : list_->find(member_.key_);
      }
      bool atEnd() const noexcept { return atEnd_; }
      Collection const* list() const noexcept { return list_; }
      // Both at the end, or on equal entries of one list.
      bool operator==(Iterator const& o) const noexcept {
        return atEnd_ || o.atEnd_ ? atEnd_ == o.atEnd_
                                  : list_ == o.list_ && member_.key_ == o.member_.key_;
      }

      // At the end: stays there.
      Iterator& operator++() noexcept {
        if (atEnd_)
          return *this;
        // The member is still where it was: the next place; else the place
        // after its entry, found again.
        std::uint32_t const next = at_ < list_->size_ && list_->data()[at_].key_ == member_.key_
                                       ? at_ + 1
                                       : list_->upperBound(member_.key_);
        stepTo(next);
        return *this;
      }

     private:
      friend class Collection;
      Iterator(Collection const* list, std::uint32_t at) noexcept : list_(list) { stepTo(at); }
      void stepTo(std::uint32_t at) noexcept {
        atEnd_ = at >= list_->size_;
        if (!atEnd_) {
          at_ = at;
          member_ = list_->data()[at];
        }
      }

      Collection const* list_ = nullptr;
      std::uint32_t at_ = 0;  // the member's place when the iterator reached it
      bool atEnd_ = true;
      VekAdjSegmentEntry member_;
    };

    // Members kept in the list itself before it takes a slab block.
    static constexpr std::uint32_t kInPlace = 2;

    Collection() noexcept {}
    Collection(Collection const& other) : size_(other.size_) {
      if (other.spilled())
        copyBlock(other);
      else
        std::memcpy(static_cast<void*>(room_), other.room_, sizeof room_);
    }
    Collection& operator=(Collection const& other);
    // A move hands the members over; the source is left empty.
    Collection(Collection&& other) noexcept { take(other); }
    Collection& operator=(Collection&& other) noexcept {
      if (this != &other) {
        release();
        take(other);
      }
      return *this;
    }
    ~Collection() { release(); }

    // The member with an equal entry, or null: valid until the list changes.
    VekAdjSegmentEntry const* find(AdjSegmentEntry const& key) const noexcept {
      std::uint32_t const at = lowerBound(key);
      return at < size_ && data()[at].key_ == key ? data() + at : nullptr;
    }
    bool contains(AdjSegmentEntry const& key) const noexcept { return find(key) != nullptr; }
    // The stored bool, false when absent.
    bool lookup(AdjSegmentEntry const& key) const noexcept {
      VekAdjSegmentEntry const* m = find(key);
      return m != nullptr && m->value_;
    }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    // The members in ascending order, size() of them: valid until the list changes.
    VekAdjSegmentEntry const* data() const noexcept {
      return spilled() ? heap_ : reinterpret_cast<VekAdjSegmentEntry const*>(room_);
    }

    Iterator begin() const noexcept;
    Iterator end() const noexcept;
    // At the member with an equal entry, else at the first greater one, else end.
    Iterator iterFrom(AdjSegmentEntry const& key) const noexcept;

   private:
    friend class AdjSegmentList;

    bool spilled() const noexcept { return capacity_ > kInPlace; }
    VekAdjSegmentEntry* data() noexcept {
      return spilled() ? heap_ : reinterpret_cast<VekAdjSegmentEntry*>(room_);
    }
    // The first place whose entry is not less than `key`; size() when none.
    std::uint32_t lowerBound(AdjSegmentEntry const& key) const noexcept {
      VekAdjSegmentEntry const* const d = data();
      std::uint32_t lo = 0;
      for (std::uint32_t n = size_; n > 0;) {
        std::uint32_t const half = n / 2;
        if (d[lo + half].key_ < key) {
          lo += half + 1;
          n -= half + 1;
        } else {
          n = half;
        }
      }
      return lo;
    }
    // The first place whose entry is greater than `key`.
    std::uint32_t upperBound(AdjSegmentEntry const& key) const noexcept {
      std::uint32_t const at = lowerBound(key);
      return at < size_ && data()[at].key_ == key ? at + 1 : at;
    }

    // Overwrites the value of an equal entry, else inserts at its place.
    void memberIs(AdjSegmentEntry const& key, bool value);
    // Removes the member at `at` (< size()); shrinks back into the room.
    void eraseAt(std::uint32_t at) noexcept;
    void deleteAll() noexcept { release(); }
    // Doubles the capacity, moving the members to a new slab block.
    void grow();
    // Empties the list and lets its block go.
    void release() noexcept {
      if (spilled())
        freeBlock();
      size_ = 0;
      capacity_ = kInPlace;
    }
    void freeBlock() noexcept;
    // The members of a spilled `other` into a block of this list's own.
    void copyBlock(Collection const& other);
    // Takes the members of `other`, leaving it empty; this list holds none.
    void take(Collection& other) noexcept {
      std::memcpy(static_cast<void*>(room_), other.room_, sizeof room_);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, kInPlace);
    }

    // Invariant: spilled exactly when more than kInPlace members.
    union {
      VekAdjSegmentEntry* heap_;  // while spilled: capacity_ members
      alignas(VekAdjSegmentEntry) std::byte room_[kInPlace * sizeof(VekAdjSegmentEntry)];
    };
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = kInPlace;  // over kInPlace when spilled
  };

  AdjSegmentList() noexcept = default;
  // Refused: a value holding a collection has no text form.
  explicit AdjSegmentList(Vek::CharRange& range);

  // Overwrites the value of an equal entry in place, else inserts.
  void adjSegmentEntryIs(AdjSegmentEntry const& entry, bool value) & {
    entries_.memberIs(entry, value);
  }
  // Removes the entry; returns its value, false when it was absent.
  bool adjSegmentEntryDel(AdjSegmentEntry const& entry) &;
  // Removes the member the iterator stands on, when it is still one; returns
  // its value (false at the end or when it is out already).
  bool adjSegmentEntryDel(Collection::Iterator const& it) &;
  void adjSegmentEntryDelAll() & { entries_.deleteAll(); }

  // The entry's value, false when absent.
  bool adjSegmentEntry(AdjSegmentEntry const& entry) const { return entries_.lookup(entry); }
  bool adjSegmentEntryHas(AdjSegmentEntry const& entry) const { return entries_.contains(entry); }
  std::size_t adjSegmentEntryCount() const noexcept { return entries_.size(); }
  // Ascending iteration: begin(), or iterFrom(entry) for the first member not
  // less than `entry`.
  Collection const& adjSegmentEntryCollection() const noexcept { return entries_; }

  static bool isEq(void const* a, void const* b);
  friend bool operator==(AdjSegmentList const& a, AdjSegmentList const& b) { return isEq(&a, &b); }
  explicit operator bool() const noexcept { return !entries_.empty(); }

 private:
  Collection entries_;
};

inline AdjSegmentList::Collection::Iterator AdjSegmentList::Collection::begin() const noexcept {
  return Iterator(this, 0);
}
inline AdjSegmentList::Collection::Iterator AdjSegmentList::Collection::end() const noexcept {
  return Iterator();
}
inline AdjSegmentList::Collection::Iterator AdjSegmentList::Collection::iterFrom(
    AdjSegmentEntry const& key) const noexcept {
  return Iterator(this, lowerBound(key));
}

inline void AdjSegmentList::Collection::memberIs(AdjSegmentEntry const& key, bool value) {
  std::uint32_t const at = lowerBound(key);
  VekAdjSegmentEntry* d = data();
  if (at < size_ && d[at].key_ == key) {
    d[at].value_ = value;
    return;
  }
  if (size_ == capacity_) {
    grow();
    d = data();
  }
  for (std::uint32_t i = size_; i > at; --i)
    d[i] = d[i - 1];
  d[at] = VekAdjSegmentEntry(key, value);
  ++size_;
}

}  // namespace SegmentRouting::Mappers
