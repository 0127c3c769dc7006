// RouterToNodeSegment: one originating router and the prefixes whose node
// segments it originates, within one algorithm.
//
// Stored in a RouterToNodeSegmentMap under its own routerId, which never
// changes. The `prefix` collection is an ordered set of prefixes (each with a
// bool, true for everything the reverse mapper stores), kept in ascending
// Vantre::IpGenPrefix order. Every effective change publishes field 131 with
// the prefix and the prior bool (none for a new prefix).
//
// Ownership: the parent map holds one reference; readers may hold more. The
// tree owns its member nodes; an iterator keeps the member it stands on alive.
// Destruction drops the tree without publishing the prefixes.
#pragma once

#include <cstddef>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Mpls/RouterId.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/RbTreeMap.h"

namespace SegmentRouting::Mappers {

class RouterToNodeSegment : public Pavo::Node, public Granule::SlabAllocated<RouterToNodeSegment> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::RouterToNodeSegment"};
  static constexpr Pavo::FieldId kRouterIdField = 130;
  static constexpr Pavo::FieldId kPrefixField = 131;

  // A member of `prefix`: the prefix (key), its bool, and the tree links. It
  // has no publisher and reports the generic node type.
  class VekPrefix : public Vek::RbTreeMember<VekPrefix, Vantre::IpGenPrefix, bool>,
                    public Granule::SlabAllocated<VekPrefix> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::RouterToNodeSegment::VekPrefix"};
    using RbTreeMember::RbTreeMember;
  };

  // Keyed by the prefix's own isEq and operator<, so the iterator is
  // Vek::RbTreeMap<VekPrefix, Vantre::IpGenPrefix, bool>::Iterator.
  using PrefixCollection = Vek::RbTreeMap<VekPrefix, Vantre::IpGenPrefix, bool>;

  explicit RouterToNodeSegment(Mpls::RouterId const& routerId);
  ~RouterToNodeSegment() override;

  Mpls::RouterId const& routerId() const { return routerId_; }

  // Adds the prefix or replaces its value; an equal value changes nothing.
  void prefixIs(Vantre::IpGenPrefix const& prefix, bool value);
  // Removes the prefix; returns its value, false when it was absent.
  bool prefixDel(Vantre::IpGenPrefix const& prefix);
  // Removes the member under the iterator; returns its value (false at end).
  bool prefixDel(PrefixCollection::Iterator const& it);
  // Without subscribers: clears in one step, publishing nothing. Otherwise
  // removes member by member in ascending order, publishing each removal.
  void prefixDelAll();

  // The member, or null when absent.
  VekPrefix const* prefix(Vantre::IpGenPrefix const& prefix) const { return prefix_.find(prefix); }
  bool prefixHas(Vantre::IpGenPrefix const& prefix) const { return prefix_.contains(prefix); }
  std::size_t prefixCount() const { return prefix_.size(); }
  PrefixCollection const& prefixCollection() const { return prefix_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  // Publishes the removal of a member just taken out (none: nothing) and
  // returns its value.
  bool prefixRemoved(Pavo::Ptr<VekPrefix> const& removed);

  Mpls::RouterId const routerId_;
  PrefixCollection prefix_;
  // Declared last so it goes first: destruction publishes nothing.
  mutable Pavo::Publisher publisher_;
};

}  // namespace SegmentRouting::Mappers
