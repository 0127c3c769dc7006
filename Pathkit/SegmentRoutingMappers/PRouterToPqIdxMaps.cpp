// The P-router map entities: creation, type data and destruction.
#include "Pathkit/SegmentRoutingMappers/PRouterToPqIdxMap.h"
#include "Pavo/TypeData.h"

namespace SegmentRouting::Mappers {

PRouterToPqIdx::~PRouterToPqIdx() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::TypeData PRouterToPqIdx::typeData() const {
  return Pavo::Inspect::typeDataOf<PRouterToPqIdx>();
}

PRouterToPqIdxMap::~PRouterToPqIdxMap() {
  nodeFlagSet(kNotificationActive, false);
  pqIndexMapDelAll();
}

Pavo::Ptr<PRouterToPqIdxMap> PRouterToPqIdxMap::PRouterToPqIdxMapIs() {
  return Pavo::makePtr<PRouterToPqIdxMap>();
}

Pavo::Ptr<PRouterToPqIdxMap> pRouterToPqIdxMapFactory() {
  return PRouterToPqIdxMap::PRouterToPqIdxMapIs();
}

Pavo::TypeData PRouterToPqIdxMap::typeData() const {
  return Pavo::Inspect::typeDataOf<PRouterToPqIdxMap>();
}

}  // namespace SegmentRouting::Mappers
