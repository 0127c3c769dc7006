// The PQ-index map entities: creation, type data and what destruction
// publishes (their mutators are the attribute collections' own).
#include "Pathkit/SegmentRoutingMappers/PqIdxToPathKeyMap.h"
#include "Pavo/TypeData.h"

namespace SegmentRouting::Mappers {

AlgoToPathKeySet::~AlgoToPathKeySet() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::TypeData AlgoToPathKeySet::typeData() const {
  return Pavo::Inspect::typeDataOf<AlgoToPathKeySet>();
}

PqIdxToPathKey::~PqIdxToPathKey() {
  nodeFlagSet(kNotificationActive, false);
  algoSetDelAll();
}

Pavo::TypeData PqIdxToPathKey::typeData() const {
  return Pavo::Inspect::typeDataOf<PqIdxToPathKey>();
}

PqIdxToPathKeyMap::~PqIdxToPathKeyMap() {
  nodeFlagSet(kNotificationActive, false);
  pathKeyMapDelAll();
}

Pavo::Ptr<PqIdxToPathKeyMap> PqIdxToPathKeyMap::PqIdxToPathKeyMapIs() {
  return Pavo::makePtr<PqIdxToPathKeyMap>();
}

Pavo::Ptr<PqIdxToPathKeyMap> pqIdxToPathKeyMapFactory() {
  return PqIdxToPathKeyMap::PqIdxToPathKeyMapIs();
}

Pavo::TypeData PqIdxToPathKeyMap::typeData() const {
  return Pavo::Inspect::typeDataOf<PqIdxToPathKeyMap>();
}

}  // namespace SegmentRouting::Mappers
