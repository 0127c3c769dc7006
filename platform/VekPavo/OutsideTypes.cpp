#include "VekPavo/OutsideTypes.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

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
#include "Pavo/InspectDsl.h"
#include "Pavo/TextScan.h"
#include "Routing/Isis/SystemId.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/CharRangeScan.h"

namespace VekPavo {

namespace {

using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;
using Pavo::TextScan;

Pavo::ModuleInspectData& module() {
  static Pavo::ModuleInspectData m("VekPavo/OutsideTypes");
  return m;
}

// Readers of the types whose libraries print them but do not read them back.
// Each reads exactly what the type's toString() writes.

void need(TextScan& scan, std::string_view literal) {
  if (!scan.consumeIf(literal))
    scan.fail("expected \"" + std::string(literal) + "\"");
}

Vantre::AddressFamily readAddressFamily(TextScan& scan) {
  if (scan.consumeIf("none"))
    return Vantre::AddressFamily::none;
  if (scan.consumeIf("ipv4"))
    return Vantre::AddressFamily::ipv4;
  if (scan.consumeIf("ipv6"))
    return Vantre::AddressFamily::ipv6;
  need(scan, "af(");
  auto const value = static_cast<std::uint8_t>(scan.readDecimal(0xFF, "address family"));
  scan.expect(')');
  return Vantre::AddressFamily::fromValue(value);
}

Mpls::SegmentRouting::PrefixAlgoKey readPrefixAlgoKey(TextScan& scan) {
  Vantre::IpGenPrefix const prefix = Vantre::IpGenPrefix::read(scan);
  need(scan, " algo ");
  auto const algo = static_cast<std::uint8_t>(scan.readDecimal(0xFF, "algo"));
  return {prefix, algo};
}

// A vertex identifier's text has no blank; its own parser takes it whole.
// A malformed one is reported at its first character.
Cspf::VertexIdentifierBase readVertex(TextScan& scan) {
  std::string_view const rest = scan.rest();
  std::string_view const text = rest.substr(0, rest.find(' '));
  if (text.empty())
    scan.fail("expected a vertex identifier");
  Cspf::VertexIdentifierBase const vertex = Cspf::VertexIdentifierBase::parse(text);
  scan.posIs(scan.pos() + text.size());
  return vertex;
}

Cspf::IgpRouterId readIgpRouterId(TextScan& scan) {
  Cspf::IgpRouterId id(readVertex(scan));
  id.handleInitialized();
  return id;
}

Cspf::PathKey readPathKey(TextScan& scan) {
  Cspf::VertexIdentifierBase const destination = readVertex(scan);
  need(scan, " path ");
  auto const pathId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "path id"));
  return {destination, pathId};
}

// The local address is IPv4 (in bytes 0..3, network order) unless its text
// has a ':'.
void readLocalAddress(TextScan& scan, std::uint8_t (&out)[16]) {
  std::string_view const rest = scan.rest();
  if (rest.substr(0, rest.find(' ')).find(':') != std::string_view::npos) {
    std::array<std::uint8_t, 16> address{};
    Vantre::readIpv6Address(scan, address);
    std::memcpy(out, address.data(), address.size());
    return;
  }
  std::uint32_t const address = Vantre::readIpv4Address(scan);
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
}

Cspf::LinkKey readLinkKey(TextScan& scan) {
  Cspf::LinkDescription d;
  d.firstVertex = readVertex(scan);
  need(scan, " -> ");
  d.secondVertex = readVertex(scan);
  need(scan, " kind ");
  d.vertexKind = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "vertex kind"));
  need(scan, " link ");
  d.linkId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "link id"));
  scan.expect('/');
  d.remoteLinkId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "remote link id"));
  need(scan, " local ");
  readLocalAddress(scan, d.localAddress);
  need(scan, " last ");
  return {d, readIgpRouterId(scan)};
}

Cspf::Lfa::PqIdx readPqIdx(TextScan& scan) {
  return Cspf::Lfa::PqIdx(static_cast<std::uint16_t>(scan.readDecimal(0xFFFF, "PQ index")));
}

Kroma::SegmentRouting::AdjacencySegmentKey readAdjacencySegmentKey(TextScan& scan) {
  need(scan, "sid ");
  Mpls::SegmentRouting::SegmentIdentifier const sid =
      Mpls::SegmentRouting::SegmentIdentifier::read(scan);
  need(scan, " router ");
  return {sid, Mpls::RouterId::read(scan)};
}

template <class T>
void writeOwn(void const* value, std::string& out) {
  out += static_cast<T const*>(value)->toString();
}

template <class T, T (*read)(TextScan&)>
void readOwn(Vek::CharRange& range, void* at) {
  new (at) T(Vek::readScanned<T>(range, Pavo::Inspect::TypeSlot<T>::info->name().c_str(), read));
}

// An outside value type with its own text form.
template <class T>
void outsideValue(char const* name, void (*reader)(Vek::CharRange&, void*)) {
  Pavo::Inspect::ValueType<T>(module(), name).text(&writeOwn<T>, reader);
}
template <class T, T (*read)(TextScan&)>
void outsideValue(char const* name) {
  outsideValue<T>(name, &readOwn<T, read>);
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
  outsideValue<Vantre::AddressFamily, &readAddressFamily>("Vantre::AddressFamily");
  outsideValue<Vantre::IpGenPrefix, &Vantre::IpGenPrefix::read>("Vantre::IpGenPrefix");
  outsideValue<Routing::Isis::SystemId, &Routing::Isis::SystemId::read>("Routing::Isis::SystemId");
  outsideValue<Mpls::RouterId, &Mpls::RouterId::read>("Mpls::RouterId");
  outsideValue<PrefixAlgoKey, &readPrefixAlgoKey>("Mpls::SegmentRouting::PrefixAlgoKey");
  outsideValue<SegmentIdentifier>(
      "Mpls::SegmentRouting::SegmentIdentifier",
      [](Vek::CharRange& range, void* at) { new (at) SegmentIdentifier(range); });
  outsideValue<Cspf::VertexIdentifierBase, &readVertex>("Cspf::VertexIdentifierBase");
  outsideValue<Cspf::IgpRouterId, &readIgpRouterId>("Cspf::IgpRouterId");
  outsideValue<Cspf::LinkKey, &readLinkKey>("Cspf::LinkKey");
  outsideValue<Cspf::PathKey, &readPathKey>("Cspf::PathKey");
  outsideValue<Cspf::Lfa::PqIdx, &readPqIdx>("Cspf::Lfa::PqIdx");
  outsideValue<Kroma::SegmentRouting::AdjacencySegmentKey, &readAdjacencySegmentKey>(
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
  module().loaded();
  return true;
}();

}  // namespace

Pavo::ModuleInspectData const& outsideTypesModule() {
  return module();
}

}  // namespace VekPavo
