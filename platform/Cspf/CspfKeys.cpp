// Text output of the CSPF keys.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

#include "Cspf/IgpRouterId.h"
#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Pavo/TextScan.h"
#include "Vantre/IpGenPrefix.h"

namespace Cspf {

namespace {

void need(Pavo::TextScan& scan, std::string_view literal) {
  if (!scan.consumeIf(literal))
    scan.fail("expected \"" + std::string(literal) + "\"");
}

// The local address is IPv4 (in bytes 0..3, network order) unless its text
// has a ':'.
void readLocalAddress(Pavo::TextScan& scan, std::uint8_t (&out)[16]) {
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

}  // namespace

std::ostream& operator<<(std::ostream& os, IgpRouterId const& id) {
  return os << id.toString();
}

std::string LinkDescription::toString() const {
  bool ipv4Local = true;
  for (std::size_t i = 4; i < 16; ++i)
    ipv4Local = ipv4Local && localAddress[i] == 0;
  std::string const local =
      ipv4Local ? Vantre::ipv4AddressText((std::uint32_t{localAddress[0]} << 24) |
                                          (std::uint32_t{localAddress[1]} << 16) |
                                          (std::uint32_t{localAddress[2]} << 8) | localAddress[3])
                : Vantre::ipv6AddressText(localAddress);
  return firstVertex.toString() + " -> " + secondVertex.toString() + " kind " +
         std::to_string(vertexKind) + " link " + std::to_string(linkId) + "/" +
         std::to_string(remoteLinkId) + " local " + local;
}

std::string LinkKey::toString() const {
  static_assert(offsetof(LinkKey, lastVertex_) == kDescriptionSize);
  return description_.toString() + " last " + lastVertex_.toString();
}

std::ostream& operator<<(std::ostream& os, LinkKey const& key) {
  return os << key.toString();
}

std::string PathKey::toString() const {
  return destination_.toString() + " path " + std::to_string(pathId_);
}

std::ostream& operator<<(std::ostream& os, PathKey const& key) {
  return os << key.toString();
}

IgpRouterId IgpRouterId::read(Pavo::TextScan& scan) {
  IgpRouterId id(VertexIdentifierBase::read(scan));
  id.handleInitialized();
  return id;
}

PathKey PathKey::read(Pavo::TextScan& scan) {
  VertexIdentifierBase const destination = VertexIdentifierBase::read(scan);
  need(scan, " path ");
  auto const pathId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "path id"));
  return {destination, pathId};
}

LinkDescription LinkDescription::read(Pavo::TextScan& scan) {
  LinkDescription d;
  d.firstVertex = VertexIdentifierBase::read(scan);
  need(scan, " -> ");
  d.secondVertex = VertexIdentifierBase::read(scan);
  need(scan, " kind ");
  d.vertexKind = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "vertex kind"));
  need(scan, " link ");
  d.linkId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "link id"));
  scan.expect('/');
  d.remoteLinkId = static_cast<std::uint32_t>(scan.readDecimal(0xFFFFFFFFu, "remote link id"));
  need(scan, " local ");
  readLocalAddress(scan, d.localAddress);
  return d;
}

LinkKey LinkKey::read(Pavo::TextScan& scan) {
  LinkDescription const d = LinkDescription::read(scan);
  need(scan, " last ");
  return {d, IgpRouterId::read(scan)};
}

namespace Lfa {

std::ostream& operator<<(std::ostream& os, PqIdx idx) {
  return os << idx.value();
}

PqIdx PqIdx::read(Pavo::TextScan& scan) {
  return PqIdx(static_cast<std::uint16_t>(scan.readDecimal(0xFFFF, "PQ index")));
}
}  // namespace Lfa

}  // namespace Cspf
