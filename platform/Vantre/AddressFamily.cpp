#include "Vantre/AddressFamily.h"

#include <ostream>

#include "Vek/CharRange.h"

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

AddressFamily AddressFamily::read(Vek::CharRange& range) {
  if (range.consume("none"))
    return none;
  if (range.consume("ipv4"))
    return ipv4;
  if (range.consume("ipv6"))
    return ipv6;
  if (!range.consume("af("))
    range.fail("expected an address family");
  auto const value = static_cast<std::uint8_t>(range.readDecimal(0xFF, "address family"));
  range.expect(")");
  return fromValue(value);
}

}  // namespace Vantre
