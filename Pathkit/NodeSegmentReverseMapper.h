// The node-segment module in one include: the per-algorithm router-to-prefix
// maps, the reverse mapper that fills them from the status table, and the
// typed subscription helpers for watching them (ChildSubscription: a map
// that may not exist yet).
#pragma once

#include "Pathkit/ChildSubscription.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegment.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMap.h"
#include "Pathkit/NodeSegmentReverseMapper/RouterToNodeSegmentMapPerAlgo.h"
#include "Pathkit/Subscription.h"
