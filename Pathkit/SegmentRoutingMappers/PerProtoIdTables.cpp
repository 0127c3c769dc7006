// The per-protocol-instance tables' factories (their operations are the
// table family's own, in the header).
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"

namespace SegmentRouting::Mappers {

Pavo::Ptr<AdjSegmentListPerProtoId> adjSegmentListPerProtoIdFactory(unsigned short protoId) {
  return Pavo::makePtr<AdjSegmentListPerProtoId>(protoId);
}

Pavo::Ptr<NeighborSetPerProtoId> neighborSetPerProtoIdFactory(unsigned short protoId) {
  return Pavo::makePtr<NeighborSetPerProtoId>(protoId);
}

Pavo::Ptr<AdjSegmentSetPerProtoId> adjSegmentSetPerProtoIdFactory(unsigned short protoId) {
  return Pavo::makePtr<AdjSegmentSetPerProtoId>(protoId);
}

}  // namespace SegmentRouting::Mappers
