// Text output of the CSPF keys.
#include <cstddef>
#include <ostream>

#include "Cspf/IgpRouterId.h"
#include "Cspf/Lfa/PqIdx.h"
#include "Cspf/LinkKey.h"
#include "Cspf/PathKey.h"
#include "Vantre/IpGenPrefix.h"

namespace Cspf {

std::ostream& operator<<(std::ostream& os, IgpRouterId const& id) {
  return os << id.toString();
}

std::string LinkKey::toString() const {
  static_assert(offsetof(LinkKey, lastVertex_) == kDescriptionSize);
  auto const& d = description_;
  bool ipv4Local = true;
  for (std::size_t i = 4; i < 16; ++i)
    ipv4Local = ipv4Local && d.localAddress[i] == 0;
  std::string const local =
      ipv4Local
          ? Vantre::ipv4AddressText((std::uint32_t{d.localAddress[0]} << 24) |
                                    (std::uint32_t{d.localAddress[1]} << 16) |
                                    (std::uint32_t{d.localAddress[2]} << 8) | d.localAddress[3])
          : Vantre::ipv6AddressText(localAddress());
  return d.firstVertex.toString() + " -> " + d.secondVertex.toString() + " kind " +
         std::to_string(d.vertexKind) + " link " + std::to_string(d.linkId) + "/" +
         std::to_string(d.remoteLinkId) + " local " + local + " last " + lastVertex_.toString();
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

namespace Lfa {

std::ostream& operator<<(std::ostream& os, PqIdx idx) {
  return os << idx.value();
}

}  // namespace Lfa

}  // namespace Cspf
