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

PrefixAlgoKey PrefixAlgoKey::read(Pavo::TextScan& scan) {
  Vantre::IpGenPrefix const prefix = Vantre::IpGenPrefix::read(scan);
  if (!scan.consumeIf(" algo "))
    scan.fail("expected \" algo \"");
  auto const algo = static_cast<std::uint8_t>(scan.readDecimal(0xFF, "algo"));
  return {prefix, algo};
}

}  // namespace Mpls::SegmentRouting
