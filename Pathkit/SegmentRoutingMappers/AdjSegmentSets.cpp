#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"

#include "VekPavo/Strep.h"

namespace SegmentRouting::Mappers {

NeighborSet::NeighborSet(Vek::CharRange&) {
  VekPavo::Impl::throwNoStringConstructor("NeighborSet");
}

AdjSegmentSet::AdjSegmentSet(Vek::CharRange&) {
  VekPavo::Impl::throwNoStringConstructor("AdjSegmentSet");
}

}  // namespace SegmentRouting::Mappers
