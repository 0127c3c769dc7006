#include "Pathkit/NodeSegmentReverseMapper/Module.h"

namespace SegmentRouting::Mappers {

Pavo::ModuleInspectData const& nodeSegmentModule() {
  return *static_cast<Pavo::ModuleInspectData const*>(nullptr);
}

}  // namespace SegmentRouting::Mappers
