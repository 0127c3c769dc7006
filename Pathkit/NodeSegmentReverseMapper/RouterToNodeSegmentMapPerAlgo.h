// RouterToNodeSegmentMapPerAlgo: the root of the reverse node-segment view,
// algorithm -> RouterToNodeSegmentMap.
//
// `routerToNodeSegmentMap` is a hash collection keyed by the algorithm number
// (an integer handed to the collection with the constant 3997538310); each
// child is stored under its own algo. Adding an algorithm publishes field 130
// with the algorithm and no prior value; removing one publishes field 130
// with the removed child as prior value.
//
// Ownership: callers create the root with routerToNodeSegmentMapPerAlgoFactory()
// and share it with the reverse mapper (its only writer in the library) and
// with readers. Destruction removes every algorithm's map, each removal
// published.
#pragma once

#include <cstddef>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class RouterToNodeSegmentMapPerAlgo : public Pavo::Node,
                                      public Granule::SlabAllocated<RouterToNodeSegmentMapPerAlgo> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo"};
  static constexpr Pavo::FieldId kRouterToNodeSegmentMapField = 130;
  static constexpr std::uint32_t kRouterToNodeSegmentMapHashConstant = 3997538310u;

  class HN_RouterToNodeSegmentMap
      : public Vek::HashMapMember<HN_RouterToNodeSegmentMap, unsigned char,
                                  Pavo::Ptr<RouterToNodeSegmentMap>>,
        public Granule::SlabAllocated<HN_RouterToNodeSegmentMap> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo::HN_RouterToNodeSegmentMap"};
    using HashMapMember::HashMapMember;
  };
  using RouterToNodeSegmentMapCollection =
      Vek::AttrChildMap<HN_RouterToNodeSegmentMap,
                        Vek::IntegerKeyOps<unsigned char, kRouterToNodeSegmentMapHashConstant>,
                        kRouterToNodeSegmentMapField>;

  RouterToNodeSegmentMapPerAlgo() = default;
  ~RouterToNodeSegmentMapPerAlgo() override;
  static Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> RouterToNodeSegmentMapPerAlgoIs();

  // The map of `algo`, created (and published) when absent.
  Pavo::Ptr<RouterToNodeSegmentMap> routerToNodeSegmentMapIs(unsigned char algo);
  // Removes and hands back the map; null (nothing published) when absent.
  Pavo::Ptr<RouterToNodeSegmentMap> routerToNodeSegmentMapDel(unsigned char algo);
  // Removes every map through routerToNodeSegmentMapDel, in iteration order.
  void routerToNodeSegmentMapDelAll();

  Pavo::Ptr<RouterToNodeSegmentMap> routerToNodeSegmentMap(unsigned char algo) const;
  bool routerToNodeSegmentMapHas(unsigned char algo) const {
    return routerToNodeSegmentMap_.contains(algo);
  }
  std::size_t routerToNodeSegmentMapCount() const { return routerToNodeSegmentMap_.size(); }
  RouterToNodeSegmentMapCollection const& routerToNodeSegmentMapCollection() const {
    return routerToNodeSegmentMap_;
  }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  mutable Pavo::Publisher publisher_;
  RouterToNodeSegmentMapCollection routerToNodeSegmentMap_;
};

Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> routerToNodeSegmentMapPerAlgoFactory();

}  // namespace SegmentRouting::Mappers
