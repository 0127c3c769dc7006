// The per-protocol-instance tables of the adjacency side: for one routing
// protocol instance (`protoId`, fixed at creation) one keyed table of values.
//
//   AdjSegmentListPerProtoId   link -> AdjSegmentList (adjacency segments seen on it)
//   NeighborSetPerProtoId      adjacency segment key -> NeighborSet (its links)
//   AdjSegmentSetPerProtoId    adjacency segment key -> AdjSegmentSet (entries filed)
//
// One family: PerProtoIdTable holds the layout and the rules, each entity
// names its operations after its attribute (field 131):
//
//   auto t = adjSegmentListPerProtoIdFactory(1);
//   t->adjSegmentListIs(link, list);        // a private copy; equal list: silent
//   t->adjSegmentListIs(link, AdjSegmentList(list));  // taken over, not copied
//   if (AdjSegmentList const* in = t->adjSegmentListFind(link))  // read in place
//     use(in->adjSegmentEntryCount());
//   AdjSegmentList old = t->adjSegmentListDel(link);
//
// Every effective change is published on the table's publisher, field 131,
// with the caller's key, the replaced or removed value as prior (null for a
// new key) and the key type's isEq; `...DelAll` removes key by key (each
// published) only when somebody subscribes. Stored values are never shared
// with callers. Destruction publishes nothing: the publisher goes first, then
// the table's members.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "Cspf/LinkKey.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Pavo/TypeData.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

// The body of the three tables: `Self` (the entity, which declares its
// allocation tracker) maps Key -> Value in members named `MemberName`,
// hashed with the process seed XOR `HashConstant`.
template <class Self, class Key, class Value, std::uint32_t HashConstant, Vek::TypeName MemberName>
class PerProtoIdTable : public Pavo::Node, public Granule::SlabAllocated<Self> {
 public:
  static constexpr Pavo::FieldId kProtoIdField = 130;
  static constexpr Pavo::FieldId kTableField = 131;
  static constexpr std::uint32_t kHashConstant = HashConstant;
  using Member = Vek::AttrMapMember<MemberName, Key, Value>;
  using Collection = Vek::AttrHashMap<Member, Vek::SeededKeyOps<Key, HashConstant>, kTableField>;

  explicit PerProtoIdTable(unsigned short protoId) noexcept : protoId_(protoId) {}
  ~PerProtoIdTable() override { nodeFlagSet(kNotificationActive, false); }

  unsigned short protoId() const noexcept { return protoId_; }
  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override { return Pavo::Inspect::typeDataOf<Self>(); }

 protected:
  // A copy of the stored value; an empty one when absent.
  Value lookup(Key const& key) const { return table_.lookup(key); }
  bool contains(Key const& key) const { return table_.contains(key); }
  // The stored value itself, null when absent: valid until this table next
  // changes. For readers that only look (no copy); callers get copies.
  Value const* find(Key const& key) const { return find(key, Collection::hashOf(key)); }
  void set(Key const& key, Value const& value) { table_.valueIs(key, value, &publisher_); }
  void set(Key const& key, Value&& value) { table_.valueIs(key, std::move(value), &publisher_); }
  // The removed value; an empty one (nothing published) when absent.
  Value del(Key const& key) { return table_.valueDel(key, &publisher_); }
  // The same three with the key's hash already known (Collection::hashOf):
  // every table of one kind hashes a key alike, so one hash serves several.
  Value const* find(Key const& key, std::uint32_t hash) const {
    auto const* m = table_.find(key, hash);
    return m ? &m->value() : nullptr;
  }
  // `spare` carries a removed member over to the key's next store, which
  // files it again instead of making a new one (see AttrHashMap).
  void set(Key const& key, std::uint32_t hash, Value&& value, Pavo::Ptr<Member> spare = nullptr) {
    table_.valueIs(key, hash, std::move(value), &publisher_, std::move(spare));
  }
  Value del(Key const& key, std::uint32_t hash, Pavo::Ptr<Member>* spare = nullptr) {
    return table_.valueDel(key, hash, &publisher_, spare);
  }
  void delAll() { table_.delAll(&publisher_); }
  Collection const& table() const noexcept { return table_; }

 private:
  unsigned short const protoId_;
  Collection table_;
  // Declared last so it goes first: the members go without publication.
  mutable Pavo::Publisher publisher_;
};

class AdjSegmentListPerProtoId final
    : public PerProtoIdTable<
          AdjSegmentListPerProtoId, Cspf::LinkKey, AdjSegmentList, 2931124741u,
          "SegmentRouting::Mappers::AdjSegmentListPerProtoId::HN_AdjSegmentList"> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::AdjSegmentListPerProtoId"};
  using HN_AdjSegmentList = Member;
  using PerProtoIdTable::PerProtoIdTable;

  AdjSegmentList adjSegmentList(Cspf::LinkKey const& key) const { return lookup(key); }
  AdjSegmentList const* adjSegmentListFind(Cspf::LinkKey const& key) const { return find(key); }
  bool adjSegmentListHas(Cspf::LinkKey const& key) const { return contains(key); }
  void adjSegmentListIs(Cspf::LinkKey const& key, AdjSegmentList const& value) { set(key, value); }
  void adjSegmentListIs(Cspf::LinkKey const& key, AdjSegmentList&& value) {
    set(key, std::move(value));
  }
  AdjSegmentList adjSegmentListDel(Cspf::LinkKey const& key) { return del(key); }
  // Hash a link once for several look-ups and changes, here or in another
  // AdjSegmentListPerProtoId.
  static std::uint32_t adjSegmentListHash(Cspf::LinkKey const& key) {
    return Collection::hashOf(key);
  }
  AdjSegmentList const* adjSegmentListFind(Cspf::LinkKey const& key, std::uint32_t hash) const {
    return find(key, hash);
  }
  void adjSegmentListIs(Cspf::LinkKey const& key, std::uint32_t hash, AdjSegmentList&& value) {
    set(key, hash, std::move(value));
  }
  AdjSegmentList adjSegmentListDel(Cspf::LinkKey const& key, std::uint32_t hash) {
    return del(key, hash);
  }
  void adjSegmentListDelAll() { delAll(); }
  std::size_t adjSegmentListCount() const noexcept { return table().size(); }
  // begin(), or iterFrom(key): at the key, else at the member after its place.
  Collection const& adjSegmentListCollection() const noexcept { return table(); }
};

class NeighborSetPerProtoId final
    : public PerProtoIdTable<NeighborSetPerProtoId, Kroma::SegmentRouting::AdjacencySegmentKey,
                             NeighborSet, 2244204891u,
                             "SegmentRouting::Mappers::NeighborSetPerProtoId::HN_NeighborSet"> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::NeighborSetPerProtoId"};
  using HN_NeighborSet = Member;
  using Key = Kroma::SegmentRouting::AdjacencySegmentKey;
  using PerProtoIdTable::PerProtoIdTable;

  NeighborSet neighborSet(Key const& key) const { return lookup(key); }
  NeighborSet const* neighborSetFind(Key const& key) const { return find(key); }
  bool neighborSetHas(Key const& key) const { return contains(key); }
  void neighborSetIs(Key const& key, NeighborSet const& value) { set(key, value); }
  void neighborSetIs(Key const& key, NeighborSet&& value) { set(key, std::move(value)); }
  NeighborSet neighborSetDel(Key const& key) { return del(key); }
  // Hash a key once for its look-up, removal and store in this table.
  static std::uint32_t neighborSetHash(Key const& key) { return Collection::hashOf(key); }
  NeighborSet const* neighborSetFind(Key const& key, std::uint32_t hash) const {
    return find(key, hash);
  }
  // `spare` hands a removed member on to the key's next store.
  void neighborSetIs(Key const& key, std::uint32_t hash, NeighborSet&& value,
                     Pavo::Ptr<HN_NeighborSet> spare = nullptr) {
    set(key, hash, std::move(value), std::move(spare));
  }
  NeighborSet neighborSetDel(Key const& key, std::uint32_t hash,
                             Pavo::Ptr<HN_NeighborSet>* spare = nullptr) {
    return del(key, hash, spare);
  }
  void neighborSetDelAll() { delAll(); }
  std::size_t neighborSetCount() const noexcept { return table().size(); }
  Collection const& neighborSetCollection() const noexcept { return table(); }
};

class AdjSegmentSetPerProtoId final
    : public PerProtoIdTable<AdjSegmentSetPerProtoId, Kroma::SegmentRouting::AdjacencySegmentKey,
                             AdjSegmentSet, 2080700746u,
                             "SegmentRouting::Mappers::AdjSegmentSetPerProtoId::HN_AdjSegmentSet"> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::AdjSegmentSetPerProtoId"};
  using HN_AdjSegmentSet = Member;
  using Key = Kroma::SegmentRouting::AdjacencySegmentKey;
  using PerProtoIdTable::PerProtoIdTable;

  AdjSegmentSet adjSegmentSet(Key const& key) const { return lookup(key); }
  AdjSegmentSet const* adjSegmentSetFind(Key const& key) const { return find(key); }
  bool adjSegmentSetHas(Key const& key) const { return contains(key); }
  void adjSegmentSetIs(Key const& key, AdjSegmentSet const& value) { set(key, value); }
  void adjSegmentSetIs(Key const& key, AdjSegmentSet&& value) { set(key, std::move(value)); }
  AdjSegmentSet adjSegmentSetDel(Key const& key) { return del(key); }
  // Hash a key once for its look-up, removal and store in this table.
  static std::uint32_t adjSegmentSetHash(Key const& key) { return Collection::hashOf(key); }
  AdjSegmentSet const* adjSegmentSetFind(Key const& key, std::uint32_t hash) const {
    return find(key, hash);
  }
  // `spare` hands a removed member on to the key's next store.
  void adjSegmentSetIs(Key const& key, std::uint32_t hash, AdjSegmentSet&& value,
                       Pavo::Ptr<HN_AdjSegmentSet> spare = nullptr) {
    set(key, hash, std::move(value), std::move(spare));
  }
  AdjSegmentSet adjSegmentSetDel(Key const& key, std::uint32_t hash,
                                 Pavo::Ptr<HN_AdjSegmentSet>* spare = nullptr) {
    return del(key, hash, spare);
  }
  void adjSegmentSetDelAll() { delAll(); }
  std::size_t adjSegmentSetCount() const noexcept { return table().size(); }
  Collection const& adjSegmentSetCollection() const noexcept { return table(); }
};

Pavo::Ptr<AdjSegmentListPerProtoId> adjSegmentListPerProtoIdFactory(unsigned short protoId);
Pavo::Ptr<NeighborSetPerProtoId> neighborSetPerProtoIdFactory(unsigned short protoId);
Pavo::Ptr<AdjSegmentSetPerProtoId> adjSegmentSetPerProtoIdFactory(unsigned short protoId);

}  // namespace SegmentRouting::Mappers
