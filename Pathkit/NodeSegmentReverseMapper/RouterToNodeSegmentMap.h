// RouterToNodeSegmentMap: for one algorithm, originating router ->
// RouterToNodeSegment.
//
// Stored in the per-algorithm root under its own algo, which never changes.
// `prefixMap` is a hash collection keyed by Mpls::RouterId (seeded with the
// process seed XOR 297630782); each child is stored under its own routerId.
// Adding a router publishes field 131 with the router id and no prior value;
// removing one publishes field 131 with the removed child as prior value.
//
// Ownership: the map holds one reference per child; a removed child lives on
// while anybody holds it. Destruction removes the children one by one, each
// removal published to this map's remaining subscribers.
#pragma once

#include <cstddef>
#include <utility>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Mpls/RouterId.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class RouterToNodeSegmentMap : public Pavo::Node,
                               public Granule::SlabAllocated<RouterToNodeSegmentMap> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::RouterToNodeSegmentMap"};
  static constexpr Pavo::FieldId kAlgoField = 130;
  static constexpr Pavo::FieldId kPrefixMapField = 131;
  static constexpr std::uint32_t kPrefixMapHashConstant = 297630782u;

  // A member of `prefixMap`: the counted child; its key is the child's own
  // routerId (not stored a second time).
  class HN_PrefixMap : public Vek::HashMember<HN_PrefixMap>,
                       public Granule::SlabAllocated<HN_PrefixMap> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::RouterToNodeSegmentMap::HN_PrefixMap"};
    explicit HN_PrefixMap(Pavo::Ptr<RouterToNodeSegment> child) noexcept
        : value_(std::move(child)) {}
    Mpls::RouterId const& key() const noexcept { return value_->routerId(); }
    Pavo::Ptr<RouterToNodeSegment> const& value() const noexcept { return value_; }

   private:
    Pavo::Ptr<RouterToNodeSegment> const value_;
  };
  using PrefixMapCollection =
      Vek::AttrChildMap<HN_PrefixMap, Vek::SeededKeyOps<Mpls::RouterId, kPrefixMapHashConstant>,
                        kPrefixMapField>;

  explicit RouterToNodeSegmentMap(unsigned char algo);
  ~RouterToNodeSegmentMap() override;
  static Pavo::Ptr<RouterToNodeSegmentMap> RouterToNodeSegmentMapIs(unsigned char algo);

  unsigned char algo() const { return algo_; }

  // The child stored under routerId, created (and published) when absent.
  Pavo::Ptr<RouterToNodeSegment> prefixMapIs(Mpls::RouterId const& routerId);
  // Removes and hands back the child; null (nothing published) when absent.
  Pavo::Ptr<RouterToNodeSegment> prefixMapDel(Mpls::RouterId const& routerId);
  // Removes every child through prefixMapDel, in iteration order.
  void prefixMapDelAll();

  Pavo::Ptr<RouterToNodeSegment> prefixMap(Mpls::RouterId const& routerId) const;
  bool prefixMapHas(Mpls::RouterId const& routerId) const { return prefixMap_.contains(routerId); }
  std::size_t prefixMapCount() const { return prefixMap_.size(); }
  PrefixMapCollection const& prefixMapCollection() const { return prefixMap_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  unsigned char const algo_;
  mutable Pavo::Publisher publisher_;
  PrefixMapCollection prefixMap_;
};

Pavo::Ptr<RouterToNodeSegmentMap> routerToNodeSegmentMapFactory(unsigned char algo);

}  // namespace SegmentRouting::Mappers
