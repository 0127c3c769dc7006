// NeighborSet and AdjSegmentSet: the two hash-set values of the adjacency
// side. A NeighborSet names the links (Cspf::LinkKey) one adjacency segment
// stands for; an AdjSegmentSet holds the AdjSegmentEntry values filed for one
// adjacency segment.
//
//   NeighborSet links;
//   links.linkIs(link);                       // a second linkIs changes nothing
//   for (auto it = links.linkCollection().begin(); !it.atEnd(); ++it) use(it->key());
//
// Both hold one KeySet over Vek::HashMap2018: each member is a counted,
// slab-allocated, tracked node holding a copy of its key; the key is hashed
// once per operation with the process seed XOR the set's constant. Iteration
// runs in the map's canonical (hash, key) order, so equal sets iterate alike
// and equality compares them pair by pair. Copies are deep; a set tests true
// when it has a member. Look-ups, a repeated add and equality allocate
// nothing. Neither has a text form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Cspf/LinkKey.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Pavo/Ptr.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

// The body both set values share: a hash set of `Key` in `Node` members,
// seeded with `Constant`. Copying copies every member into a node of its own.
template <class Node, class Key, std::uint32_t Constant>
class KeySet {
 public:
  using KeyOps = Vek::SeededKeyOps<Key, Constant>;
  using Collection = Vek::HashMap2018<Node, Key, KeyOps>;

  KeySet() noexcept = default;
  KeySet(KeySet const& other) { copyIn(other); }
  KeySet& operator=(KeySet const& other) {
    if (this != &other) {
      members_.deleteAll();
      copyIn(other);
    }
    return *this;
  }
  // A move hands the members over; the source is left empty.
  KeySet(KeySet&& other) noexcept = default;
  KeySet& operator=(KeySet&& other) noexcept = default;
  ~KeySet() = default;

  // Adds a copy of `key` unless it is a member; also with the key's hash
  // already known (Collection::hashOf).
  void add(Key const& key) { add(key, Collection::hashOf(key)); }
  void add(Key const& key, std::uint32_t hash) {
    if (!members_.contains(key, hash))
      members_.memberIs(Pavo::Ptr<Node>::adopt(new Node(key)), hash);
  }
  bool remove(Key const& key) { return members_.memberDel(key) != nullptr; }
  bool remove(Key const& key, std::uint32_t hash) {
    return members_.memberDel(key, hash) != nullptr;
  }
  void clear() noexcept { members_.deleteAll(); }
  bool contains(Key const& key) const { return members_.contains(key); }
  Collection const& members() const noexcept { return members_; }

  friend bool operator==(KeySet const& a, KeySet const& b) {
    return a.members_.isEq(
        b.members_, [](Node const& x, Node const& y) { return KeyOps::isEq(x.key(), y.key()); });
  }

 private:
  void copyIn(KeySet const& other) {
    for (auto it = other.members_.begin(); !it.atEnd(); ++it)
      members_.memberIs(Pavo::Ptr<Node>::adopt(new Node(it->key())));
  }

  Collection members_;
};

class NeighborSet {
 public:
  // A member: one link. It reports the generic node type.
  class HN_Link : public Vek::HashSetMember<HN_Link, Cspf::LinkKey>,
                  public Granule::SlabAllocated<HN_Link> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::NeighborSet::HN_Link"};
    using HashSetMember::HashSetMember;
  };
  static constexpr std::uint32_t kLinkHashConstant = 3187245051u;
  using Links = KeySet<HN_Link, Cspf::LinkKey, kLinkHashConstant>;
  using Collection = Links::Collection;

  NeighborSet() noexcept = default;
  // Refused: a value holding a collection has no text form.
  explicit NeighborSet(Vek::CharRange& range);

  void linkIs(Cspf::LinkKey const& link) & { links_.add(link); }
  // linkIs and linkDel with the link's hash here already known: a member's
  // filedHash() in another NeighborSet.
  void linkIs(Cspf::LinkKey const& link, std::uint32_t hash) & { links_.add(link, hash); }
  bool linkDel(Cspf::LinkKey const& link, std::uint32_t hash) & {
    return links_.remove(link, hash);
  }
  bool linkDel(Cspf::LinkKey const& link) & { return links_.remove(link); }
  void linkDelAll() & { links_.clear(); }
  bool linkHas(Cspf::LinkKey const& link) const { return links_.contains(link); }
  std::size_t linkCount() const noexcept { return links_.members().size(); }
  // begin(), or iterFrom(link): at the link, else at the member after its place.
  Collection const& linkCollection() const noexcept { return links_.members(); }

  static bool isEq(void const* a, void const* b) {
    return static_cast<NeighborSet const*>(a)->links_ == static_cast<NeighborSet const*>(b)->links_;
  }
  friend bool operator==(NeighborSet const& a, NeighborSet const& b) { return isEq(&a, &b); }
  explicit operator bool() const noexcept { return !links_.members().empty(); }

 private:
  Links links_;
};

class AdjSegmentSet {
 public:
  // A member: one entry. It reports the generic node type.
  class HN_AdjSegmentEntry : public Vek::HashSetMember<HN_AdjSegmentEntry, AdjSegmentEntry>,
                             public Granule::SlabAllocated<HN_AdjSegmentEntry> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::AdjSegmentSet::HN_AdjSegmentEntry"};
    using HashSetMember::HashSetMember;
  };
  static constexpr std::uint32_t kAdjSegmentEntryHashConstant = 42316860u;
  using Entries = KeySet<HN_AdjSegmentEntry, AdjSegmentEntry, kAdjSegmentEntryHashConstant>;
  using Collection = Entries::Collection;

  AdjSegmentSet() noexcept = default;
  // Refused: a value holding a collection has no text form.
  explicit AdjSegmentSet(Vek::CharRange& range);

  void adjSegmentEntryIs(AdjSegmentEntry const& entry) & { entries_.add(entry); }
  bool adjSegmentEntryDel(AdjSegmentEntry const& entry) & { return entries_.remove(entry); }
  void adjSegmentEntryDelAll() & { entries_.clear(); }
  bool adjSegmentEntryHas(AdjSegmentEntry const& entry) const { return entries_.contains(entry); }
  std::size_t adjSegmentEntryCount() const noexcept { return entries_.members().size(); }
  Collection const& adjSegmentEntryCollection() const noexcept { return entries_.members(); }

  static bool isEq(void const* a, void const* b) {
    return static_cast<AdjSegmentSet const*>(a)->entries_ ==
           static_cast<AdjSegmentSet const*>(b)->entries_;
  }
  friend bool operator==(AdjSegmentSet const& a, AdjSegmentSet const& b) { return isEq(&a, &b); }
  explicit operator bool() const noexcept { return !entries_.members().empty(); }

 private:
  Entries entries_;
};

}  // namespace SegmentRouting::Mappers
