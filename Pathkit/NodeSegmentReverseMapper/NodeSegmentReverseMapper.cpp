// The node-segment reverse mapper: subscription, dispatch, the two handlers,
// the start-up build, the clean-up and the update with its cache.
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include "Duolog/Duolog.h"
#include "Kroma/Reading.h"
#include "Vek/Trace.h"

namespace SegmentRouting::Mappers {

VEK_TRACE_HANDLE_DEFINE(traceHandle, "SegmentRoutingMappers", false)

namespace {

using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Mpls::SegmentRouting::PrefixAlgoKey;

using PrefixSegmentMap = Kroma::SegmentRouting::Status::PrefixSegmentMap;
using PrefixSegmentWithAlgoMap = Kroma::SegmentRouting::Status::PrefixSegmentWithAlgoMap;

}  // namespace

NodeSegmentReverseMapper::NodeSegmentReverseMapper(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo)
    : StatusReactor(af, srStatus, routerToNodeSegmentMapPerAlgo) {
  subscribeAndBuild();
}

NodeSegmentReverseMapper::~NodeSegmentReverseMapper() {
  retire();
  prefixToOriginatorCache_.deleteAll();
}

Pavo::Ptr<NodeSegmentReverseMapper> nodeSegmentReverseMapperFactory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo) {
  return NodeSegmentReverseMapper::NodeSegmentReverseMapperIs(af, srStatus,
                                                              routerToNodeSegmentMapPerAlgo);
}

// --- dispatch ----------------------------------------------------------------

constinit std::array<NodeSegmentReverseMapper::StatusHandler, 2> const
    NodeSegmentReverseMapper::kStatusHandlers{
        on<&NodeSegmentReverseMapper::handlePrefixSegment>(
            Kroma::SegmentRouting::Status::kPrefixSegment),
        on<&NodeSegmentReverseMapper::handlePrefixSegmentWithAlgo>(
            Kroma::SegmentRouting::Status::kPrefixSegmentWithAlgo),
    };

// --- handlers ----------------------------------------------------------------

void NodeSegmentReverseMapper::handlePrefixSegment(Vantre::IpGenPrefix const& prefix) {
  prefixSegmentRead(prefix, Kroma::findOrReport(srStatus_->prefixSegment(), prefix));
}

void NodeSegmentReverseMapper::handlePrefixSegmentWithAlgo(PrefixAlgoKey const& prefixAlgoKey) {
  prefixSegmentWithAlgoRead(prefixAlgoKey,
                            Kroma::findOrReport(srStatus_->prefixSegmentWithAlgo(), prefixAlgoKey));
}

void NodeSegmentReverseMapper::prefixSegmentRead(Vantre::IpGenPrefix const& prefix,
                                                 PrefixSegmentMap::Stored const* stored) {
  PrefixAlgoKey const key(prefix, 0);
  // The info copied once, by its count, straight into the value under the
  // update key; over 100 raises the range error. Absent: the default info.
  PrefixSegmentWithAlgo const segment =
      stored != nullptr ? PrefixSegmentMap::entryOf<PrefixSegmentWithAlgo>(*stored, key)
                        : PrefixSegmentWithAlgo(key, PrefixSegmentInfo::Head(), nullptr, 0);
  doUpdateRouterToNodeSegmentMap(key, segment);
}

void NodeSegmentReverseMapper::prefixSegmentWithAlgoRead(
    PrefixAlgoKey const& prefixAlgoKey, PrefixSegmentWithAlgoMap::Stored const* stored) {
  PrefixSegmentWithAlgo const segment = stored != nullptr
                                            ? PrefixSegmentWithAlgoMap::entryOf(*stored)
                                            : PrefixSegmentWithAlgoMap::defaultEntry();
  doUpdateRouterToNodeSegmentMap(prefixAlgoKey, segment);
}

void NodeSegmentReverseMapper::handleInitialized() {
  Nimblog::BlockTimer const timer = Duolog::entry(
      traceHandle(), 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() %s", af_);
  doCleanup();
  VEK_TRACE(traceHandle(), 9,
            "handleInitialized"
                << ": " << af_
                << ": Iterating over prefix segments to build the prefix to originator map");
  // Each walked entry goes to the handler's second half directly: no second
  // look-up of the key the walk stands on. The cache takes at most a member
  // per walked key: its buckets are made once, not doubled along the way.
  try {
    prefixToOriginatorCache_.reserve(srStatus_->prefixSegment().size() +
                                     srStatus_->prefixSegmentWithAlgo().size());
    Kroma::walkOrReport(srStatus_->prefixSegment(), [this](Vantre::IpGenPrefix const& k,
                                                           PrefixSegmentMap::Stored const* stored) {
      prefixSegmentRead(k, stored);
    });
    Kroma::walkOrReport(
        srStatus_->prefixSegmentWithAlgo(),
        [this](PrefixAlgoKey const& k, PrefixSegmentWithAlgoMap::Stored const* stored) {
          prefixSegmentWithAlgoRead(k, stored);
        });
  } catch (...) {
    // A build that stops half way would leave some prefixes mapped and later
    // ones not, with the cache naming both: leave what destruction leaves.
    doCleanup();
    prefixToOriginatorCacheDelAll();
    throw;
  }
}

void NodeSegmentReverseMapper::doCleanup() {
  VEK_TRACE(traceHandle(), 9,
            "doCleanup"
                << ": " << af_ << "Cleaning up the routerToNodeSegment map");
  output_->routerToNodeSegmentMapDelAll();
}

// --- the update ----------------------------------------------------------------

void NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap(
    PrefixAlgoKey const& prefixAlgoKey, PrefixSegmentWithAlgo const& prefixSegmentWithAlgo) {
  Vek::TraceHandle const& trace = traceHandle();
  Nimblog::BlockTimer const timer = Duolog::entry(
      trace, 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap("
      "const Mpls::SegmentRouting::PrefixAlgoKey&, const "
      "Kroma::SegmentRouting::PrefixSegmentWithAlgo&)() %s",
      af_);
  Vantre::IpGenPrefix const& prefix = prefixAlgoKey.prefix();
  unsigned const algo = prefixAlgoKey.algo();
  VEK_TRACE(trace, 9,
            "doUpdateRouterToNodeSegmentMap"
                << ": "
                << "prefix : " << prefix << ", algo : " << algo);
  if (prefix.af() != af_) {
    VEK_TRACE(trace, 9,
              "doUpdateRouterToNodeSegmentMap"
                  << ": " << af_ << ": Skipping prefix " << prefix << ": address family mismatch");
    return;
  }

  auto const& info = prefixSegmentWithAlgo.info();
  Mpls::RouterId const& newOriginator = info.originator();
  bool const qualifies = static_cast<bool>(prefixSegmentWithAlgo) &&
                         (info.flags() & PrefixSegmentInfo::kFlagMapToOriginator) != 0 &&
                         (info.flags() & PrefixSegmentInfo::kFlagDoNotMap) == 0 &&
                         !newOriginator.isZero();
  RouterToNodeSegmentMapPerAlgo& out = *output_;
  auto const& algoMaps = out.routerToNodeSegmentMapCollection();

  // The key is hashed once; the cache member found here serves the removal
  // and the addition (a move overwrites the cached router in place, which
  // is what removing and re-adding the private entry amounts to). Counted
  // references keep what the update works on alive while the output's
  // subscribers run.
  std::uint32_t const hash = prefixToOriginatorCache_.hashOf(prefixAlgoKey);
  Pavo::Ptr<HN_PrefixToOriginatorCache> cached(prefixToOriginatorCache_.find(prefixAlgoKey, hash));
  Mpls::RouterId const oldOriginator = cached ? cached->value() : Mpls::RouterId::zero();
  // The algorithm's map, found once.
  Pavo::Ptr<RouterToNodeSegmentMap> algoMap;
  if (auto const* m = algoMaps.find(static_cast<unsigned char>(algo)))
    algoMap = m->value();

  bool const keep = qualifies && newOriginator == oldOriginator;
  if (!oldOriginator.isZero() && !keep) {
    // The algorithm's map or the router's entry can be missing only after a
    // clean-up on a running mapper; what is missing is skipped.
    if (algoMap) {
      if (auto const* r = algoMap->prefixMapCollection().find(oldOriginator)) {
        Pavo::Ptr<RouterToNodeSegment> const entry = r->value();
        entry->prefixDel(prefix);
        if (entry->prefixCount() == 0)
          algoMap->prefixMapDel(oldOriginator);
      }
      if (algoMap->prefixMapCount() == 0) {
        out.routerToNodeSegmentMapDel(static_cast<unsigned char>(algo));
        algoMap.reset();
      }
    }
    if (!qualifies) {
      prefixToOriginatorCache_.memberDel(prefixAlgoKey, hash);
      return;
    }
  }

  if (!qualifies)
    return;
  if (cached && cached->linked()) {
    cached->valueIs(newOriginator);
  } else {
    // With the hash found above. A subscriber of the output may have added
    // the key meanwhile; then the present member takes the router.
    auto const [member, inserted] = prefixToOriginatorCache_.memberIs(
        Pavo::Ptr<HN_PrefixToOriginatorCache>::adopt(
            new HN_PrefixToOriginatorCache(prefixAlgoKey, newOriginator)),
        hash);
    if (!inserted)
      member->valueIs(newOriginator);
  }
  if (!algoMap)
    algoMap = out.routerToNodeSegmentMapIs(static_cast<unsigned char>(algo));
  Pavo::Ptr<RouterToNodeSegment> entry;
  if (auto const* r = algoMap->prefixMapCollection().find(newOriginator)) {
    entry = r->value();
  } else {
    entry = algoMap->prefixMapIs(newOriginator);
  }
  VEK_TRACE(trace, 9,
            "doUpdateRouterToNodeSegmentMap"
                << ": " << af_ << ", adding prefix in routerToNodeSegmentMap " << prefix
                << ", algo: " << algo);
  entry->prefixIs(prefix, true);
}

// --- the cache ------------------------------------------------------------------

void NodeSegmentReverseMapper::prefixToOriginatorCacheIs(PrefixAlgoKey const& key,
                                                         Mpls::RouterId const& routerId) {
  std::uint32_t const hash = prefixToOriginatorCache_.hashOf(key);
  if (HN_PrefixToOriginatorCache* m = prefixToOriginatorCache_.find(key, hash)) {
    m->valueIs(routerId);
    return;
  }
  prefixToOriginatorCache_.memberIs(
      Pavo::Ptr<HN_PrefixToOriginatorCache>::adopt(new HN_PrefixToOriginatorCache(key, routerId)),
      hash);
}

Mpls::RouterId NodeSegmentReverseMapper::prefixToOriginatorCacheDel(PrefixAlgoKey const& key) {
  Pavo::Ptr<HN_PrefixToOriginatorCache> removed = prefixToOriginatorCache_.memberDel(key);
  return removed ? removed->value() : Mpls::RouterId::zero();
}

Mpls::RouterId NodeSegmentReverseMapper::prefixToOriginatorCache(PrefixAlgoKey const& key) const {
  HN_PrefixToOriginatorCache const* m = prefixToOriginatorCache_.find(key);
  return m != nullptr ? m->value() : Mpls::RouterId::zero();
}

std::optional<Mpls::RouterId> NodeSegmentReverseMapper::prefixToOriginatorCacheGet(
    PrefixAlgoKey const& key) const {
  HN_PrefixToOriginatorCache const* m = prefixToOriginatorCache_.find(key);
  if (m == nullptr)
    return std::nullopt;
  return m->value();
}

}  // namespace SegmentRouting::Mappers
