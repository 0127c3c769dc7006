// The SegmentRoutingMappers module's type registration: each type declares its
// attributes, operations and constructor here, once, at its fixed type index;
// the generic interface, the text forms and the inspector are derived from it.
#include "Membly/Membly.h"
#include "Pathkit/SegmentRoutingMappers/Module.h"
#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/InspectDsl.h"

namespace SegmentRouting::Mappers {

Pavo::ModuleInspectData& segmentRoutingMappersModule() {
  static Pavo::ModuleInspectData module("Pathkit/SegmentRoutingMappers");
  return module;
}

Vek::TraceHandle& segmentRoutingMappersTrace() {
  static Vek::TraceHandle handle("SegmentRoutingMappers", false);
  return handle;
}

namespace {

Membly::ModuleInit const memblyInit;

[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = segmentRoutingMappersModule();

  // LFA PQ-index maps (9 to 13). The children can be constructed on their
  // own, outside any parent, for the generic construct entry point.
  Pavo::Inspect::EntityType<AlgoToPathKeySet>(m, "SegmentRouting::Mappers::AlgoToPathKeySet", 9)
      .value("algo", &AlgoToPathKeySet::algo)
      .hashCollection("pathKey", &AlgoToPathKeySet::pathKeyCollection, &AlgoToPathKeySet::pathKeyIs,
                      &AlgoToPathKeySet::pathKeyDel)
      .hashCollection("prefixKey", &AlgoToPathKeySet::prefixKeyCollection,
                      &AlgoToPathKeySet::prefixKeyIs, &AlgoToPathKeySet::prefixKeyDel)
      .constructor(
          +[](unsigned char algo) { return Pavo::makePtr<AlgoToPathKeySet>(algo); }, "algo");
  Pavo::Inspect::EntityType<PqIdxToPathKey>(m, "SegmentRouting::Mappers::PqIdxToPathKey", 10)
      .value("pqIdx", &PqIdxToPathKey::pqIdx)
      .hashCollection("pathKey", &PqIdxToPathKey::pathKeyCollection, &PqIdxToPathKey::pathKeyIs,
                      &PqIdxToPathKey::pathKeyDel)
      .hashCollection("algoSet", &PqIdxToPathKey::algoSetCollection, &PqIdxToPathKey::algoSetIs,
                      &PqIdxToPathKey::algoSetDel)
      .constructor(
          +[](Cspf::Lfa::PqIdx pqIdx) { return Pavo::makePtr<PqIdxToPathKey>(pqIdx); }, "pqIdx");
  Pavo::Inspect::EntityType<PqIdxToPathKeyMap>(m, "SegmentRouting::Mappers::PqIdxToPathKeyMap", 11)
      .hashCollection("pathKeyMap", &PqIdxToPathKeyMap::pathKeyMapCollection,
                      &PqIdxToPathKeyMap::pathKeyMapIs, &PqIdxToPathKeyMap::pathKeyMapDel)
      .constructor(&pqIdxToPathKeyMapFactory);
  Pavo::Inspect::EntityType<PRouterToPqIdx>(m, "SegmentRouting::Mappers::PRouterToPqIdx", 12)
      .value("router", &PRouterToPqIdx::router)
      .hashCollection("pqIndex", &PRouterToPqIdx::pqIndexCollection, &PRouterToPqIdx::pqIndexIs,
                      &PRouterToPqIdx::pqIndexDel)
      .constructor(
          +[](Mpls::RouterId router) { return Pavo::makePtr<PRouterToPqIdx>(router); }, "router");
  Pavo::Inspect::EntityType<PRouterToPqIdxMap>(m, "SegmentRouting::Mappers::PRouterToPqIdxMap", 13)
      .hashCollection("pqIndexMap", &PRouterToPqIdxMap::pqIndexMapCollection,
                      &PRouterToPqIdxMap::pqIndexMapIs, &PRouterToPqIdxMap::pqIndexMapDel)
      .constructor(&pRouterToPqIdxMapFactory);

  m.loaded();
  return true;
}();

}  // namespace

}  // namespace SegmentRouting::Mappers
