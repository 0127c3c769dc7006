#include "Mpls/SegmentRouting/PrefixAlgoKey.h"

#include <cstddef>
#include <ostream>

#include "Vek/CharRange.h"

namespace Mpls::SegmentRouting {

std::string PrefixAlgoKey::toString() const {
  static_assert(offsetof(PrefixAlgoKey, algo_) == 20 && offsetof(PrefixAlgoKey, reserved_) == 21);
  return prefix_.toString() + " algo " + std::to_string(algo_);
}

std::ostream& operator<<(std::ostream& os, PrefixAlgoKey const& key) {
  return os << key.toString();
}

PrefixAlgoKey PrefixAlgoKey::read(Vek::CharRange& range) {
  Vantre::IpGenPrefix const prefix = Vantre::IpGenPrefix::read(range);
  range.expect(" algo ");
  auto const algo = static_cast<std::uint8_t>(range.readDecimal(0xFF, "algo"));
  return {prefix, algo};
}

}  // namespace Mpls::SegmentRouting
