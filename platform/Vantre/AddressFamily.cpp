#include "Vantre/AddressFamily.h"

#include <ostream>

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

}  // namespace Vantre
