#include "VekPavo/OutsideTypes.h"

#include <cstdint>
#include <new>
#include <string>

#include "Cspf/IgpRouterId.h"
#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Cspf/VertexIdentifier.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "Routing/Isis/SystemId.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/CharRange.h"
#include "VekPavo/InspectDsl.h"

namespace VekPavo {

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;

Pavo::ModuleInspectData& module() {
  static Pavo::ModuleInspectData m("VekPavo/OutsideTypes");
  return m;
}

template <class T>
void writeOwn(void const* value, std::string& out) {
  out += static_cast<T const*>(value)->toString();
}

// Reads with the type's own parser, over the value's stretch of the text.
template <class T>
void readOwn(Vek::CharRange& range, void* at) {
  new (at) T(Vek::readValue(range, Pavo::Inspect::TypeSlot<T>::info->name().c_str(), &T::read));
}

// An outside value type: written with its toString(), read with its read().
template <class T>
void outsideValue(char const* name) {
  Pavo::Inspect::ValueType<T>(module(), name).text(&writeOwn<T>, &readOwn<T>);
}

template <class E>
E makePrefixSegment(typename E::Key key, Mpls::RouterId originator, std::uint8_t flags) {
  return E(key, Kroma::SegmentRouting::PrefixSegmentInfo(originator, flags));
}

template <class E>
void prefixSegmentEntry(char const* name) {
  Pavo::Inspect::ValueType<E>(module(), name)
      .value("key", &E::key)
      .value("originator", [](E const& e) { return e.info().originator(); })
      .value("flags", [](E const& e) { return e.info().flags(); })
      .constructor(&makePrefixSegment<E>, "key", "originator", "flags");
}

[[maybe_unused]] bool const registered = [] {
  using namespace Mpls::SegmentRouting;
  outsideValue<Vantre::AddressFamily>("Vantre::AddressFamily");
  outsideValue<Vantre::IpGenPrefix>("Vantre::IpGenPrefix");
  outsideValue<Routing::Isis::SystemId>("Routing::Isis::SystemId");
  outsideValue<Mpls::RouterId>("Mpls::RouterId");
  outsideValue<PrefixAlgoKey>("Mpls::SegmentRouting::PrefixAlgoKey");
  outsideValue<SegmentIdentifier>("Mpls::SegmentRouting::SegmentIdentifier");
  outsideValue<Cspf::VertexIdentifierBase>("Cspf::VertexIdentifierBase");
  outsideValue<Cspf::IgpRouterId>("Cspf::IgpRouterId");
  outsideValue<Cspf::LinkKey>("Cspf::LinkKey");
  outsideValue<Cspf::PathKey>("Cspf::PathKey");
  outsideValue<Cspf::Lfa::PqIdx>("Cspf::Lfa::PqIdx");
  outsideValue<Kroma::SegmentRouting::AdjacencySegmentKey>(
      "Kroma::SegmentRouting::AdjacencySegmentKey");
  prefixSegmentEntry<PrefixSegment>("Kroma::SegmentRouting::PrefixSegment");
  prefixSegmentEntry<PrefixSegmentWithAlgo>("Kroma::SegmentRouting::PrefixSegmentWithAlgo");
  Pavo::Inspect::EntityType<Status>(module(), "Kroma::SegmentRouting::Status")
      .value("prefixSegmentCount", [](Status const& s) { return s.prefixSegment().size(); })
      .value("prefixSegmentWithAlgoCount",
             [](Status const& s) { return s.prefixSegmentWithAlgo().size(); })
      .value("ipv4AdjacencySegmentCount",
             [](Status const& s) { return s.ipv4AdjacencySegment().size(); })
      .value("ipv6AdjacencySegmentCount",
             [](Status const& s) { return s.ipv6AdjacencySegment().size(); });
  outsideValue<Kroma::SegmentRouting::AdjacencySegmentNeighbor>(
      "Kroma::SegmentRouting::AdjacencySegmentNeighbor");
  outsideValue<Kroma::SegmentRouting::AdjacencySegment>("Kroma::SegmentRouting::AdjacencySegment");
  module().loaded();
  return true;
}();

}  // namespace

Pavo::ModuleInspectData const& outsideTypesModule() {
  return module();
}

}  // namespace VekPavo
