// PQ-index maps: for each LFA PQ index, the CSPF path keys that use it (each
// with a flag the caller supplies) and, per algorithm, the path keys and
// prefixes that use it.
//
//   PqIdxToPathKeyMap   the root: PQ index -> PqIdxToPathKey
//   PqIdxToPathKey      one PQ index: path key -> flag, algorithm -> AlgoToPathKeySet
//   AlgoToPathKeySet    one algorithm: a set of path keys and a set of prefixes
//
// Callers create the root with pqIdxToPathKeyMapFactory() and every child
// through its parent; nothing in the library fills these maps. A child is
// stored under its own key attribute (pqIdx, algo), which never changes.
// Every effective change is published on the changed entity's publisher
// under the attribute's field id (see "Vek/AttrHashCollections.h" for the
// prior values).
//
// Ownership: a parent holds one reference to each child; a removed child
// lives on while anybody holds it. Destroying the root or a PqIdxToPathKey
// removes its children one by one, each removal published; flagged path
// keys and the sets of an AlgoToPathKeySet go without publication.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/PathKey.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class AlgoToPathKeySet : public Pavo::Node, public Granule::SlabAllocated<AlgoToPathKeySet> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::AlgoToPathKeySet"};
  static constexpr Pavo::FieldId kAlgoField = 130;
  static constexpr Pavo::FieldId kPathKeyField = 131;
  static constexpr Pavo::FieldId kPrefixKeyField = 132;
  static constexpr std::uint32_t kPathKeyHashConstant = 4229093608u;
  static constexpr std::uint32_t kPrefixKeyHashConstant = 312797146u;

  using HN_PathKey =
      Vek::AttrSetMember<"SegmentRouting::Mappers::AlgoToPathKeySet::HN_PathKey", Cspf::PathKey>;
  using HN_PrefixKey = Vek::AttrSetMember<"SegmentRouting::Mappers::AlgoToPathKeySet::HN_PrefixKey",
                                          Vantre::IpGenPrefix>;
  // A path key hashes itself without the process seed.
  using PathKeyCollection =
      Vek::AttrHashSet<HN_PathKey, Vek::HandedOverKeyOps<Cspf::PathKey, kPathKeyHashConstant>,
                       kPathKeyField>;
  using PrefixKeyCollection =
      Vek::AttrHashSet<HN_PrefixKey, Vek::SeededKeyOps<Vantre::IpGenPrefix, kPrefixKeyHashConstant>,
                       kPrefixKeyField>;

  explicit AlgoToPathKeySet(unsigned char algo) : algo_(algo) {}
  ~AlgoToPathKeySet() override;

  unsigned char algo() const { return algo_; }

  // Adds the key (published); a member already present changes nothing.
  void pathKeyIs(Cspf::PathKey const& key) { pathKey_.keyIs(key, &publisher_); }
  // Whether the key was a member; a removal is published with the key as prior.
  bool pathKeyDel(Cspf::PathKey const& key) { return pathKey_.keyDel(key, &publisher_); }
  // Key by key (each published) when subscribed, else in one step.
  void pathKeyDelAll() { pathKey_.delAll(&publisher_); }
  bool pathKeyHas(Cspf::PathKey const& key) const { return pathKey_.contains(key); }
  std::size_t pathKeyCount() const { return pathKey_.size(); }
  PathKeyCollection const& pathKeyCollection() const { return pathKey_; }

  // The same for the prefix set.
  void prefixKeyIs(Vantre::IpGenPrefix const& key) { prefixKey_.keyIs(key, &publisher_); }
  bool prefixKeyDel(Vantre::IpGenPrefix const& key) { return prefixKey_.keyDel(key, &publisher_); }
  void prefixKeyDelAll() { prefixKey_.delAll(&publisher_); }
  bool prefixKeyHas(Vantre::IpGenPrefix const& key) const { return prefixKey_.contains(key); }
  std::size_t prefixKeyCount() const { return prefixKey_.size(); }
  PrefixKeyCollection const& prefixKeyCollection() const { return prefixKey_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  unsigned char const algo_;
  PathKeyCollection pathKey_;
  PrefixKeyCollection prefixKey_;
  // Declared last so it goes first: the sets go without publication.
  mutable Pavo::Publisher publisher_;
};

class PqIdxToPathKey : public Pavo::Node, public Granule::SlabAllocated<PqIdxToPathKey> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::PqIdxToPathKey"};
  static constexpr Pavo::FieldId kPqIdxField = 130;
  static constexpr Pavo::FieldId kPathKeyField = 131;
  static constexpr Pavo::FieldId kAlgoSetField = 132;
  static constexpr std::uint32_t kPathKeyHashConstant = 2352440314u;
  static constexpr std::uint32_t kAlgoSetHashConstant = 608949734u;

  using HN_PathKey = Vek::AttrMapMember<"SegmentRouting::Mappers::PqIdxToPathKey::HN_PathKey",
                                        Cspf::PathKey, bool>;
  using HN_AlgoSet = Vek::AttrMapMember<"SegmentRouting::Mappers::PqIdxToPathKey::HN_AlgoSet",
                                        unsigned char, Pavo::Ptr<AlgoToPathKeySet>>;
  using PathKeyCollection =
      Vek::AttrHashMap<HN_PathKey, Vek::HandedOverKeyOps<Cspf::PathKey, kPathKeyHashConstant>,
                       kPathKeyField>;
  using AlgoSetCollection =
      Vek::AttrChildMap<HN_AlgoSet, Vek::IntegerKeyOps<unsigned char, kAlgoSetHashConstant>,
                        kAlgoSetField>;

  explicit PqIdxToPathKey(Cspf::Lfa::PqIdx pqIdx) : pqIdx_(pqIdx) {}
  ~PqIdxToPathKey() override;

  Cspf::Lfa::PqIdx pqIdx() const { return pqIdx_; }

  // Adds the key with `value` or replaces its value, published with the old
  // value as prior; an equal value changes nothing. A false value is stored.
  void pathKeyIs(Cspf::PathKey const& key, bool value) {
    pathKey_.valueIs(key, value, &publisher_);
  }
  // The removed member's value, false when absent (nothing published).
  bool pathKeyDel(Cspf::PathKey const& key) { return pathKey_.valueDel(key, &publisher_); }
  // Key by key (each published) when subscribed, else in one step.
  void pathKeyDelAll() { pathKey_.delAll(&publisher_); }
  // The stored value, false when absent.
  bool pathKey(Cspf::PathKey const& key) const { return pathKey_.lookup(key); }
  bool pathKeyHas(Cspf::PathKey const& key) const { return pathKey_.contains(key); }
  std::size_t pathKeyCount() const { return pathKey_.size(); }
  PathKeyCollection const& pathKeyCollection() const { return pathKey_; }

  // The algorithm's entry, created (and published) when absent.
  Pavo::Ptr<AlgoToPathKeySet> algoSetIs(unsigned char algo) {
    return algoSet_.childIs(algo, &publisher_);
  }
  // Removes and hands back the entry; null (nothing published) when absent.
  Pavo::Ptr<AlgoToPathKeySet> algoSetDel(unsigned char algo) {
    return algoSet_.valueDel(algo, &publisher_);
  }
  // Entry by entry through algoSetDel, always.
  void algoSetDelAll() { algoSet_.delEach(&publisher_); }
  Pavo::Ptr<AlgoToPathKeySet> algoSet(unsigned char algo) const { return algoSet_.lookup(algo); }
  bool algoSetHas(unsigned char algo) const { return algoSet_.contains(algo); }
  std::size_t algoSetCount() const { return algoSet_.size(); }
  AlgoSetCollection const& algoSetCollection() const { return algoSet_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  Cspf::Lfa::PqIdx const pqIdx_;
  PathKeyCollection pathKey_;
  AlgoSetCollection algoSet_;
  mutable Pavo::Publisher publisher_;
};

class PqIdxToPathKeyMap : public Pavo::Node, public Granule::SlabAllocated<PqIdxToPathKeyMap> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::PqIdxToPathKeyMap"};
  static constexpr Pavo::FieldId kPathKeyMapField = 130;
  static constexpr std::uint32_t kPathKeyMapHashConstant = 243582325u;

  using HN_PathKeyMap =
      Vek::AttrMapMember<"SegmentRouting::Mappers::PqIdxToPathKeyMap::HN_PathKeyMap",
                         Cspf::Lfa::PqIdx, Pavo::Ptr<PqIdxToPathKey>>;
  using PathKeyMapCollection =
      Vek::AttrChildMap<HN_PathKeyMap,
                        Vek::SingleAttrKeyOps<Cspf::Lfa::PqIdx, kPathKeyMapHashConstant>,
                        kPathKeyMapField>;

  PqIdxToPathKeyMap() = default;
  ~PqIdxToPathKeyMap() override;
  static Pavo::Ptr<PqIdxToPathKeyMap> PqIdxToPathKeyMapIs();

  // The index's entry, created (and published) when absent.
  Pavo::Ptr<PqIdxToPathKey> pathKeyMapIs(Cspf::Lfa::PqIdx pqIdx) {
    return pathKeyMap_.childIs(pqIdx, &publisher_);
  }
  // Removes and hands back the entry; null (nothing published) when absent.
  Pavo::Ptr<PqIdxToPathKey> pathKeyMapDel(Cspf::Lfa::PqIdx pqIdx) {
    return pathKeyMap_.valueDel(pqIdx, &publisher_);
  }
  // Entry by entry through pathKeyMapDel, always.
  void pathKeyMapDelAll() { pathKeyMap_.delEach(&publisher_); }
  Pavo::Ptr<PqIdxToPathKey> pathKeyMap(Cspf::Lfa::PqIdx pqIdx) const {
    return pathKeyMap_.lookup(pqIdx);
  }
  bool pathKeyMapHas(Cspf::Lfa::PqIdx pqIdx) const { return pathKeyMap_.contains(pqIdx); }
  std::size_t pathKeyMapCount() const { return pathKeyMap_.size(); }
  PathKeyMapCollection const& pathKeyMapCollection() const { return pathKeyMap_; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  mutable Pavo::Publisher publisher_;
  PathKeyMapCollection pathKeyMap_;
};

Pavo::Ptr<PqIdxToPathKeyMap> pqIdxToPathKeyMapFactory();

}  // namespace SegmentRouting::Mappers
