// The adjacency segment mapper: subscription, dispatch, the two handlers, the
// start-up build, the clean-up and the filing of one entry.
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "Cspf/IgpRouterId.h"
#include "Cspf/VertexIdentifier.h"
#include "Duolog/Duolog.h"
#include "Kroma/Reading.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "Pathkit/SegmentRoutingMappers/Module.h"
#include "Vek/Assert.h"

namespace SegmentRouting::Mappers {

namespace {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::AdjSegmentNbrIdx;
using AdjacencySegmentMap = Kroma::SegmentRouting::Status::AdjacencySegmentMap;

constexpr char const* kSource = "Pathkit/SegmentRoutingMappers";

void check(bool holds, char const* text) {
  Vek::assertThat(holds, text, kSource, AdjacencySegmentMapperV2::kManageAdjSegmentSignature);
}

// Whether every record names the neighbour router of record 0 (true for 0 or
// 1 records), whatever their protocol instance.
bool sameNeighbor(AdjacencySegment const& segment) {
  std::uint32_t const count = segment.count();
  if (count <= 1)
    return true;
  Mpls::RouterId const& first = segment.neighbor(AdjSegmentNbrIdx(0)).neighbor;
  for (std::uint32_t i = 1; i < count; ++i) {
    if (!(segment.neighbor(AdjSegmentNbrIdx(i)).neighbor == first))
      return false;
  }
  return true;
}

// Whether record `i` repeats the link and metric of an earlier record of
// `protoId`: the key files that pair once. All records name one neighbour
// here, so equal link descriptions make equal link keys.
bool filedBefore(AdjacencySegment const& segment, std::uint32_t i, unsigned short protoId) {
  AdjacencySegmentNeighbor const& record = segment.neighbor(AdjSegmentNbrIdx(i));
  for (std::uint32_t j = 0; j < i; ++j) {
    AdjacencySegmentNeighbor const& earlier = segment.neighbor(AdjSegmentNbrIdx(j));
    if (earlier.protoInstance == protoId && earlier.metric == record.metric &&
        std::memcmp(&earlier.link, &record.link, sizeof record.link) == 0)
      return true;
  }
  return false;
}

// Whether one of the first `end` records is of `protoId` and has the metric.
bool metricFiled(AdjacencySegment const& segment, unsigned short protoId, std::uint32_t metric,
                 std::uint32_t end) {
  for (std::uint32_t i = 0; i < end; ++i) {
    AdjacencySegmentNeighbor const& record = segment.neighbor(AdjSegmentNbrIdx(i));
    if (record.protoInstance == protoId && record.metric == metric)
      return true;
  }
  return false;
}

// The distinct metrics of the records of `protoId`.
std::size_t metricsFiled(AdjacencySegment const& segment, unsigned short protoId) {
  std::size_t n = 0;
  for (std::uint32_t i = 0; i < segment.count(); ++i) {
    AdjacencySegmentNeighbor const& record = segment.neighbor(AdjSegmentNbrIdx(i));
    if (record.protoInstance == protoId && !metricFiled(segment, protoId, record.metric, i))
      ++n;
  }
  return n;
}

// A link's list as step 2 left it, kept aside until step 3 files the link
// again (and takes the list) or step 4 writes it back.
struct StagedList {
  Cspf::LinkKey link;
  std::uint32_t hash = 0;     // the link's hash in every AdjSegmentListPerProtoId
  std::uint32_t setHash = 0;  // and in every NeighborSet
  AdjSegmentList list;
  bool taken = false;
};
// A vector with room for N members in place, for the short working lists
// of one call: past N it moves them all to the heap and goes on there.
template <class T, std::size_t N>
class SmallVector {
 public:
  SmallVector() noexcept = default;
  SmallVector(SmallVector const&) = delete;
  SmallVector& operator=(SmallVector const&) = delete;
  ~SmallVector() { clear(); }

  T* begin() noexcept { return spilled_ ? heap_.data() : inPlace(); }
  T* end() noexcept { return begin() + size(); }
  std::size_t size() const noexcept { return spilled_ ? heap_.size() : size_; }
  bool empty() const noexcept { return size() == 0; }
  void push_back(T&& value) {
    if (!spilled_ && size_ == N) {
      heap_.reserve(2 * N);
      std::move(inPlace(), inPlace() + size_, std::back_inserter(heap_));
      clear();
      spilled_ = true;
    }
    if (spilled_) {
      heap_.push_back(std::move(value));
      return;
    }
    new (inPlace() + size_) T(std::move(value));
    ++size_;
  }
  void clear() noexcept {
    if (spilled_)
      heap_.clear();
    std::destroy_n(inPlace(), size_);
    size_ = 0;
  }

 private:
  T* inPlace() noexcept { return std::launder(reinterpret_cast<T*>(room_)); }

  alignas(T) std::byte room_[N * sizeof(T)];
  std::size_t size_ = 0;  // members in room_, while not spilled
  bool spilled_ = false;  // the members are in heap_
  std::vector<T> heap_;
};

}  // namespace

std::uint32_t AdjacencySegmentMapperV2::SharedEntryKey::hashOf(std::uint32_t linkHash,
                                                               AdjSegmentEntry const& entry,
                                                               unsigned short protoId) noexcept {
  Vek::Hash h(Vek::HashHelper::hashSeed32() ^ kSharedEntryHashConstant);
  h.hashMix<4>(linkHash);
  h.hashMix<4>(entry.hash(0));
  h.hashMix<2>(protoId);
  return h.result();
}

unsigned AdjacencySegmentMapperV2::SharedEntryKey::hash(unsigned) const noexcept {
  return hashOf(AdjSegmentListPerProtoId::adjSegmentListHash(link), entry, protoId);
}

unsigned AdjacencySegmentMapperV2::FiledPairsKey::hash(unsigned seed) const noexcept {
  Vek::Hash h(key.hash(seed));
  h.hashMix<2>(protoId);
  return h.result();
}

bool AdjacencySegmentMapperV2::filedPairHas(unsigned short protoId, AdjacencySegmentKey const& key,
                                            Cspf::LinkKey const& link, std::uint32_t metric) const {
  HN_FiledPairs const* const filed = filedPairs_.find({key, protoId});
  Pavo::Ptr<NeighborSetPerProtoId> const links = output_->cache(protoId);
  Pavo::Ptr<AdjSegmentSetPerProtoId> const entries = adjSegmentEntryCache(protoId);
  NeighborSet const* const linkSet = links ? links->neighborSetFind(key) : nullptr;
  AdjSegmentSet const* const entrySet = entries ? entries->adjSegmentSetFind(key) : nullptr;
  if (filed == nullptr || linkSet == nullptr || entrySet == nullptr)
    return false;
  std::size_t i = 0, j = 0;
  auto l = linkSet->linkCollection().begin();
  for (; !l.atEnd() && !(l->key() == link); ++l)
    ++i;
  auto e = entrySet->adjSegmentEntryCollection().begin();
  for (; !e.atEnd() && e->key().metric() != metric; ++e)
    ++j;
  return !l.atEnd() && !e.atEnd() && filed->value().has(i * entrySet->adjSegmentEntryCount() + j);
}

AdjacencySegmentMapperV2::FiledPairBits AdjacencySegmentMapperV2::filedPairBits(
    AdjacencySegment const& segment, unsigned short protoId, NeighborSet const& links,
    AdjSegmentSet const& entries) {
  // The sets in their iteration order. The key's entries differ in metric
  // alone, and all its records name one neighbour, so a record's metric and
  // link description find its entry and link.
  std::array<Cspf::LinkDescription const*, AdjacencySegment::kMaxNeighbors> linkAt;
  std::array<std::uint32_t, AdjacencySegment::kMaxNeighbors> metricAt;
  std::size_t linkCount = 0, entryCount = 0;
  for (auto l = links.linkCollection().begin(); !l.atEnd(); ++l)
    linkAt[linkCount++] = &l->key().description();
  for (auto e = entries.adjSegmentEntryCollection().begin(); !e.atEnd(); ++e)
    metricAt[entryCount++] = e->key().metric();
  FiledPairBits bits(linkCount * entryCount);
  for (std::uint32_t r = 0; r < segment.count(); ++r) {
    AdjacencySegmentNeighbor const& record = segment.neighbor(AdjSegmentNbrIdx(r));
    if (record.protoInstance != protoId)
      continue;
    std::size_t i = 0, j = 0;
    while (std::memcmp(linkAt[i], &record.link, sizeof record.link) != 0)
      ++i;
    while (metricAt[j] != record.metric)
      ++j;
    bits.set(i * entryCount + j);
  }
  return bits;
}

std::uint32_t AdjacencySegmentMapperV2::sharedEntryCount(unsigned short protoId,
                                                         Cspf::LinkKey const& link,
                                                         AdjSegmentEntry const& entry) const {
  HN_SharedEntryCount const* const m = sharedEntryCount_.find({link, entry, protoId});
  return m != nullptr ? m->value() : 0;
}

bool AdjacencySegmentMapperV2::sharedEntryRelease(unsigned short protoId, Cspf::LinkKey const& link,
                                                  std::uint32_t linkHash,
                                                  AdjSegmentEntry const& entry) {
  if (sharedEntryCount_.empty())
    return false;
  SharedEntryKey const pair{link, entry, protoId};
  std::uint32_t const hash = SharedEntryKey::hashOf(linkHash, entry, protoId);
  HN_SharedEntryCount* const m = sharedEntryCount_.find(pair, hash);
  if (m == nullptr)
    return false;
  if (m->value() > 2)
    m->valueIs(m->value() - 1);
  else
    sharedEntryCount_.memberDel(pair, hash);
  return true;
}

void AdjacencySegmentMapperV2::sharedEntryAdd(unsigned short protoId, Cspf::LinkKey const& link,
                                              std::uint32_t linkHash,
                                              AdjSegmentEntry const& entry) {
  SharedEntryKey const pair{link, entry, protoId};
  std::uint32_t const hash = SharedEntryKey::hashOf(linkHash, entry, protoId);
  if (HN_SharedEntryCount* const m = sharedEntryCount_.find(pair, hash))
    m->valueIs(m->value() + 1);
  else
    sharedEntryCount_.memberIs(Pavo::makePtr<HN_SharedEntryCount>(pair, 2u), hash);
}

Cspf::LinkKey linkKeyOf(AdjacencySegmentNeighbor const& record) {
  Cspf::IgpRouterId last(record.link.vertexKind == Cspf::LinkDescription::kKindRemoteBySystemId
                             ? Cspf::VertexIdentifierBase(record.neighbor.isisSystemId())
                             : Cspf::VertexIdentifierBase());
  last.handleInitialized();
  return Cspf::LinkKey(record.link, last);
}

AdjacencySegmentMapperV2::AdjacencySegmentMapperV2(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap)
    : StatusReactor(af, srStatus, connectorMap) {
  subscribeAndBuild();
}

AdjacencySegmentMapperV2::~AdjacencySegmentMapperV2() {
  retire();
  adjSegmentEntryCache_.deleteAll();
  sharedEntryCount_.deleteAll();
  filedPairs_.deleteAll();
}

Pavo::Ptr<AdjacencySegmentMapperV2> adjacencySegmentMapperV2Factory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<AdjSegmentConnectorMapV2> const& connectorMap) {
  return AdjacencySegmentMapperV2::AdjacencySegmentMapperV2Is(af, srStatus, connectorMap);
}

// --- dispatch ----------------------------------------------------------------

constinit std::array<AdjacencySegmentMapperV2::StatusHandler, 2> const
    AdjacencySegmentMapperV2::kStatusHandlers{
        on<&AdjacencySegmentMapperV2::handleV4AdjSegment>(
            Kroma::SegmentRouting::Status::kIpv4AdjacencySegment),
        on<&AdjacencySegmentMapperV2::handleV6AdjSegment>(
            Kroma::SegmentRouting::Status::kIpv6AdjacencySegment),
    };

// --- handlers ----------------------------------------------------------------

void AdjacencySegmentMapperV2::handleV4AdjSegment(AdjacencySegmentKey const& key) {
  handleAdjSegment(true, key, nullptr);
}

void AdjacencySegmentMapperV2::handleV6AdjSegment(AdjacencySegmentKey const& key) {
  handleAdjSegment(false, key, nullptr);
}

void AdjacencySegmentMapperV2::handleAdjSegment(bool ipv4, AdjacencySegmentKey const& key,
                                                AdjacencySegmentMap::Stored const* const* walked) {
  Nimblog::BlockTimer const timer =
      ipv4 ? Duolog::entry(
                 segmentRoutingMappersTrace(), 8, __FILE__, __LINE__, "handleV4AdjSegment",
                 "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::"
                 "handleV4AdjSegment(const Kroma::SegmentRouting::AdjacencySegmentKey&)() ")
           : Duolog::entry(
                 segmentRoutingMappersTrace(), 8, __FILE__, __LINE__, "handleV6AdjSegment",
                 "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::"
                 "handleV6AdjSegment(const Kroma::SegmentRouting::AdjacencySegmentKey&)() ");
  if (af_ != (ipv4 ? Vantre::AddressFamily::ipv4 : Vantre::AddressFamily::ipv6))
    return;
  AdjacencySegmentMap const& collection =
      ipv4 ? srStatus_->ipv4AdjacencySegment() : srStatus_->ipv6AdjacencySegment();
  AdjacencySegmentMap::Stored const* const stored =
      walked != nullptr ? *walked : Kroma::findOrReport(collection, key);
  // One copy of the entry, by its record count (over 512 raises the range
  // error); absent or reported corrupt: the default entry.
  AdjacencySegment const segment = stored != nullptr ? AdjacencySegmentMap::entryOf(*stored)
                                                     : AdjacencySegmentMap::defaultEntry();
  KeyHashes const hashes = keyHashesOf(key);
  if (key.routerId().af() == kTwoInstanceRouterIdWord) {
    manageAdjSegment(key, segment, 1, hashes);
    manageAdjSegment(key, segment, 2, hashes);
  } else {
    manageAdjSegment(key, segment, 0, hashes);
  }
}

void AdjacencySegmentMapperV2::handleInitialized() {
  Nimblog::BlockTimer const timer = Duolog::entry(
      segmentRoutingMappersTrace(), 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::handleInitialized()() %s", af_);
  doCleanup();
  bool const ipv4 = af_ == Vantre::AddressFamily::ipv4;
  // Each walked entry goes to the handler as it stands: no second look-up.
  try {
    Kroma::walkOrReport(
        ipv4 ? srStatus_->ipv4AdjacencySegment() : srStatus_->ipv6AdjacencySegment(),
        [this, ipv4](AdjacencySegmentKey const& key, AdjacencySegmentMap::Stored const* stored) {
          handleAdjSegment(ipv4, key, &stored);
        });
  } catch (...) {
    // A build that stops half way would file some keys and not later ones:
    // leave what destruction leaves, an empty connector map and cache.
    doCleanup();
    throw;
  }
}

void AdjacencySegmentMapperV2::doCleanup() {
  AdjSegmentConnectorMapV2& c = *output_;
  // Member by member first, so that the subscribers of each per-protoId
  // table see every removal before the tables themselves go.
  for (auto m = c.mapCollection().begin(); !m.atEnd(); ++m) {
    Pavo::Ptr<AdjSegmentListPerProtoId> const lists = m->value();
    for (auto l = lists->adjSegmentListCollection().begin(); !l.atEnd(); ++l)
      lists->adjSegmentListDel(l->key());
    if (Pavo::Ptr<NeighborSetPerProtoId> const links = c.cache(m->key())) {
      for (auto k = links->neighborSetCollection().begin(); !k.atEnd(); ++k)
        links->neighborSetDel(k->key());
    }
  }
  for (auto e = adjSegmentEntryCache_.begin(); !e.atEnd(); ++e) {
    Pavo::Ptr<AdjSegmentSetPerProtoId> const entries = e->value();
    for (auto k = entries->adjSegmentSetCollection().begin(); !k.atEnd(); ++k)
      entries->adjSegmentSetDel(k->key());
  }
  c.mapDelAll();
  c.cacheDelAll();
  adjSegmentEntryCacheDelAll();
  sharedEntryCount_.deleteAll();
  filedPairs_.deleteAll();
}

// --- filing one entry ------------------------------------------------------------

namespace {

// A link as its detail traces name it: the first vertex and the remote one.
// A ring record has room for four arguments, so the two go as one value.
struct LinkEnds {
  Cspf::VertexIdentifierBase first;
  Cspf::VertexIdentifierBase remote;
};

void linkEndsText(std::string& out, LinkEnds const& ends) {
  Cspf::VertexIdentifierBase::StringValueBuffer buffer;
  out += ends.first.stringValueIn(buffer);
  out += ", ";
  out += ends.remote.stringValueIn(buffer);
}

}  // namespace

void AdjacencySegmentMapperV2::traceLink(char const* fmt, std::uint32_t sid,
                                         Cspf::LinkKey const& link) const {
  // The ring record keeps the two identifiers' bytes; their text is made
  // only when the ring is read out or the level is on.
  LinkEnds const ends{link.firstVertex(),
                      link.vertexKind() == Cspf::LinkDescription::kKindRemoteBySystemId
                          ? link.lastVertex().vertexIdentifier()
                          : link.secondVertex()};
  Duolog::log(segmentRoutingMappersTrace(), 9, __FILE__, __LINE__, "manageAdjSegment", fmt, af_,
              sid, Nimblog::typed<&linkEndsText>(ends), link.linkId());
}

// Three phases for one key under one protoId p, on the connector map C:
//   2. the key's previous contribution (its links in C->cache(p), its entries
//      in adjSegmentEntryCache(p)) is taken out: each old link's list, minus
//      the old entries, is staged on the side, not yet in C;
//   3. the entry's records for p are filed: each link's list (the staged one
//      if there is one, else C's) gains the new entry and is written to C at
//      once, and its staged copy is dropped;
//   4. the links left staged (those the key no longer names) are written
//      back to C in C's iteration order, and removed when their list became
//      empty.
// So a link the key keeps is never published without the key's entries.
// Step 2 takes out only what the key filed, and only members no other key
// files (others lose one from their count); step 3 counts a key that files
// a member its list already holds.
void AdjacencySegmentMapperV2::manageAdjSegment(AdjacencySegmentKey const& key,
                                                AdjacencySegment const& segment,
                                                unsigned short protoId) {
  manageAdjSegment(key, segment, protoId, keyHashesOf(key));
}

void AdjacencySegmentMapperV2::manageAdjSegment(AdjacencySegmentKey const& key,
                                                AdjacencySegment const& segment,
                                                unsigned short protoId, KeyHashes const hashes) {
  Nimblog::BlockTimer const timer = Duolog::entry(
      segmentRoutingMappersTrace(), 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::AdjacencySegmentMapperV2::manageAdjSegment(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&, const "
      "Kroma::SegmentRouting::AdjacencySegment&, U16)() %u",
      key.sidValue());
  bool const oneNeighbor = sameNeighbor(segment);
  AdjSegmentConnectorMapV2& c = *output_;
  // The lists step 2 reduced, in place for a key of up to 8 links.
  SmallVector<StagedList, 8> staged;
  // The key's recorded pairs, taken out in step 2; step 3 reuses the member.
  Pavo::Ptr<HN_FiledPairs> filed;
  // The key's link and entry sets: those step 2 takes out, which step 3
  // brings to what the records name, so kept members are neither made nor
  // hashed again. Sets iterate in one order whatever their history. Their
  // members in C->cache(p) and the entry cache go from step 2 to step 3 too.
  NeighborSet newLinks;
  AdjSegmentSet newEntries;
  Pavo::Ptr<NeighborSetPerProtoId::HN_NeighborSet> linksMember;
  Pavo::Ptr<AdjSegmentSetPerProtoId::HN_AdjSegmentSet> entriesMember;

  // Step 2. The key's old links and entries are read in place: nothing
  // changes C->cache(p) or the entry cache until they are deleted below, and
  // nothing reaches C's subscribers before the staging is done.
  if (Pavo::Ptr<NeighborSetPerProtoId> const links = c.cache(protoId);
      NeighborSet const* const oldLinks =
          links ? links->neighborSetFind(key, hashes.links) : nullptr) {
    Pavo::Ptr<AdjSegmentSetPerProtoId> const entries = adjSegmentEntryCache(protoId);
    check(entries != nullptr, "adjSegmentEntryCacheHas( protoId )");
    AdjSegmentSet const* const oldEntries = entries->adjSegmentSetFind(key, hashes.entries);
    check(oldEntries != nullptr, "adjSegmentEntryCache( protoId )->adjSegmentSetHas( key )");
    // With two or more links and entries the key's pairs are recorded; they
    // go with the rest of its contribution.
    std::size_t const entryCount = oldEntries->adjSegmentEntryCount();
    if (oldLinks->linkCount() > 1 && entryCount > 1)
      filed = filedPairs_.memberDel({key, protoId});
    Pavo::Ptr<AdjSegmentListPerProtoId> const lists = c.map(protoId);
    // The key's entries that leave the link under way: those it filed there
    // that no other key still files.
    SmallVector<AdjSegmentEntry const*, 16> gone;
    std::size_t pair = 0;  // i * entryCount + j for the i-th link and j-th entry
    for (auto l = oldLinks->linkCollection().begin(); !l.atEnd(); ++l) {
      Cspf::LinkKey const& link = l->key();
      traceLink("%s Delete sid: %u for %s, %u from connector map", key.sidValue(), link);
      check(lists != nullptr, "connectorMap()->mapHas( protoId )");
      std::uint32_t const hash = AdjSegmentListPerProtoId::adjSegmentListHash(link);
      AdjSegmentList const* const stored = lists->adjSegmentListFind(link, hash);
      check(stored != nullptr, "connectorMap()->map( protoId )->adjSegmentListHas( linkKey )");
      gone.clear();
      for (auto e = oldEntries->adjSegmentEntryCollection().begin(); !e.atEnd(); ++e, ++pair) {
        AdjSegmentEntry const& entry = e->key();
        if (filed && !filed->value().has(pair))
          continue;
        if (!sharedEntryRelease(protoId, link, hash, entry))
          gone.push_back(&entry);
      }
      // The list less those: a copy, and each taken out of it in place.
      AdjSegmentList list(*stored);
      for (AdjSegmentEntry const* g : gone)
        list.adjSegmentEntryDel(*g);
      staged.push_back(StagedList{link, hash, l->filedHash(), std::move(list)});
    }
    // Step 4 writes back in C's order: by hash, then by link (a few
    // members: an insertion sort).
    auto const before = [](StagedList const& a, StagedList const& b) {
      return a.hash != b.hash ? a.hash < b.hash : a.link < b.link;
    };
    for (StagedList* s = staged.begin(); s != staged.end(); ++s) {
      for (StagedList* t = s; t != staged.begin() && before(*t, t[-1]); --t)
        std::swap(*t, t[-1]);
    }
    newLinks = links->neighborSetDel(key, hashes.links, &linksMember);
    newEntries = entries->adjSegmentSetDel(key, hashes.entries, &entriesMember);
    if (links->neighborSetCount() == 0) {
      c.cacheDel(protoId);
      adjSegmentEntryCacheDel(protoId);
    }
  }

  // Step 3. A staged list moves on to C (it would be dropped right after); a
  // list of C is copied, as C keeps it until it is replaced. A link's hash
  // serves its staged list and C alike; a staged link brings its hashes.
  if (segment && oneNeighbor) {
    std::uint32_t const count = segment.count();
    for (std::uint32_t i = 0; i < count; ++i) {
      AdjacencySegmentNeighbor const& record = segment.neighbor(AdjSegmentNbrIdx(i));
      if (record.protoInstance != protoId)
        continue;
      Cspf::LinkKey const link = linkKeyOf(record);
      AdjSegmentEntry const entry(key.sidFlag() != 0, record.metric, key.sid());
      traceLink("%s Adding sid: %u for %s, %u to connector map", key.sidValue(), link);
      Pavo::Ptr<AdjSegmentListPerProtoId> lists = c.map(protoId);
      auto const restaged = std::find_if(staged.begin(), staged.end(), [&](StagedList const& s) {
        return !s.taken && s.link == link;
      });
      bool const wasStaged = restaged != staged.end();
      std::uint32_t const hash =
          wasStaged ? restaged->hash : AdjSegmentListPerProtoId::adjSegmentListHash(link);
      AdjSegmentList list;
      if (wasStaged) {
        list = std::move(restaged->list);
        restaged->taken = true;
      } else if (AdjSegmentList const* const stored =
                     lists ? lists->adjSegmentListFind(link, hash) : nullptr) {
        list = *stored;
      }
      // A member the list holds already is another key's (the key's own
      // were taken out in step 2), unless this record repeats an earlier one.
      std::size_t const held = list.adjSegmentEntryCount();
      list.adjSegmentEntryIs(entry, true);
      if (list.adjSegmentEntryCount() == held &&
          !(newLinks.linkHas(link) && newEntries.adjSegmentEntryHas(entry) &&
            filedBefore(segment, i, protoId)))
        sharedEntryAdd(protoId, link, hash, entry);
      if (!lists) {
        lists = adjSegmentListPerProtoIdFactory(protoId);
        c.mapIs(lists);
      }
      lists->adjSegmentListIs(link, hash, std::move(list));
      if (wasStaged)
        newLinks.linkIs(link, restaged->setHash);
      else
        newLinks.linkIs(link);
      newEntries.adjSegmentEntryIs(entry);
    }
    // What the old sets hold and no record named: the staged links no record
    // took, and the metrics no record of p has (when there are more entries
    // than such metrics).
    for (StagedList const& s : staged) {
      if (!s.taken)
        newLinks.linkDel(s.link, s.setHash);
    }
    if (newEntries.adjSegmentEntryCount() > metricsFiled(segment, protoId)) {
      for (auto e = newEntries.adjSegmentEntryCollection().begin(); !e.atEnd(); ++e) {
        if (!metricFiled(segment, protoId, e->key().metric(), count))
          newEntries.adjSegmentEntryDel(e->key());
      }
    }
    if (newLinks) {
      if (!c.cacheHas(protoId)) {
        c.cacheIs(neighborSetPerProtoIdFactory(protoId));
        adjSegmentEntryCacheIs(protoId);
      }
      if (newLinks.linkCount() > 1 && newEntries.adjSegmentEntryCount() > 1) {
        FiledPairBits bits = filedPairBits(segment, protoId, newLinks, newEntries);
        if (filed)
          filed->valueExchange(std::move(bits));
        else
          filed = Pavo::makePtr<HN_FiledPairs>(FiledPairsKey{key, protoId}, std::move(bits));
        filedPairs_.memberIs(std::move(filed));
      }
      c.cache(protoId)->neighborSetIs(key, hashes.links, std::move(newLinks),
                                      std::move(linksMember));
      adjSegmentEntryCacheIs(protoId)->adjSegmentSetIs(key, hashes.entries, std::move(newEntries),
                                                       std::move(entriesMember));
    }
  }

  // Step 4. Each list still staged moves into C.
  if (std::any_of(staged.begin(), staged.end(), [](StagedList const& s) { return !s.taken; })) {
    Pavo::Ptr<AdjSegmentListPerProtoId> const lists = c.map(protoId);
    for (StagedList& s : staged) {
      if (s.taken)
        continue;
      if (s.list) {
        lists->adjSegmentListIs(s.link, s.hash, std::move(s.list));
        continue;
      }
      lists->adjSegmentListDel(s.link, s.hash);
      if (lists->adjSegmentListCount() == 0)
        c.mapDel(protoId);
    }
  }
}

}  // namespace SegmentRouting::Mappers
