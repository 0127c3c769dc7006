// AdjSegmentList: the adjacency segments seen on one link, an ordered map
// from AdjSegmentEntry to a bool, ascending in the entry's order.
//
//   AdjSegmentList list;
//   list.adjSegmentEntryIs(AdjSegmentEntry(false, 10, sid), true);
//   for (auto it = list.adjSegmentEntryCollection().begin(); !it.atEnd(); ++it)
//     use(it->key(), it->value());
//
// A plain value: copies are deep (every member in a node of its own, never
// shared), equality compares entries and bools in order, and it tests true
// when it has a member. Storing false keeps the member (with value false).
// Each member is a counted, slab-allocated, tracked VekAdjSegmentEntry node;
// an iterator keeps the member it stands on alive, and survives its removal.
// Look-ups and value overwrites allocate nothing. It has no text form.
#pragma once

#include <cstddef>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Vek/RbTreeMap.h"

namespace SegmentRouting::Mappers {

class AdjSegmentList {
 public:
  // A member: the entry (key), its bool and the tree links. It reports the
  // generic node type.
  class VekAdjSegmentEntry : public Vek::RbTreeMember<VekAdjSegmentEntry, AdjSegmentEntry, bool>,
                             public Granule::SlabAllocated<VekAdjSegmentEntry> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::AdjSegmentList::VekAdjSegmentEntry"};
    using RbTreeMember::RbTreeMember;
  };
  using Collection = Vek::RbTreeMap<VekAdjSegmentEntry, AdjSegmentEntry, bool>;

  AdjSegmentList() noexcept = default;
  AdjSegmentList(AdjSegmentList const& other);
  AdjSegmentList& operator=(AdjSegmentList const& other);
  // A move hands the nodes over; the source is left empty.
  AdjSegmentList(AdjSegmentList&& other) noexcept = default;
  AdjSegmentList& operator=(AdjSegmentList&& other) noexcept = default;
  ~AdjSegmentList() = default;
  // Refused: a value holding a collection has no text form.
  explicit AdjSegmentList(Vek::CharRange& range);

  // Overwrites the value of an equal entry in place, else inserts.
  void adjSegmentEntryIs(AdjSegmentEntry const& entry, bool value) & {
    entries_.memberIs(entry, value);
  }
  // Removes the entry; returns its value, false when it was absent.
  bool adjSegmentEntryDel(AdjSegmentEntry const& entry) &;
  // Removes the member under the iterator; returns its value (false at the end).
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
  // Copies every member of `other` into new nodes, in order.
  void copyIn(AdjSegmentList const& other);

  Collection entries_;
};

}  // namespace SegmentRouting::Mappers
