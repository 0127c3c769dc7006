// The connector map: creation, type data and destruction (its mutators are
// the attribute collections' own).
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"

#include "Pavo/TypeData.h"

namespace SegmentRouting::Mappers {

AdjSegmentConnectorMapV2::~AdjSegmentConnectorMapV2() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::TypeData AdjSegmentConnectorMapV2::typeData() const {
  return Pavo::Inspect::typeDataOf<AdjSegmentConnectorMapV2>();
}

Pavo::Ptr<AdjSegmentConnectorMapV2> adjSegmentConnectorMapV2Factory() {
  return Pavo::makePtr<AdjSegmentConnectorMapV2>();
}

}  // namespace SegmentRouting::Mappers
