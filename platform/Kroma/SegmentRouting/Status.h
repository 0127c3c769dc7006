// Kroma::SegmentRouting::Status: the segment-routing status table that the
// routing protocols write and the mappers read.
//
// Four collections, each published under its field id when it changes:
//   258 prefixSegment            Vantre::IpGenPrefix -> PrefixSegment
//   259 prefixSegmentWithAlgo    Mpls::SegmentRouting::PrefixAlgoKey -> PrefixSegmentWithAlgo
//   263 ipv4AdjacencySegment     AdjacencySegmentKey -> AdjacencySegment
//   264 ipv6AdjacencySegment     AdjacencySegmentKey -> AdjacencySegment
// Readers hold a Pavo::Ptr<Status const> and use the const collections
// (look-up, walks, corruption reports; see Kroma/KromaMap.h).
//
// Writers (tests and tools standing in for the protocols) add or replace
// with <collection>Is(entry), stored under entry.key(), and remove with
// <collection>Del(key). After each effective change the table publishes
//   publishChangeRecursive(fieldId, &key, prior, &Key::isEq)
// with the replaced or removed entry as prior (null for a new key), once
// the collection already shows the change. Storing an entry equal to the
// stored one, and removing an absent key, change nothing and publish
// nothing. <collection>RecordCountIsUnchecked(key, n) overwrites a stored
// entry's record count without the bound check, so a reader's copy of it
// raises the range error; it publishes the key with no prior entry (the
// prior could not be copied either).
//
// The entity is counted (Pavo::Node), slab-allocated and tracked; create it
// with Status::StatusIs(). Its collections live and die with it.
#pragma once

#include <cstdint>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/KromaMap.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vantre/AddressFamily.h"

namespace Kroma::SegmentRouting {

class Status : public Pavo::Node, public Granule::SlabAllocated<Status> {
 public:
  static constexpr Pavo::FieldId kPrefixSegment = 258;
  static constexpr Pavo::FieldId kPrefixSegmentWithAlgo = 259;
  static constexpr Pavo::FieldId kIpv4AdjacencySegment = 263;
  static constexpr Pavo::FieldId kIpv6AdjacencySegment = 264;

  using PrefixSegmentMap = KromaMap<Vantre::IpGenPrefix, PrefixSegment>;
  using PrefixSegmentWithAlgoMap =
      KromaMap<Mpls::SegmentRouting::PrefixAlgoKey, PrefixSegmentWithAlgo>;
  using AdjacencySegmentMap = KromaMap<AdjacencySegmentKey, AdjacencySegment>;

  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Kroma::SegmentRouting::Status"};

  static Pavo::Ptr<Status> StatusIs();
  ~Status() override;

  Pavo::Publisher* publisher() const override { return &publisher_; }
  // The record registered for the table (module "VekPavo/OutsideTypes").
  Pavo::TypeData typeData() const override;

  PrefixSegmentMap const& prefixSegment() const noexcept { return prefixSegment_; }
  PrefixSegmentWithAlgoMap const& prefixSegmentWithAlgo() const noexcept {
    return prefixSegmentWithAlgo_;
  }
  AdjacencySegmentMap const& ipv4AdjacencySegment() const noexcept { return ipv4AdjSegment_; }
  AdjacencySegmentMap const& ipv6AdjacencySegment() const noexcept { return ipv6AdjSegment_; }
  // The adjacency collection of `af`: 263 for ipv4, 264 for any other.
  AdjacencySegmentMap const& adjacencySegment(Vantre::AddressFamily af) const noexcept {
    return af == Vantre::AddressFamily::ipv4 ? ipv4AdjSegment_ : ipv6AdjSegment_;
  }

  // Fault injection and other test switches reach the collections here.
  PrefixSegmentMap& prefixSegmentMut() noexcept { return prefixSegment_; }
  PrefixSegmentWithAlgoMap& prefixSegmentWithAlgoMut() noexcept { return prefixSegmentWithAlgo_; }
  AdjacencySegmentMap& ipv4AdjacencySegmentMut() noexcept { return ipv4AdjSegment_; }
  AdjacencySegmentMap& ipv6AdjacencySegmentMut() noexcept { return ipv6AdjSegment_; }

  void prefixSegmentIs(PrefixSegment const& entry);
  bool prefixSegmentDel(Vantre::IpGenPrefix const& key);
  bool prefixSegmentRecordCountIsUnchecked(Vantre::IpGenPrefix const& key, std::uint32_t count);

  void prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo const& entry);
  bool prefixSegmentWithAlgoDel(Mpls::SegmentRouting::PrefixAlgoKey const& key);
  bool prefixSegmentWithAlgoRecordCountIsUnchecked(Mpls::SegmentRouting::PrefixAlgoKey const& key,
                                                   std::uint32_t count);

  void ipv4AdjacencySegmentIs(AdjacencySegment const& entry);
  bool ipv4AdjacencySegmentDel(AdjacencySegmentKey const& key);
  bool ipv4AdjacencySegmentRecordCountIsUnchecked(AdjacencySegmentKey const& key,
                                                  std::uint32_t count);

  void ipv6AdjacencySegmentIs(AdjacencySegment const& entry);
  bool ipv6AdjacencySegmentDel(AdjacencySegmentKey const& key);
  bool ipv6AdjacencySegmentRecordCountIsUnchecked(AdjacencySegmentKey const& key,
                                                  std::uint32_t count);

 private:
  Status();

  template <class Map>
  void entryIs(Map& map, Pavo::FieldId fieldId, typename Map::Entry const& entry);
  template <class Map>
  bool entryDel(Map& map, Pavo::FieldId fieldId, typename Map::Key const& key);
  template <class Map>
  bool recordCountIsUnchecked(Map& map, Pavo::FieldId fieldId, typename Map::Key const& key,
                              std::uint32_t count);

  // Publishing does not change the table; readers holding it const
  // subscribe through publisher().
  mutable Pavo::Publisher publisher_;
  PrefixSegmentMap prefixSegment_{"Kroma::SegmentRouting::Status::prefixSegment"};
  PrefixSegmentWithAlgoMap prefixSegmentWithAlgo_{
      "Kroma::SegmentRouting::Status::prefixSegmentWithAlgo"};
  AdjacencySegmentMap ipv4AdjSegment_{"Kroma::SegmentRouting::Status::ipv4AdjacencySegment"};
  AdjacencySegmentMap ipv6AdjSegment_{"Kroma::SegmentRouting::Status::ipv6AdjacencySegment"};
};

}  // namespace Kroma::SegmentRouting
