#include "Vantre/AddressFamily.h"

#include <ostream>

#include "Pavo/TextScan.h"

namespace Vantre {

std::string AddressFamily::toString() const {
  switch (value_) {
    case none:
      return "none";
    case ipv4:
      return "ipv4";
    case ipv6:
      return "ipv6";
    default:
      return "af(" + std::to_string(value_) + ")";
  }
}

std::ostream& operator<<(std::ostream& os, AddressFamily af) {
  return os << af.toString();
}

AddressFamily AddressFamily::read(Pavo::TextScan& scan) {
  if (scan.consumeIf("none"))
    return none;
  if (scan.consumeIf("ipv4"))
    return ipv4;
  if (scan.consumeIf("ipv6"))
    return ipv6;
  if (!scan.consumeIf("af("))
    scan.fail("expected an address family");
  auto const value = static_cast<std::uint8_t>(scan.readDecimal(0xFF, "address family"));
  scan.expect(')');
  return fromValue(value);
}

}  // namespace Vantre
