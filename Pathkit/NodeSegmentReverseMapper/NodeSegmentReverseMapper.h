// NodeSegmentReverseMapper: the reactor that keeps a RouterToNodeSegmentMapPerAlgo
// equal to the reverse view of the status table's prefix segments — for each
// algorithm, for each originating router, the prefixes whose node segments
// it originates — for one address family.
//
//   auto out = routerToNodeSegmentMapPerAlgoFactory();
//   auto mapper = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status, out);
//   // `out` now holds every qualifying IPv4 prefix segment of `status`, and
//   // follows each change of the table, inside the table's own publication.
//
// Input: field 258 (prefix segments, algorithm 0) and field 259 (prefix
// segments per algorithm) of Kroma::SegmentRouting::Status. A segment is
// mapped when it is present, its flags have 0x04 set and 0x10 clear, its
// prefix is of the mapper's family, and its originator is not the zero router
// id (see below).
//
// Ownership: the mapper holds the table (read only) and the output map; the
// output is shared with its readers and outlives the mapper. The private
// prefix-to-originator cache remembers under which router each
// (prefix, algorithm) is mapped: (P, A) -> R exactly when P is a member of R's
// RouterToNodeSegment in A's map, for keys of the mapper's family.
//
// Three choices of this implementation:
//   - Segments whose originator is the zero router id are not mapped. The
//     zero router id stands for "no originator" in the cache, so such a
//     mapping could never be removed again.
//   - doCleanup() or handleInitialized() invoked on a running mapper empties
//     the output but keeps the cache. A later removal whose algorithm map or
//     router entry is missing skips the missing parts and still drops the
//     cache entry; a later addition recreates what it needs.
//   - A start-up build that throws empties the output and the cache, so that
//     no half-built map is left behind (see the constructor).
//
// Threads: none of its own. Everything runs on the thread that delivers the
// table's notifications. The zombie flag, not a lock, keeps notifications out
// while the mapper subscribes, unsubscribes or is destroyed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pathkit/StatusReactor.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class NodeSegmentReverseMapper
    : public StatusReactor<NodeSegmentReverseMapper, RouterToNodeSegmentMapPerAlgo>,
      public Granule::SlabAllocated<NodeSegmentReverseMapper> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::NodeSegmentReverseMapper"};
  static constexpr std::uint32_t kPrefixToOriginatorCacheHashConstant = 2987357345u;
  static constexpr char const* kReactorName = "NodeSegmentReverseMapper";
  static constexpr char const* kOutputNeed = "an output map (routerToNodeSegmentMapPerAlgo)";

  // A member of the cache: (prefix, algorithm) -> router id, kept in the
  // bytes that carry meaning only (64 bytes with the hash links): the
  // prefix's family, length and address (its two reserved bytes are always
  // zero), the algorithm, and the router id's first 16 bytes (its last 8 are
  // reserved and always zero). key() and value() rebuild the values.
  class HN_PrefixToOriginatorCache : public Vek::HashMember<HN_PrefixToOriginatorCache>,
                                     public Granule::SlabAllocated<HN_PrefixToOriginatorCache> {
   public:
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
        "SegmentRouting::Mappers::NodeSegmentReverseMapper::HN_PrefixToOriginatorCache"};

    HN_PrefixToOriginatorCache(Mpls::SegmentRouting::PrefixAlgoKey const& key,
                               Mpls::RouterId const& value) noexcept {
      static_assert(sizeof(Vantre::IpGenPrefix) == 20 && sizeof(Mpls::RouterId) == 24);
      unsigned char raw[20];
      std::memcpy(raw, &key.prefix(), sizeof raw);
      std::memcpy(key_, raw, 2);
      std::memcpy(key_ + 2, raw + 4, 16);
      key_[18] = key.algo();
      valueIs(value);
    }
    Mpls::SegmentRouting::PrefixAlgoKey key() const noexcept {
      unsigned char raw[20] = {};
      std::memcpy(raw, key_, 2);
      std::memcpy(raw + 4, key_ + 2, 16);
      Vantre::IpGenPrefix prefix;
      std::memcpy(static_cast<void*>(&prefix), raw, sizeof raw);
      return {prefix, key_[18]};
    }
    Mpls::RouterId value() const noexcept {
      Mpls::RouterId id;
      std::memcpy(static_cast<void*>(&id), value_, sizeof value_);
      return id;
    }
    void valueIs(Mpls::RouterId const& value) noexcept {
      std::memcpy(value_, &value, sizeof value_);
    }

   private:
    unsigned char key_[19];
    unsigned char value_[16];
  };
  using PrefixToOriginatorCacheCollection = Vek::HashMap2018<
      HN_PrefixToOriginatorCache, Mpls::SegmentRouting::PrefixAlgoKey,
      Vek::SeededKeyOps<Mpls::SegmentRouting::PrefixAlgoKey, kPrefixToOriginatorCacheHashConstant>>;

  // Subscribes to `srStatus` and builds the output in full. A null pointer
  // for either raises Pavo::NullPointerException. If the build throws (an
  // entry over 100 records), the output holds what it would hold had no
  // mapper existed, as after destruction (every mapping this build made is
  // removed, each removal published), the subscription is removed, and the
  // exception leaves the constructor: no mapper exists.
  NodeSegmentReverseMapper(
      Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
      Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo);
  // Unsubscribes, empties the output (publishing every removal), drops the cache.
  ~NodeSegmentReverseMapper() override;

  // Allocates and constructs a mapper, then turns its notifications on.
  static Pavo::Ptr<NodeSegmentReverseMapper> NodeSegmentReverseMapperIs(
      Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
      Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo) {
    return create(af, srStatus, routerToNodeSegmentMapPerAlgo);
  }

  // af() and srStatus() come with the StatusReactor.
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo() const {
    return output_;
  }

  // Brings the output in line with one prefix segment (the update).
  void doUpdateRouterToNodeSegmentMap(
      Mpls::SegmentRouting::PrefixAlgoKey const& prefixAlgoKey,
      Kroma::SegmentRouting::PrefixSegmentWithAlgo const& prefixSegmentWithAlgo);
  // Change handlers: look the key up and hand the entry to the update.
  void handlePrefixSegment(Vantre::IpGenPrefix const& prefix);
  void handlePrefixSegmentWithAlgo(Mpls::SegmentRouting::PrefixAlgoKey const& prefixAlgoKey);
  // Start-up build: doCleanup(), then every key of both collections. All or
  // nothing: if a key throws, the output and the cache are both emptied (as
  // destruction leaves them) before the exception passes on; a running
  // mapper stays subscribed and maps the keys that change from then on.
  void handleInitialized();
  // Empties the output map, each removal published; keeps the cache.
  void doCleanup();

  // The prefix-to-originator cache: private bookkeeping, never published.
  void prefixToOriginatorCacheIs(Mpls::SegmentRouting::PrefixAlgoKey const& key,
                                 Mpls::RouterId const& routerId);
  // Removes the entry; returns its router id, the zero router id when absent.
  Mpls::RouterId prefixToOriginatorCacheDel(Mpls::SegmentRouting::PrefixAlgoKey const& key);
  void prefixToOriginatorCacheDelAll() { prefixToOriginatorCache_.deleteAll(); }
  // The stored router id, or the zero router id when absent.
  Mpls::RouterId prefixToOriginatorCache(Mpls::SegmentRouting::PrefixAlgoKey const& key) const;
  std::optional<Mpls::RouterId> prefixToOriginatorCacheGet(
      Mpls::SegmentRouting::PrefixAlgoKey const& key) const;
  bool prefixToOriginatorCacheHas(Mpls::SegmentRouting::PrefixAlgoKey const& key) const {
    return prefixToOriginatorCache_.contains(key);
  }
  std::size_t prefixToOriginatorCacheCount() const { return prefixToOriginatorCache_.size(); }
  PrefixToOriginatorCacheCollection const& prefixToOriginatorCacheCollection() const {
    return prefixToOriginatorCache_;
  }

 private:
  friend class StatusReactor<NodeSegmentReverseMapper, RouterToNodeSegmentMapPerAlgo>;
  // The status-table collections this mapper follows: 258 and 259.
  static std::array<StatusHandler, 2> const kStatusHandlers;
  // The handlers' second halves: the entry found (null: absent or reported
  // corrupt) is copied once into the update's value.
  void prefixSegmentRead(Vantre::IpGenPrefix const& prefix,
                         Kroma::SegmentRouting::Status::PrefixSegmentMap::Stored const* stored);
  void prefixSegmentWithAlgoRead(
      Mpls::SegmentRouting::PrefixAlgoKey const& prefixAlgoKey,
      Kroma::SegmentRouting::Status::PrefixSegmentWithAlgoMap::Stored const* stored);

  PrefixToOriginatorCacheCollection prefixToOriginatorCache_;
};

static_assert(sizeof(NodeSegmentReverseMapper::HN_PrefixToOriginatorCache) <= 64,
              "a cache member fills one 64-byte slab slot");

Pavo::Ptr<NodeSegmentReverseMapper> nodeSegmentReverseMapperFactory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo);

}  // namespace SegmentRouting::Mappers
