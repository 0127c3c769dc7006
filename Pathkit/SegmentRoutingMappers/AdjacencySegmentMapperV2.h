// AdjacencySegmentMapperV2: the reactor that keeps an AdjSegmentConnectorMapV2
// in step with the adjacency segments of the status table, for one address
// family: per protocol instance, for every CSPF link the adjacency SIDs that
// stand for it, and for every status key the links it named.
//
//   auto connectors = adjSegmentConnectorMapV2Factory();
//   auto mapper =
//       adjacencySegmentMapperV2Factory(Vantre::AddressFamily::ipv4, status, connectors);
//   // connectors->map(0)->adjSegmentList(link) now lists the SIDs on `link`,
//   // and follows each change of the table inside the table's publication.
//
// Input: field 263 (IPv4 adjacency segments) for an IPv4 mapper, 264 (IPv6)
// for an IPv6 one; any other family walks 264 at start-up and files nothing.
// A key whose router id starts with the word 3 is filed under protoIds 1 and
// 2, any other under 0; each filing takes only the neighbour records of its
// protoId, and only when all records name one neighbour router.
//
// Ownership: the mapper holds the table (read only) and the connector map;
// the connector map is shared with its readers and outlives the mapper, which
// empties it when it goes. The private adjSegmentEntryCache remembers per
// protoId the entries each status key filed, so that its next change takes
// exactly those out again. Invariant between calls: connectorMap()->cache(p)
// exists exactly when adjSegmentEntryCache(p) does, with the same keys.
// manageAdjSegment stops the process (an assertion) when it finds that
// invariant, or a filed link, missing: the connector map was changed behind
// the mapper's back.
//
// Threads: none of its own. Everything runs on the thread that delivers the
// table's notifications. The zombie flag, not a lock, keeps notifications out
// while the mapper subscribes, unsubscribes or is destroyed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Cspf/LinkKey.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"
#include "Pathkit/StatusReactor.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vantre/AddressFamily.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/KeyOps.h"

namespace SegmentRouting::Mappers {

class AdjacencySegmentMapperV2
    : public StatusReactor<AdjacencySegmentMapperV2, AdjSegmentConnectorMapV2>,
      public Granule::SlabAllocated<AdjacencySegmentMapperV2> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{
      "SegmentRouting::Mappers::AdjacencySegmentMapperV2"};
  static constexpr Pavo::FieldId kAdjSegmentEntryCacheField = 133;
  static constexpr std::uint32_t kAdjSegmentEntryCacheHashConstant = 3184209212u;
  static constexpr char const* kReactorName = "AdjacencySegmentMapperV2";
  static constexpr char const* kOutputNeed = "a connector map (connectorMap)";
  // The router-id word that files a key under protoIds 1 and 2.
  static constexpr std::uint32_t kTwoInstanceRouterIdWord = 3;
  // The function signature that entry traces and assertions name.
  static constexpr char const* kManageAdjSegmentSignature =
      "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::manageAdjSegment(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&, const "
      "Kroma::SegmentRouting::AdjacencySegment&, U16)";

  // A member of adjSegmentEntryCache: the counted child, keyed by its protoId.
  struct AdjSegmentEntryCacheKeyFunktor {
    unsigned short operator()(AdjSegmentSetPerProtoId const& c) const { return c.protoId(); }
  };
  using HN_AdjSegmentEntryCache = Vek::AttrChildMember<
      "SegmentRouting::Mappers::AdjacencySegmentMapperV2::HN_AdjSegmentEntryCache",
      AdjSegmentSetPerProtoId, AdjSegmentEntryCacheKeyFunktor>;
  using AdjSegmentEntryCacheCollection =
      Vek::AttrChildMap<HN_AdjSegmentEntryCache,
                        Vek::IntegerKeyOps<unsigned short, kAdjSegmentEntryCacheHashConstant>,
                        kAdjSegmentEntryCacheField>;

  // Subscribes to `srStatus` and builds the connector map in full. A null
  // pointer for either raises Pavo::NullPointerException. If the build
  // throws (an entry over 512 records), the connector map holds what it
  // would hold had no mapper existed, as after destruction (everything this
  // build filed is removed, each removal published), the subscription is
  // removed, and the exception leaves the constructor: no mapper exists.
  AdjacencySegmentMapperV2(Vantre::AddressFamily af,
                           Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
                           Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap);
  // Unsubscribes, empties the connector map (publishing every removal),
  // drops the cache.
  ~AdjacencySegmentMapperV2() override;

  // Allocates and constructs a mapper, then turns its notifications on.
  static Pavo::Ptr<AdjacencySegmentMapperV2> AdjacencySegmentMapperV2Is(
      Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
      Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap) {
    return create(af, srStatus, connectorMap);
  }

  // af() and srStatus() come with the StatusReactor.
  Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap() const { return output_; }

  // Files one status entry under `protoId`: takes the key's previous
  // contribution out and puts the entry's in (see the .cpp for the phases).
  void manageAdjSegment(Kroma::SegmentRouting::AdjacencySegmentKey const& key,
                        Kroma::SegmentRouting::AdjacencySegment const& segment,
                        unsigned short protoId);
  // Change handlers: look the key up and file its entry.
  void handleV4AdjSegment(Kroma::SegmentRouting::AdjacencySegmentKey const& key);
  void handleV6AdjSegment(Kroma::SegmentRouting::AdjacencySegmentKey const& key);
  // Start-up build: doCleanup(), then every key of the family's collection.
  // All or nothing: if a key throws, the connector map and the entry cache
  // are emptied (as destruction leaves them) before the exception passes on;
  // a running mapper stays subscribed and files the keys that change from
  // then on.
  void handleInitialized();
  // Removes everything filed: member by member, then the per-protoId tables.
  void doCleanup();

  // The entry cache: private bookkeeping, never published.
  Pavo::Ptr<AdjSegmentSetPerProtoId> adjSegmentEntryCacheIs(unsigned short protoId) {
    return adjSegmentEntryCache_.childIs(protoId, Vek::kNoPublisher);
  }
  Pavo::Ptr<AdjSegmentSetPerProtoId> adjSegmentEntryCacheDel(unsigned short protoId) {
    return adjSegmentEntryCache_.valueDel(protoId, Vek::kNoPublisher);
  }
  void adjSegmentEntryCacheDelAll() { adjSegmentEntryCache_.deleteAll(); }
  Pavo::Ptr<AdjSegmentSetPerProtoId> adjSegmentEntryCache(unsigned short protoId) const {
    return adjSegmentEntryCache_.lookup(protoId);
  }
  bool adjSegmentEntryCacheHas(unsigned short protoId) const {
    return adjSegmentEntryCache_.contains(protoId);
  }
  std::size_t adjSegmentEntryCacheCount() const { return adjSegmentEntryCache_.size(); }
  AdjSegmentEntryCacheCollection const& adjSegmentEntryCacheCollection() const {
    return adjSegmentEntryCache_;
  }

 private:
  using AdjacencySegmentMap = Kroma::SegmentRouting::Status::AdjacencySegmentMap;

  friend class StatusReactor<AdjacencySegmentMapperV2, AdjSegmentConnectorMapV2>;
  // The status-table collections this mapper follows: 263 and 264.
  static std::array<StatusHandler, 2> const kStatusHandlers;
  // One handler call for `family` (ipv4: 263, else 264): the entry trace,
  // the family test, then the entry (looked up, or the one a walk stands on:
  // `walked` non-null) copied once and filed under its protoIds.
  void handleAdjSegment(bool ipv4, Kroma::SegmentRouting::AdjacencySegmentKey const& key,
                        AdjacencySegmentMap::Stored const* const* walked);
  // The step-2 and step-3 trace line of one link.
  void traceLink(char const* fmt, std::uint32_t sid, Cspf::LinkKey const& link) const;

  AdjSegmentEntryCacheCollection adjSegmentEntryCache_;
};

Pavo::Ptr<AdjacencySegmentMapperV2> adjacencySegmentMapperV2Factory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap);

// The link key of one neighbour record: its link description, completed with
// the remote vertex named by the neighbour's IS-IS system id when the record's
// vertex kind is 2, else with the empty identifier.
Cspf::LinkKey linkKeyOf(Kroma::SegmentRouting::AdjacencySegmentNeighbor const& record);

}  // namespace SegmentRouting::Mappers
