// The SegmentRoutingMappers module: the adjacency-segment side (entry values,
// per-protocol-instance tables, the connector map and its mapper) and the LFA
// PQ-index maps. Its sources are split by class family inside this folder;
// the module keeps one type registration (Registration.cpp, which declares
// every type at its fixed index) and one trace handle shared by its files.
#pragma once

#include "Vek/Trace.h"
#include "VekPavo/InspectModule.h"

namespace SegmentRouting::Mappers {

// The module's registration record, "Pathkit/SegmentRoutingMappers". Made on
// first use; its types are declared by the module's static initialiser.
Pavo::ModuleInspectData& segmentRoutingMappersModule();

// The module's trace handle, facility "SegmentRoutingMappers", made on first use.
Vek::TraceHandle& segmentRoutingMappersTrace();

}  // namespace SegmentRouting::Mappers
