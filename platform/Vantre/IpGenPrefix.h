// Vantre::IpGenPrefix: an IPv4 or IPv6 prefix with its address family, and
// Vantre::IpGenPrefixBase, which holds the bytes and the key operations that
// the collections use (isEq, hash).
//
// Byte layout (20 bytes, alignment 1):
//   0      address family (Vantre::AddressFamily)
//   1      prefix length (0..32 for ipv4, 0..128 for ipv6)
//   2..3   reserved, always zero
//   4..19  address; ipv4 in bytes 4..7 (network order), the rest zero
// Invariants kept by every constructor: host bits beyond the length are
// cleared (so 10.1.2.3/8 is stored, printed and compared as 10.0.0.0/8) and
// every byte the family does not use is zero. The default prefix is all
// zero: family none, length 0. Equality, order and hash read every field.
//
// Order (operator<): family, then the 16 address bytes, then length.
//
// Text: "10.0.0.0/8", "2001:db8::/32" (IPv6 printed per RFC 5952: lower-case,
// no leading zeros, the longest run of two or more zero groups as "::"; no
// dotted tail on output). The reader takes full IPv6 text, "::" compression
// and an embedded IPv4 tail ("::ffff:10.0.0.1/128"). The default prefix
// prints and reads as "none".
#pragma once

#include <array>
#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "Vantre/AddressFamily.h"
#include "Vek/Hash.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace Vantre {

class IpGenPrefixBase {
 public:
  static constexpr std::size_t kAddressSize = 16;

  AddressFamily af() const noexcept { return af_; }
  std::uint8_t length() const noexcept { return length_; }
  std::span<std::uint8_t const, kAddressSize> address() const noexcept { return address_; }
  // The IPv4 address in host order (bytes 4..7); 0 for other families.
  std::uint32_t ipv4Address() const noexcept;

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<1>(af_.value());
    h.hashMix<1>(length_);
    h.hashBytes(address_, kAddressSize);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<IpGenPrefixBase const*>(a);
    auto const& y = *static_cast<IpGenPrefixBase const*>(b);
    return x.af_ == y.af_ && x.length_ == y.length_ &&
           std::memcmp(x.address_, y.address_, kAddressSize) == 0;
  }

 protected:
  IpGenPrefixBase() noexcept = default;

  AddressFamily af_;
  std::uint8_t length_ = 0;
  [[maybe_unused]] std::uint8_t reserved_[2] = {0, 0};
  std::uint8_t address_[kAddressSize] = {};
};

class IpGenPrefix : public IpGenPrefixBase {
 public:
  static constexpr char const* kTypeName = "Vantre::IpGenPrefix";

  IpGenPrefix() noexcept = default;
  // Reads the text form; see parse().
  explicit IpGenPrefix(std::string_view text) : IpGenPrefix(parse(text)) {}

  // `address` in host order. A length over 32 raises Pavo::RangeException.
  static IpGenPrefix ipv4(std::uint32_t address, unsigned length);
  // A length over 128 raises Pavo::RangeException.
  static IpGenPrefix ipv6(std::array<std::uint8_t, 16> const& address, unsigned length);

  // The whole text must be one prefix. Malformed text, an octet over 255 or
  // a length over the family's bits raise Vek::DeserializeException naming
  // the text and the position.
  static IpGenPrefix parse(std::string_view text);
  // Reads one prefix at the range's position and leaves the range after it.
  static IpGenPrefix read(Vek::CharRange& range);

  friend bool operator==(IpGenPrefix const& a, IpGenPrefix const& b) noexcept {
    return isEq(&a, &b);
  }
  // Family, then address bytes as an unsigned big-endian number, then
  // length. Inline and word-wise: the status table and the prefix trees
  // compare prefixes on every step of a look-up.
  friend std::strong_ordering operator<=>(IpGenPrefix const& a, IpGenPrefix const& b) noexcept {
    if (auto c = a.af_ <=> b.af_; c != 0)
      return c;
    for (std::size_t i = 0; i < kAddressSize; i += 8) {
      std::uint64_t x;
      std::uint64_t y;
      std::memcpy(&x, a.address_ + i, 8);
      std::memcpy(&y, b.address_ + i, 8);
      if (x != y) {
        if constexpr (std::endian::native == std::endian::little) {
          x = __builtin_bswap64(x);
          y = __builtin_bswap64(y);
        }
        return x <=> y;
      }
    }
    return a.length_ <=> b.length_;
  }
  friend bool operator<(IpGenPrefix const& a, IpGenPrefix const& b) noexcept {
    return (a <=> b) < 0;
  }

  std::string toString() const;
};

static_assert(sizeof(IpGenPrefix) == 20 && alignof(IpGenPrefix) == 1);
static_assert(std::is_trivially_copyable_v<IpGenPrefix> && std::is_standard_layout_v<IpGenPrefix>);

std::ostream& operator<<(std::ostream& os, IpGenPrefix const& prefix);

// Text helpers shared with other value types that embed addresses.
// "a.b.c.d" from a host-order address.
std::string ipv4AddressText(std::uint32_t address);
// Reads "a.b.c.d" and returns it in host order.
std::uint32_t readIpv4Address(Vek::CharRange& range);
// RFC 5952 text of 16 address bytes.
std::string ipv6AddressText(std::span<std::uint8_t const, 16> address);
// Reads IPv6 text (with "::" and an optional dotted IPv4 tail) into `out`.
void readIpv6Address(Vek::CharRange& range, std::array<std::uint8_t, 16>& out);

}  // namespace Vantre
