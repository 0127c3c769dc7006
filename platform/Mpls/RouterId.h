// Mpls::RouterId: a router's identifier as the MPLS control plane keys it.
//
// Byte layout (24 bytes, alignment 4):
//   0..3    af: address family / id kind (1 IPv4 router id, 2 IPv6,
//           3 IS-IS router id named by its system id)
//   4..7    router-id value (an IPv4 address in host order for af 1)
//   8..9    label space
//   10..15  IS-IS system id
//   16..23  reserved, always zero (no writer touches them)
// The zero router id (every field 0, zero()) stands for "no router".
//
// Equality, hash and order read the four fields, never the reserved bytes;
// the order is field by field in layout order (af, value, label space,
// system id bytewise).
//
// Text:
//   "none"                            the zero router id
//   "10.0.0.1:0"                      af 1 with no system id: value:label space
//   "1921.6800.1001" or "...1001:5"   af 3 with value 0: system id[:label space]
//   "af2/10.0.0.1:0/1921.6800.1001"   any other combination, every field
// Only "af", decimal digits and '/' open the every-field form: a system id
// may start with "af" too ("afef.0100.0001").
// parse() reads each of these forms back to the same value.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "Routing/Isis/SystemId.h"
#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Mpls {

class RouterId {
 public:
  static constexpr std::uint32_t kAfIpv4 = 1;
  static constexpr std::uint32_t kAfIpv6 = 2;
  static constexpr std::uint32_t kAfIsis = 3;
  static constexpr char const* kTypeName = "Mpls::RouterId";

  constexpr RouterId() noexcept = default;

  static constexpr RouterId zero() noexcept { return RouterId(); }
  // af 1, `value` an IPv4 address in host order.
  static RouterId ipv4(std::uint32_t value, std::uint16_t lblSpace = 0) noexcept;
  // af 3, named by the system id.
  static RouterId isis(Routing::Isis::SystemId const& systemId) noexcept;

  std::uint32_t af() const noexcept { return af_; }
  std::uint32_t rtrIdValue() const noexcept { return rtrIdValue_; }
  std::uint16_t lblSpaceValue() const noexcept { return lblSpace_; }
  Routing::Isis::SystemId isisSystemId() const noexcept { return isisSystemId_; }
  bool isZero() const noexcept { return *this == RouterId(); }

  void afIs(std::uint32_t af) noexcept { af_ = af; }
  void rtrIdValueIs(std::uint32_t value) noexcept { rtrIdValue_ = value; }
  void lblSpaceValueIs(std::uint16_t lblSpace) noexcept { lblSpace_ = lblSpace; }
  void isisSystemIdIs(Routing::Isis::SystemId const& id) noexcept { isisSystemId_ = id; }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<4>(af_);
    h.hashMix<4>(rtrIdValue_);
    h.hashMix<2>(lblSpace_);
    h.hashBytes(isisSystemId_.data(), Routing::Isis::SystemId::kSize);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<RouterId const*>(a);
    auto const& y = *static_cast<RouterId const*>(b);
    return x.af_ == y.af_ && x.rtrIdValue_ == y.rtrIdValue_ && x.lblSpace_ == y.lblSpace_ &&
           x.isisSystemId_ == y.isisSystemId_;
  }
  friend bool operator==(RouterId const& a, RouterId const& b) noexcept { return isEq(&a, &b); }
  friend std::strong_ordering operator<=>(RouterId const& a, RouterId const& b) noexcept {
    if (auto c = a.af_ <=> b.af_; c != 0)
      return c;
    if (auto c = a.rtrIdValue_ <=> b.rtrIdValue_; c != 0)
      return c;
    if (auto c = a.lblSpace_ <=> b.lblSpace_; c != 0)
      return c;
    return a.isisSystemId_ <=> b.isisSystemId_;
  }

  // The whole text must be one router id (forms above). Malformed text and
  // numbers out of range raise Vek::DeserializeException.
  static RouterId parse(std::string_view text);
  static RouterId read(Vek::CharRange& range);
  std::string toString() const;

 private:
  std::uint32_t af_ = 0;
  std::uint32_t rtrIdValue_ = 0;
  std::uint16_t lblSpace_ = 0;
  Routing::Isis::SystemId isisSystemId_;
  [[maybe_unused]] std::uint8_t reserved_[8] = {};
};

static_assert(sizeof(RouterId) == 24 && alignof(RouterId) == 4);
static_assert(std::is_trivially_copyable_v<RouterId> && std::is_standard_layout_v<RouterId>);

std::ostream& operator<<(std::ostream& os, RouterId const& id);

}  // namespace Mpls
