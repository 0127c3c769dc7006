// The SegmentRoutingMappers module's type registration: each type declares its
// attributes, operations and constructor here, once, at its fixed type index;
// the generic interface, the text forms and the inspector are derived from it.
#include "Membly/Membly.h"
#include "Pathkit/SegmentRoutingMappers/Module.h"
#include "Pavo/InspectDsl.h"

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

[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = segmentRoutingMappersModule();
  m.loaded();
  return true;
}();

}  // namespace

}  // namespace SegmentRouting::Mappers
