#include "Mpls/SegmentRouting/PrefixAlgoKey.h"

#include <cstddef>
#include <ostream>

namespace Mpls::SegmentRouting {

std::string PrefixAlgoKey::toString() const {
  static_assert(offsetof(PrefixAlgoKey, algo_) == 20 && offsetof(PrefixAlgoKey, reserved_) == 21);
  return prefix_.toString() + " algo " + std::to_string(algo_);
}

std::ostream& operator<<(std::ostream& os, PrefixAlgoKey const& key) {
  return os << key.toString();
}

}  // namespace Mpls::SegmentRouting
