// The NodeSegmentReverseMapper module's type registration: each of its four
// types declares its attributes, operations and constructor here, once; the
// generic interface, the text forms and the inspector are derived from it.
// Type indexes follow the order below (0 to 3).
#include "Membly/Membly.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "VekPavo/InspectDsl.h"
#include "VekPavo/InspectModule.h"

namespace SegmentRouting::Mappers {

namespace {

Membly::ModuleInit const memblyInit;

Pavo::ModuleInspectData& inspectModule() {
  static Pavo::ModuleInspectData module("Pathkit/NodeSegmentReverseMapper");
  return module;
}

// A router entry outside any map, for the generic construct entry point.
Pavo::Ptr<RouterToNodeSegment> routerToNodeSegmentFactory(Mpls::RouterId routerId) {
  return Pavo::Ptr<RouterToNodeSegment>::adopt(new RouterToNodeSegment(routerId));
}

[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = inspectModule();
  Pavo::Inspect::EntityType<RouterToNodeSegment>(m, "SegmentRouting::Mappers::RouterToNodeSegment")
      .value("routerId", &RouterToNodeSegment::routerId)
      .orderedCollection("prefix", &RouterToNodeSegment::prefixCollection,
                         &RouterToNodeSegment::prefixIs, &RouterToNodeSegment::prefixDel)
      .constructor(&routerToNodeSegmentFactory, "routerId");
  Pavo::Inspect::EntityType<RouterToNodeSegmentMap>(
      m, "SegmentRouting::Mappers::RouterToNodeSegmentMap")
      .value("algo", &RouterToNodeSegmentMap::algo)
      .hashCollection("prefixMap", &RouterToNodeSegmentMap::prefixMapCollection,
                      &RouterToNodeSegmentMap::prefixMapIs, &RouterToNodeSegmentMap::prefixMapDel)
      .constructor(&routerToNodeSegmentMapFactory, "algo");
  Pavo::Inspect::EntityType<RouterToNodeSegmentMapPerAlgo>(
      m, "SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo")
      .hashCollection("routerToNodeSegmentMap",
                      &RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapCollection,
                      &RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapIs,
                      &RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMapDel)
      .constructor(&routerToNodeSegmentMapPerAlgoFactory);
  using Mapper = NodeSegmentReverseMapper;
  Pavo::Inspect::EntityType<Mapper>(m, "SegmentRouting::Mappers::NodeSegmentReverseMapper")
      .value("af", &Mapper::af)
      .value("srStatus", &Mapper::srStatus)
      .value("routerToNodeSegmentMapPerAlgo", &Mapper::routerToNodeSegmentMapPerAlgo)
      .hashCollection("prefixToOriginatorCache", &Mapper::prefixToOriginatorCacheCollection,
                      &Mapper::prefixToOriginatorCacheIs, &Mapper::prefixToOriginatorCacheDel)
      .operation("doUpdateRouterToNodeSegmentMap", &Mapper::doUpdateRouterToNodeSegmentMap,
                 "prefixAlgoKey", "prefixSegmentWithAlgo")
      .operation("handlePrefixSegment", &Mapper::handlePrefixSegment, "prefix")
      .operation("handlePrefixSegmentWithAlgo", &Mapper::handlePrefixSegmentWithAlgo,
                 "prefixAlgoKey")
      .operation("handleInitialized", &Mapper::handleInitialized)
      .operation("doCleanup", &Mapper::doCleanup)
      .constructor(&nodeSegmentReverseMapperFactory, "af", "srStatus",
                   "routerToNodeSegmentMapPerAlgo");
  m.loaded();
  return true;
}();

}  // namespace

}  // namespace SegmentRouting::Mappers
