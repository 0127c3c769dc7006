// The adjacency and PQ-index module in one include: adjacency segment values,
// the per-protocol-instance tables, the connector map and the mapper that
// fills it, the LFA PQ-index maps, and the typed subscription helpers.
#pragma once

#include "Pathkit/ChildSubscription.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pathkit/Subscription.h"
