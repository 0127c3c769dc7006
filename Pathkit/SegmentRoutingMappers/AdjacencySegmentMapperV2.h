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
// Shared members. A key files the pairs (link, entry) of its records; two
// keys whose records give equal entries (same isLocal, metric and sid) on one
// link share that list member, which stays while any key files it:
//   - a key that files a member the list already holds publishes no change
//     of that link's list (its key-table entry is published as usual);
//   - taking out or replacing one of several keys that file a member leaves
//     the member and publishes no change for it; the last key's removal
//     removes it as for a member of one key;
//   - a key's change touches only the pairs it filed: an equal entry that
//     another key filed on one of its links (for another metric) stays.
// A change that touches no member another key files publishes exactly what
// it would if no other key existed. Two private collections beside the entry
// cache keep this exact: sharedEntryCount, (protoId, link, entry) -> the keys
// filing it, held only while two or more do; and filedPairs, for a key whose
// link set and entry set both have two or more members, which pairs of their
// product it filed (one bit each; for any other key the product is exactly
// what it filed). A key of one link or one metric that shares nothing has
// nothing in either.
//
// Threads: none of its own. Everything runs on the thread that delivers the
// table's notifications. The zombie flag, not a lock, keeps notifications out
// while the mapper subscribes, unsubscribes or is destroyed.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>

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
#include "Vek/HashMap2018.h"
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
  static constexpr std::uint32_t kSharedEntryHashConstant = 1540483477u;
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

  // An entry filed on a link under a protoId. Its hash takes the link's
  // hash in the link tables (AdjSegmentListPerProtoId::adjSegmentListHash),
  // which the change path has at hand: hashOf(linkHash, entry, protoId).
  struct SharedEntryKey {
    Cspf::LinkKey link;
    AdjSegmentEntry entry;
    unsigned short protoId = 0;
    unsigned hash(unsigned seed) const noexcept;
    static std::uint32_t hashOf(std::uint32_t linkHash, AdjSegmentEntry const& entry,
                                unsigned short protoId) noexcept;
    friend bool operator==(SharedEntryKey const&, SharedEntryKey const&) noexcept = default;
    friend std::strong_ordering operator<=>(SharedEntryKey const&,
                                            SharedEntryKey const&) noexcept = default;
  };
  // Invariant: a member's count is the number of keys filing its entry on
  // its link, 2 or more; the list member of a pair without one has one key.
  using HN_SharedEntryCount =
      Vek::AttrMapMember<"SegmentRouting::Mappers::AdjacencySegmentMapperV2::HN_SharedEntryCount",
                         SharedEntryKey, std::uint32_t>;
  using SharedEntryCountCollection =
      Vek::HashMap2018<HN_SharedEntryCount, SharedEntryKey,
                       Vek::SeededKeyOps<SharedEntryKey, kSharedEntryHashConstant>>;

  // Which (link, entry) pairs of the product of a key's link set and entry
  // set the key filed: bit i * entries + j for its i-th link and j-th entry
  // in the sets' iteration order. Hash sets iterate in a canonical order, so
  // the copies in the key table and the entry cache agree with the sets the
  // bits were made from.
  class FiledPairBits {
   public:
    explicit FiledPairBits(std::size_t bits)
        : words_(bits > 64 ? std::make_unique<std::uint64_t[]>((bits + 63) / 64) : nullptr) {}
    bool has(std::size_t bit) const noexcept {
      return ((words_ ? words_[bit / 64] : word_) >> bit % 64 & 1u) != 0;
    }
    void set(std::size_t bit) noexcept { (words_ ? words_[bit / 64] : word_) |= 1ull << bit % 64; }

   private:
    std::uint64_t word_ = 0;                  // the bits, when there are 64 at most
    std::unique_ptr<std::uint64_t[]> words_;  // else all of them
  };
  struct FiledPairsKey {
    Kroma::SegmentRouting::AdjacencySegmentKey key;
    unsigned short protoId = 0;
    unsigned hash(unsigned seed) const noexcept;
    friend bool operator==(FiledPairsKey const&, FiledPairsKey const&) noexcept = default;
    friend std::strong_ordering operator<=>(FiledPairsKey const&,
                                            FiledPairsKey const&) noexcept = default;
  };
  // Invariant: a member for exactly the keys whose key table set and entry
  // cache set both have two or more members.
  using HN_FiledPairs =
      Vek::AttrMapMember<"SegmentRouting::Mappers::AdjacencySegmentMapperV2::HN_FiledPairs",
                         FiledPairsKey, FiledPairBits>;
  using FiledPairsCollection =
      Vek::HashMap2018<HN_FiledPairs, FiledPairsKey, Vek::SeededKeyOps<FiledPairsKey, 2246822519u>>;

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

  // The sharing bookkeeping, read only (for checks from outside). The number
  // of keys that file `entry` on `link` under `protoId` when two or more do,
  // else 0.
  std::uint32_t sharedEntryCount(unsigned short protoId, Cspf::LinkKey const& link,
                                 AdjSegmentEntry const& entry) const;
  SharedEntryCountCollection const& sharedEntryCountCollection() const { return sharedEntryCount_; }
  // Whether `key` filed an entry of `metric` on `link` under `protoId`, as
  // recorded for a key with two or more links and entries (false for others).
  bool filedPairHas(unsigned short protoId, Kroma::SegmentRouting::AdjacencySegmentKey const& key,
                    Cspf::LinkKey const& link, std::uint32_t metric) const;
  // The keys whose pairs are recorded.
  std::size_t filedPairsCount() const { return filedPairs_.size(); }

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
  // The key's hashes in the key tables (NeighborSetPerProtoId and
  // AdjSegmentSetPerProtoId), made once for every protoId an event files the
  // key under.
  struct KeyHashes {
    std::uint32_t links;
    std::uint32_t entries;
  };
  static KeyHashes keyHashesOf(Kroma::SegmentRouting::AdjacencySegmentKey const& key) {
    return {NeighborSetPerProtoId::neighborSetHash(key),
            AdjSegmentSetPerProtoId::adjSegmentSetHash(key)};
  }
  // manageAdjSegment with the key's hashes already made.
  void manageAdjSegment(Kroma::SegmentRouting::AdjacencySegmentKey const& key,
                        Kroma::SegmentRouting::AdjacencySegment const& segment,
                        unsigned short protoId, KeyHashes hashes);
  // The step-2 and step-3 trace line of one link.
  void traceLink(char const* fmt, std::uint32_t sid, Cspf::LinkKey const& link) const;
  // Whether another key still files `entry` on `link` as the calling key
  // lets go of it: then the pair's count drops by one.
  // `linkHash` is the link's hash in the link tables.
  bool sharedEntryRelease(unsigned short protoId, Cspf::LinkKey const& link, std::uint32_t linkHash,
                          AdjSegmentEntry const& entry);
  // One more key files an entry that the link's list already holds.
  void sharedEntryAdd(unsigned short protoId, Cspf::LinkKey const& link, std::uint32_t linkHash,
                      AdjSegmentEntry const& entry);
  // The pairs that the records of `protoId` file, over the key's new sets.
  static FiledPairBits filedPairBits(Kroma::SegmentRouting::AdjacencySegment const& segment,
                                     unsigned short protoId, NeighborSet const& links,
                                     AdjSegmentSet const& entries);

  AdjSegmentEntryCacheCollection adjSegmentEntryCache_;
  SharedEntryCountCollection sharedEntryCount_;
  FiledPairsCollection filedPairs_;
};

Pavo::Ptr<AdjacencySegmentMapperV2> adjacencySegmentMapperV2Factory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap);

// The link key of one neighbour record: its link description, completed with
// the remote vertex named by the neighbour's IS-IS system id when the record's
// vertex kind is 2, else with the empty identifier.
Cspf::LinkKey linkKeyOf(Kroma::SegmentRouting::AdjacencySegmentNeighbor const& record);

}  // namespace SegmentRouting::Mappers
