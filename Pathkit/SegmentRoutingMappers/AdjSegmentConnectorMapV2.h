// AdjSegmentConnectorMapV2: the output entity of the adjacency side. Per
// routing protocol instance it keeps one AdjSegmentListPerProtoId (`map`,
// field 130: the adjacency segments of each link) and one
// NeighborSetPerProtoId (`cache`, field 131: the links of each adjacency
// segment), each stored under the child's own protoId.
//
//   auto connector = adjSegmentConnectorMapV2Factory();
//   connector->mapIs(adjSegmentListPerProtoIdFactory(1));
//   connector->map(1)->adjSegmentListIs(link, list);   // published by the child
//
// The connector map publishes only additions, replacements and removals of
// children: field id, the 16-bit key, the replaced or removed child's Ptr as
// prior (null for a new key) and Pavo::Util::IsEq<unsigned short>::isEq.
// Storing decides by identity: the very same child is silent, another child
// with the same protoId replaces the stored one, even with equal contents.
//
// Ownership: the map holds one reference per child; a child removed or
// replaced lives on while anybody else holds it. A null child is refused with
// the null-pointer error for the attribute's field id. Destruction publishes
// nothing: the publisher goes first, then `cache`, then `map`.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class AdjSegmentConnectorMapV2 final : public Pavo::Node,
                                       public Granule::SlabAllocated<AdjSegmentConnectorMapV2> {
 public:
  static constexpr char kTypeName[] = "SegmentRouting::Mappers::AdjSegmentConnectorMapV2";
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{kTypeName};
  static constexpr Pavo::FieldId kMapField = 130;
  static constexpr Pavo::FieldId kCacheField = 131;
  static constexpr std::uint32_t kMapHashConstant = 524521858u;
  static constexpr std::uint32_t kCacheHashConstant = 3690883250u;

  // A child's key is its protoId.
  struct MapKeyFunktor {
    unsigned short operator()(AdjSegmentListPerProtoId const& c) const { return c.protoId(); }
  };
  struct CacheKeyFunktor {
    unsigned short operator()(NeighborSetPerProtoId const& c) const { return c.protoId(); }
  };
  using HN_Map = Vek::AttrChildMember<"SegmentRouting::Mappers::AdjSegmentConnectorMapV2::HN_Map",
                                      AdjSegmentListPerProtoId, MapKeyFunktor>;
  using HN_Cache =
      Vek::AttrChildMember<"SegmentRouting::Mappers::AdjSegmentConnectorMapV2::HN_Cache",
                           NeighborSetPerProtoId, CacheKeyFunktor>;
  using MapCollection =
      Vek::AttrChildMap<HN_Map, Vek::IntegerKeyOps<unsigned short, kMapHashConstant>, kMapField>;
  using CacheCollection =
      Vek::AttrChildMap<HN_Cache, Vek::IntegerKeyOps<unsigned short, kCacheHashConstant>,
                        kCacheField>;

  AdjSegmentConnectorMapV2() = default;
  ~AdjSegmentConnectorMapV2() override;

  // Stores the child under its protoId, by identity (see above).
  void mapIs(Pavo::Ptr<AdjSegmentListPerProtoId> const& child) {
    map_.childIs(child, kTypeName, &publisher_);
  }
  // Removes and hands back the child; null (nothing published) when absent.
  Pavo::Ptr<AdjSegmentListPerProtoId> mapDel(unsigned short protoId) {
    return map_.valueDel(protoId, &publisher_);
  }
  // Child by child (each published) when subscribed, else in one step.
  void mapDelAll() { map_.delAll(&publisher_); }
  Pavo::Ptr<AdjSegmentListPerProtoId> map(unsigned short protoId) const {
    return map_.lookup(protoId);
  }
  bool mapHas(unsigned short protoId) const { return map_.contains(protoId); }
  std::size_t mapCount() const noexcept { return map_.size(); }
  // begin(), or iterFrom(protoId): at the key, else at the member after its place.
  MapCollection const& mapCollection() const noexcept { return map_; }

  // The same for `cache`.
  void cacheIs(Pavo::Ptr<NeighborSetPerProtoId> const& child) {
    cache_.childIs(child, kTypeName, &publisher_);
  }
  Pavo::Ptr<NeighborSetPerProtoId> cacheDel(unsigned short protoId) {
    return cache_.valueDel(protoId, &publisher_);
  }
  void cacheDelAll() { cache_.delAll(&publisher_); }
  Pavo::Ptr<NeighborSetPerProtoId> cache(unsigned short protoId) const {
    return cache_.lookup(protoId);
  }
  bool cacheHas(unsigned short protoId) const { return cache_.contains(protoId); }
  std::size_t cacheCount() const noexcept { return cache_.size(); }
  CacheCollection const& cacheCollection() const noexcept { return cache_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  // Destroyed in reverse: the publisher, then `cache`, then `map`.
  MapCollection map_;
  CacheCollection cache_;
  mutable Pavo::Publisher publisher_;
};

Pavo::Ptr<AdjSegmentConnectorMapV2> adjSegmentConnectorMapV2Factory();

}  // namespace SegmentRouting::Mappers
