// The SegmentRoutingMappers module's type registration: each type declares its
// attributes, operations and constructor here, once, at its fixed type index;
// the generic interface, the text forms and the inspector are derived from it.
#include "Membly/Membly.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "Pathkit/SegmentRoutingMappers/Module.h"
#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "VekPavo/InspectDsl.h"

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
Vek::TraceFacilityDeclared const traceFacility("SegmentRoutingMappers");

[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = segmentRoutingMappersModule();
  {
    // The adjacency values: the entry (0) and the three collection values
    // (1, 3, 5), each with its one collection attribute and no hash.
    using Mpls::SegmentRouting::SegmentIdentifier;
    Pavo::Inspect::ValueType<AdjSegmentEntry>(m, AdjSegmentEntry::kTypeName, 0)
        .value("isLocal", &AdjSegmentEntry::isLocal)
        .value("metric", &AdjSegmentEntry::metric)
        .value("sid", &AdjSegmentEntry::sid)
        .constructor<bool, unsigned, SegmentIdentifier>("isLocal", "metric", "sid");
    Pavo::Inspect::ValueType<AdjSegmentList>(m, "SegmentRouting::Mappers::AdjSegmentList", 1)
        .orderedCollection("adjSegmentEntry", &AdjSegmentList::adjSegmentEntryCollection,
                           &AdjSegmentList::adjSegmentEntryIs, &AdjSegmentList::adjSegmentEntryDel)
        .nonHashable();
    // The generic set hashes the link (the set also takes a known hash).
    auto const linkIs =
        static_cast<void (NeighborSet::*)(Cspf::LinkKey const&)&>(&NeighborSet::linkIs);
    Pavo::Inspect::ValueType<NeighborSet>(m, "SegmentRouting::Mappers::NeighborSet", 3)
        .hashCollection("link", &NeighborSet::linkCollection, linkIs, &NeighborSet::linkDel)
        .nonHashable();
    Pavo::Inspect::ValueType<AdjSegmentSet>(m, "SegmentRouting::Mappers::AdjSegmentSet", 5)
        .hashCollection("adjSegmentEntry", &AdjSegmentSet::adjSegmentEntryCollection,
                        &AdjSegmentSet::adjSegmentEntryIs, &AdjSegmentSet::adjSegmentEntryDel)
        .nonHashable();
  }

  // The per-protocol-instance tables (2, 4, 6), constructed from their
  // protoId, and the connector map (7), whose generic set stores the given
  // child under the child's own protoId.
  using ListTable = AdjSegmentListPerProtoId;
  using NeighborTable = NeighborSetPerProtoId;
  using SetTable = AdjSegmentSetPerProtoId;
  using Connector = AdjSegmentConnectorMapV2;
  // The generic set goes through the copying `...Is` (the tables also take
  // values over by rvalue).
  using LinkKey = Cspf::LinkKey;
  using SegmentKey = Kroma::SegmentRouting::AdjacencySegmentKey;
  auto const listIs = static_cast<void (ListTable::*)(LinkKey const&, AdjSegmentList const&)>(
      &ListTable::adjSegmentListIs);
  auto const neighborSetIs =
      static_cast<void (NeighborTable::*)(SegmentKey const&, NeighborSet const&)>(
          &NeighborTable::neighborSetIs);
  auto const adjSegmentSetIs =
      static_cast<void (SetTable::*)(SegmentKey const&, AdjSegmentSet const&)>(
          &SetTable::adjSegmentSetIs);
  Pavo::Inspect::EntityType<ListTable>(m, "SegmentRouting::Mappers::AdjSegmentListPerProtoId", 2)
      .value("protoId", &ListTable::protoId)
      .hashCollection("adjSegmentList", &ListTable::adjSegmentListCollection, listIs,
                      &ListTable::adjSegmentListDel)
      .constructor(&adjSegmentListPerProtoIdFactory, "protoId");
  Pavo::Inspect::EntityType<NeighborTable>(m, "SegmentRouting::Mappers::NeighborSetPerProtoId", 4)
      .value("protoId", &NeighborTable::protoId)
      .hashCollection("neighborSet", &NeighborTable::neighborSetCollection, neighborSetIs,
                      &NeighborTable::neighborSetDel)
      .constructor(&neighborSetPerProtoIdFactory, "protoId");
  Pavo::Inspect::EntityType<SetTable>(m, "SegmentRouting::Mappers::AdjSegmentSetPerProtoId", 6)
      .value("protoId", &SetTable::protoId)
      .hashCollection("adjSegmentSet", &SetTable::adjSegmentSetCollection, adjSegmentSetIs,
                      &SetTable::adjSegmentSetDel)
      .constructor(&adjSegmentSetPerProtoIdFactory, "protoId");
  Pavo::Inspect::EntityType<Connector>(m, Connector::kTypeName, 7)
      .hashCollection("map", &Connector::mapCollection, &Connector::mapIs, &Connector::mapDel)
      .hashCollection("cache", &Connector::cacheCollection, &Connector::cacheIs,
                      &Connector::cacheDel)
      .constructor(&adjSegmentConnectorMapV2Factory);

  {
    // The adjacency segment mapper (8): its table, cache and operations.
    using Mapper = AdjacencySegmentMapperV2;
    // The operation, not its private overload that takes the key's hashes.
    auto const manage = static_cast<void (Mapper::*)(
        SegmentKey const&, Kroma::SegmentRouting::AdjacencySegment const&, unsigned short)>(
        &Mapper::manageAdjSegment);
    Pavo::Inspect::EntityType<Mapper>(m, "SegmentRouting::Mappers::AdjacencySegmentMapperV2", 8)
        .value("af", &Mapper::af)
        .value("srStatus", &Mapper::srStatus)
        .value("connectorMap", &Mapper::connectorMap)
        .hashCollection("adjSegmentEntryCache", &Mapper::adjSegmentEntryCacheCollection,
                        &Mapper::adjSegmentEntryCacheIs, &Mapper::adjSegmentEntryCacheDel)
        .operation("manageAdjSegment", manage, "key", "segment", "protoId")
        .operation("handleV4AdjSegment", &Mapper::handleV4AdjSegment, "key")
        .operation("handleV6AdjSegment", &Mapper::handleV6AdjSegment, "key")
        .operation("handleInitialized", &Mapper::handleInitialized)
        .operation("doCleanup", &Mapper::doCleanup)
        .constructor(&adjacencySegmentMapperV2Factory, "af", "srStatus", "connectorMap");
  }

  // LFA PQ-index maps (9 to 13). Only the roots have a generic constructor:
  // a child is made by its parent, under its own key.
  Pavo::Inspect::EntityType<AlgoToPathKeySet>(m, "SegmentRouting::Mappers::AlgoToPathKeySet", 9)
      .value("algo", &AlgoToPathKeySet::algo)
      .hashCollection("pathKey", &AlgoToPathKeySet::pathKeyCollection, &AlgoToPathKeySet::pathKeyIs,
                      &AlgoToPathKeySet::pathKeyDel)
      .hashCollection("prefixKey", &AlgoToPathKeySet::prefixKeyCollection,
                      &AlgoToPathKeySet::prefixKeyIs, &AlgoToPathKeySet::prefixKeyDel);
  Pavo::Inspect::EntityType<PqIdxToPathKey>(m, "SegmentRouting::Mappers::PqIdxToPathKey", 10)
      .value("pqIdx", &PqIdxToPathKey::pqIdx)
      .hashCollection("pathKey", &PqIdxToPathKey::pathKeyCollection, &PqIdxToPathKey::pathKeyIs,
                      &PqIdxToPathKey::pathKeyDel)
      .hashCollection("algoSet", &PqIdxToPathKey::algoSetCollection, &PqIdxToPathKey::algoSetIs,
                      &PqIdxToPathKey::algoSetDel);
  Pavo::Inspect::EntityType<PqIdxToPathKeyMap>(m, "SegmentRouting::Mappers::PqIdxToPathKeyMap", 11)
      .hashCollection("pathKeyMap", &PqIdxToPathKeyMap::pathKeyMapCollection,
                      &PqIdxToPathKeyMap::pathKeyMapIs, &PqIdxToPathKeyMap::pathKeyMapDel)
      .constructor(&pqIdxToPathKeyMapFactory);
  Pavo::Inspect::EntityType<PRouterToPqIdx>(m, "SegmentRouting::Mappers::PRouterToPqIdx", 12)
      .value("router", &PRouterToPqIdx::router)
      .hashCollection("pqIndex", &PRouterToPqIdx::pqIndexCollection, &PRouterToPqIdx::pqIndexIs,
                      &PRouterToPqIdx::pqIndexDel);
  Pavo::Inspect::EntityType<PRouterToPqIdxMap>(m, "SegmentRouting::Mappers::PRouterToPqIdxMap", 13)
      .hashCollection("pqIndexMap", &PRouterToPqIdxMap::pqIndexMapCollection,
                      &PRouterToPqIdxMap::pqIndexMapIs, &PRouterToPqIdxMap::pqIndexMapDel)
      .constructor(&pRouterToPqIdxMapFactory);

  m.loaded();
  return true;
}();

}  // namespace

}  // namespace SegmentRouting::Mappers
