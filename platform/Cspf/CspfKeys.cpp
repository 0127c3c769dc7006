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
#include "Vantre/IpGenPrefix.h"
#include "Vek/CharRange.h"

namespace Cspf {

namespace {

// The local address is IPv4 (in bytes 0..3, network order) unless its text
// has a ':'.
void readLocalAddress(Vek::CharRange& range, std::uint8_t (&out)[16]) {
  std::string_view const rest = range.rest();
  if (rest.substr(0, rest.find(' ')).find(':') != std::string_view::npos) {
    std::array<std::uint8_t, 16> address{};
    Vantre::readIpv6Address(range, address);
    std::memcpy(out, address.data(), address.size());
    return;
  }
  std::uint32_t const address = Vantre::readIpv4Address(range);
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

IgpRouterId IgpRouterId::read(Vek::CharRange& range) {
  IgpRouterId id(VertexIdentifierBase::read(range));
  id.handleInitialized();
  return id;
}

PathKey PathKey::read(Vek::CharRange& range) {
  VertexIdentifierBase const destination = VertexIdentifierBase::read(range);
  range.expect(" path ");
  auto const pathId = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "path id"));
  return {destination, pathId};
}

LinkDescription LinkDescription::read(Vek::CharRange& range) {
  LinkDescription d;
  d.firstVertex = VertexIdentifierBase::read(range);
  range.expect(" -> ");
  d.secondVertex = VertexIdentifierBase::read(range);
  range.expect(" kind ");
  d.vertexKind = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "vertex kind"));
  range.expect(" link ");
  d.linkId = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "link id"));
  range.expect("/");
  d.remoteLinkId = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "remote link id"));
  range.expect(" local ");
  readLocalAddress(range, d.localAddress);
  return d;
}

LinkKey LinkKey::read(Vek::CharRange& range) {
  LinkDescription const d = LinkDescription::read(range);
  range.expect(" last ");
  return {d, IgpRouterId::read(range)};
}

namespace Lfa {

std::ostream& operator<<(std::ostream& os, PqIdx idx) {
  return os << idx.value();
}

PqIdx PqIdx::read(Vek::CharRange& range) {
  return PqIdx(static_cast<std::uint16_t>(range.readDecimal(0xFFFF, "PQ index")));
}
}  // namespace Lfa

}  // namespace Cspf
