// P-router maps: for each P-router, its LFA PQ indexes, each with a flag the
// caller supplies.
//
//   PRouterToPqIdxMap   the root: router id -> PRouterToPqIdx
//   PRouterToPqIdx      one router: PQ index -> flag
//
// Callers create the root with pRouterToPqIdxMapFactory() and every child
// through it; nothing in the library fills these maps. A child is stored
// under its own router, which never changes.
//
// Unlike the PQ-index maps these entities do not notify: they have no
// publisher, nothing they do is published, and removing all is always one
// step. Ownership: the root holds one reference to each child; a removed
// child lives on, with its PQ indexes, while anybody holds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Cspf/Lfa/PqIdx.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Mpls/RouterId.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class PRouterToPqIdx : public Pavo::Node, public Granule::SlabAllocated<PRouterToPqIdx> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::PRouterToPqIdx"};
  static constexpr Pavo::FieldId kRouterField = 130;
  static constexpr Pavo::FieldId kPqIndexField = 131;
  static constexpr std::uint32_t kPqIndexHashConstant = 512710871u;

  using HN_PqIndex = Vek::AttrMapMember<"SegmentRouting::Mappers::PRouterToPqIdx::HN_PqIndex",
                                        Cspf::Lfa::PqIdx, bool>;
  using PqIndexCollection =
      Vek::AttrHashMap<HN_PqIndex, Vek::SingleAttrKeyOps<Cspf::Lfa::PqIdx, kPqIndexHashConstant>,
                       kPqIndexField>;

  explicit PRouterToPqIdx(Mpls::RouterId const& router) : router_(router) {}
  ~PRouterToPqIdx() override;

  Mpls::RouterId const& router() const { return router_; }

  // Stores `value` under the index, added when absent; false is stored too.
  void pqIndexIs(Cspf::Lfa::PqIdx index, bool value) {
    pqIndex_.valueIs(index, value, Vek::kNoPublisher);
  }
  // The removed member's value, false when absent.
  bool pqIndexDel(Cspf::Lfa::PqIdx index) { return pqIndex_.valueDel(index, Vek::kNoPublisher); }
  void pqIndexDelAll() { pqIndex_.deleteAll(); }
  // The stored value, false when absent.
  bool pqIndex(Cspf::Lfa::PqIdx index) const { return pqIndex_.lookup(index); }
  bool pqIndexHas(Cspf::Lfa::PqIdx index) const { return pqIndex_.contains(index); }
  std::size_t pqIndexCount() const { return pqIndex_.size(); }
  PqIndexCollection const& pqIndexCollection() const { return pqIndex_; }

  Pavo::TypeData typeData() const override;

 private:
  Mpls::RouterId const router_;
  PqIndexCollection pqIndex_;
};

class PRouterToPqIdxMap : public Pavo::Node, public Granule::SlabAllocated<PRouterToPqIdxMap> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::PRouterToPqIdxMap"};
  static constexpr Pavo::FieldId kPqIndexMapField = 130;
  static constexpr std::uint32_t kPqIndexMapHashConstant = 3591295307u;

  using HN_PqIndexMap =
      Vek::AttrMapMember<"SegmentRouting::Mappers::PRouterToPqIdxMap::HN_PqIndexMap",
                         Mpls::RouterId, Pavo::Ptr<PRouterToPqIdx>>;
  using PqIndexMapCollection =
      Vek::AttrChildMap<HN_PqIndexMap, Vek::SeededKeyOps<Mpls::RouterId, kPqIndexMapHashConstant>,
                        kPqIndexMapField>;

  PRouterToPqIdxMap() = default;
  ~PRouterToPqIdxMap() override;
  static Pavo::Ptr<PRouterToPqIdxMap> PRouterToPqIdxMapIs();

  // The router's entry, created when absent.
  Pavo::Ptr<PRouterToPqIdx> pqIndexMapIs(Mpls::RouterId const& router) {
    return pqIndexMap_.childIs(router, Vek::kNoPublisher);
  }
  // Removes and hands back the entry; null when absent.
  Pavo::Ptr<PRouterToPqIdx> pqIndexMapDel(Mpls::RouterId const& router) {
    return pqIndexMap_.valueDel(router, Vek::kNoPublisher);
  }
  void pqIndexMapDelAll() { pqIndexMap_.deleteAll(); }
  Pavo::Ptr<PRouterToPqIdx> pqIndexMap(Mpls::RouterId const& router) const {
    return pqIndexMap_.lookup(router);
  }
  bool pqIndexMapHas(Mpls::RouterId const& router) const { return pqIndexMap_.contains(router); }
  std::size_t pqIndexMapCount() const { return pqIndexMap_.size(); }
  PqIndexMapCollection const& pqIndexMapCollection() const { return pqIndexMap_; }

  Pavo::TypeData typeData() const override;

 private:
  PqIndexMapCollection pqIndexMap_;
};

Pavo::Ptr<PRouterToPqIdxMap> pRouterToPqIdxMapFactory();

}  // namespace SegmentRouting::Mappers
