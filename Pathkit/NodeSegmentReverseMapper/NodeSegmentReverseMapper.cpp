// The node-segment reverse mapper: subscription, dispatch, the two handlers,
// the start-up build, the clean-up and the update with its cache.
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"

#include "Duolog/Duolog.h"
#include "Pavo/Exception.h"
#include "Pavo/InspectTypes.h"
#include "Vek/Trace.h"

namespace SegmentRouting::Mappers {

VEK_TRACE_HANDLE_DEFINE(traceHandle, "SegmentRoutingMappers", false)

namespace {

using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Mpls::SegmentRouting::PrefixAlgoKey;

// Walks one status-table collection from its first key, calling `handle` for
// every key. Corruption reported by a step ends the walk of that collection.
template <class Collection, class Handle>
void walk(Collection const& collection, Handle handle) {
  using Key = typename Collection::Key;
  Kroma::IterHint hint;
  Key key{};
  bool more;
  try {
    more = collection.firstKey(hint, key);
  } catch (Pavo::CorruptionDetectedException const& e) {
    collection.doCorruptionDetected(e.msg());
    return;
  }
  while (more) {
    handle(key);
    try {
      Key const after = key;
      more = collection.nextKey(hint, after, key);
    } catch (Pavo::CorruptionDetectedException const& e) {
      collection.doCorruptionDetected(e.msg());
      return;
    }
  }
}

// Point look-up; corruption is reported and the entry counts as absent.
template <class Collection, class Key>
auto const& lookUp(Collection const& collection, Key const& key) {
  try {
    return collection.lookup(key);
  } catch (Pavo::CorruptionDetectedException const& e) {
    collection.doCorruptionDetected(e.msg());
    return collection.defaultEntry();
  }
}

}  // namespace

NodeSegmentReverseMapper::NodeSegmentReverseMapper(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo)
    : af_(af), srStatus_(srStatus), routerToNodeSegmentMapPerAlgo_(routerToNodeSegmentMapPerAlgo) {
  // Both are read from the first moment on; refusing them here keeps a
  // caller's mistake from becoming a null dereference in the build.
  if (!srStatus_) {
    throw Pavo::NullPointerException("NodeSegmentReverseMapper needs a status table (srStatus)");
  }
  if (!routerToNodeSegmentMapPerAlgo_) {
    throw Pavo::NullPointerException(
        "NodeSegmentReverseMapper needs an output map (routerToNodeSegmentMapPerAlgo)");
  }
  subscribe();
  try {
    handleInitialized();
  } catch (...) {
    if (subscribed())
      unsubscribe();
    throw;
  }
}

NodeSegmentReverseMapper::~NodeSegmentReverseMapper() {
  hasNotificationActiveIs(false);
  doCleanup();
  vekDoZombieReactors(true);
  if (subscribed())
    unsubscribe();
  prefixToOriginatorCache_.deleteAll();
  routerToNodeSegmentMapPerAlgo_.reset();
  srStatus_.reset();
}

Pavo::Ptr<NodeSegmentReverseMapper> NodeSegmentReverseMapper::NodeSegmentReverseMapperIs(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo) {
  auto mapper = Pavo::Ptr<NodeSegmentReverseMapper>::adopt(
      new NodeSegmentReverseMapper(af, srStatus, routerToNodeSegmentMapPerAlgo));
  mapper->hasNotificationActiveIs(true);
  return mapper;
}

Pavo::Ptr<NodeSegmentReverseMapper> nodeSegmentReverseMapperFactory(
    Vantre::AddressFamily af, Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus,
    Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> const& routerToNodeSegmentMapPerAlgo) {
  return NodeSegmentReverseMapper::NodeSegmentReverseMapperIs(af, srStatus,
                                                              routerToNodeSegmentMapPerAlgo);
}

Pavo::TypeData NodeSegmentReverseMapper::typeData() const {
  return Pavo::Inspect::typeDataOf<NodeSegmentReverseMapper>();
}

// --- subscription ------------------------------------------------------------

void NodeSegmentReverseMapper::subscribe() {
  subscriber_.record.dispatch = &NodeSegmentReverseMapper::srStatusDispatch;
  srStatus_->publisher()->subscriberAdd(&subscriber_.record, false);
}

void NodeSegmentReverseMapper::unsubscribe() {
  srStatus_->publisher()->subscriberRemove(&subscriber_.record);
  subscriber_.record.dispatch = nullptr;
}

void NodeSegmentReverseMapper::hasNotificationActiveIs(bool active) {
  if (nodeFlag(kNotificationActive) == active)
    return;
  nodeFlagSet(kNotificationActive, active);
  bool const zombie = nodeFlag(kZombie);
  nodeFlagSet(kZombie, true);
  if (srStatus_) {
    if (active && !subscribed()) {
      subscribe();
    } else if (!active && subscribed()) {
      unsubscribe();
    }
  }
  nodeFlagSet(kZombie, zombie);
}

void NodeSegmentReverseMapper::vekDoZombieReactors(bool zombie) {
  if (nodeFlag(kZombie) != zombie)
    nodeFlagSet(kZombie, zombie);
}

void NodeSegmentReverseMapper::srStatusDispatch(Pavo::Publisher*, Pavo::Subscriber* subscriber,
                                                Pavo::FieldId fieldId, void const* key,
                                                void const*) {
  NodeSegmentReverseMapper* self = reinterpret_cast<StatusSubscriber*>(subscriber)->mapper;
  if (self->nodeFlag(kZombie))
    return;
  switch (static_cast<std::uint16_t>(fieldId & 0xFFFFu)) {
    case kPrefixSegmentField:
      self->handlePrefixSegment(*static_cast<Vantre::IpGenPrefix const*>(key));
      break;
    case kPrefixSegmentWithAlgoField:
      self->handlePrefixSegmentWithAlgo(*static_cast<PrefixAlgoKey const*>(key));
      break;
    default:
      break;
  }
}

// --- handlers ----------------------------------------------------------------

void NodeSegmentReverseMapper::handlePrefixSegment(Vantre::IpGenPrefix const& prefix) {
  auto const& entry = lookUp(srStatus_->prefixSegment(), prefix);
  PrefixAlgoKey const key(prefix, 0);
  // Copies the info's records by their count; over 100 raises the range error.
  PrefixSegmentWithAlgo const segment(key, entry.info());
  doUpdateRouterToNodeSegmentMap(key, segment);
}

void NodeSegmentReverseMapper::handlePrefixSegmentWithAlgo(PrefixAlgoKey const& prefixAlgoKey) {
  PrefixSegmentWithAlgo const segment = lookUp(srStatus_->prefixSegmentWithAlgo(), prefixAlgoKey);
  doUpdateRouterToNodeSegmentMap(prefixAlgoKey, segment);
}

void NodeSegmentReverseMapper::handleInitialized() {
  Nimblog::BlockTimer const timer = Duolog::entry(
      traceHandle(), 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()() %s",
      af_.toString());
  doCleanup();
  VEK_TRACE(traceHandle(), 9,
            "handleInitialized"
                << ": " << af_
                << ": Iterating over prefix segments to build the prefix to originator map");
  walk(srStatus_->prefixSegment(),
       [this](Vantre::IpGenPrefix const& k) { handlePrefixSegment(k); });
  walk(srStatus_->prefixSegmentWithAlgo(),
       [this](PrefixAlgoKey const& k) { handlePrefixSegmentWithAlgo(k); });
}

void NodeSegmentReverseMapper::doCleanup() {
  VEK_TRACE(traceHandle(), 9,
            "doCleanup"
                << ": " << af_ << "Cleaning up the routerToNodeSegment map");
  routerToNodeSegmentMapPerAlgo_->routerToNodeSegmentMapDelAll();
}

// --- the update ----------------------------------------------------------------

void NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap(
    PrefixAlgoKey const& prefixAlgoKey, PrefixSegmentWithAlgo const& prefixSegmentWithAlgo) {
  Nimblog::BlockTimer const timer = Duolog::entry(
      traceHandle(), 8, __FILE__, __LINE__, __func__,
      "void SegmentRouting::Mappers::NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap("
      "const Mpls::SegmentRouting::PrefixAlgoKey&, const "
      "Kroma::SegmentRouting::PrefixSegmentWithAlgo&)() %s",
      af_.toString());
  Vantre::IpGenPrefix const& prefix = prefixAlgoKey.prefix();
  unsigned const algo = prefixAlgoKey.algo();
  VEK_TRACE(traceHandle(), 9,
            "doUpdateRouterToNodeSegmentMap"
                << ": "
                << "prefix : " << prefix << ", algo : " << algo);
  if (prefix.af() != af_) {
    VEK_TRACE(traceHandle(), 9,
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
  RouterToNodeSegmentMapPerAlgo& out = *routerToNodeSegmentMapPerAlgo_;

  Mpls::RouterId const oldOriginator = prefixToOriginatorCache(prefixAlgoKey);
  bool const keep = qualifies && newOriginator == oldOriginator;
  if (!oldOriginator.isZero() && !keep) {
    // The algorithm's map or the router's entry can be missing only after a
    // clean-up on a running mapper; what is missing is skipped.
    if (Pavo::Ptr<RouterToNodeSegmentMap> algoMap = out.routerToNodeSegmentMap(algo)) {
      if (Pavo::Ptr<RouterToNodeSegment> entry = algoMap->prefixMap(oldOriginator)) {
        entry->prefixDel(prefix);
        if (entry->prefixCount() == 0)
          algoMap->prefixMapDel(oldOriginator);
      }
      if (algoMap->prefixMapCount() == 0)
        out.routerToNodeSegmentMapDel(algo);
    }
    prefixToOriginatorCacheDel(prefixAlgoKey);
  }

  if (!qualifies)
    return;
  prefixToOriginatorCacheIs(prefixAlgoKey, newOriginator);
  Pavo::Ptr<RouterToNodeSegmentMap> algoMap = out.routerToNodeSegmentMap(algo);
  if (!algoMap)
    algoMap = out.routerToNodeSegmentMapIs(algo);
  Pavo::Ptr<RouterToNodeSegment> entry = algoMap->prefixMap(newOriginator);
  if (!entry)
    entry = algoMap->prefixMapIs(newOriginator);
  VEK_TRACE(traceHandle(), 9,
            "doUpdateRouterToNodeSegmentMap"
                << ": " << af_ << ", adding prefix in routerToNodeSegmentMap " << prefix
                << ", algo: " << algo);
  entry->prefixIs(prefix, true);
}

// --- the cache ------------------------------------------------------------------

void NodeSegmentReverseMapper::prefixToOriginatorCacheIs(PrefixAlgoKey const& key,
                                                         Mpls::RouterId const& routerId) {
  std::uint32_t const hash = prefixToOriginatorCache_.hashOf(key);
  if (HN_PrefixToOriginatorCache* m = prefixToOriginatorCache_.member(key, hash)) {
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
  HN_PrefixToOriginatorCache const* m = prefixToOriginatorCache_.member(key);
  return m != nullptr ? m->value() : Mpls::RouterId::zero();
}

std::optional<Mpls::RouterId> NodeSegmentReverseMapper::prefixToOriginatorCacheGet(
    PrefixAlgoKey const& key) const {
  HN_PrefixToOriginatorCache const* m = prefixToOriginatorCache_.member(key);
  if (m == nullptr)
    return std::nullopt;
  return m->value();
}

}  // namespace SegmentRouting::Mappers
