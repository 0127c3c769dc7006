#include "Vantre/IpGenPrefix.h"

#include <ostream>

#include "Vek/CharRange.h"

namespace Vantre {

namespace {

bool isHexDigit(char c) noexcept {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void checkLength(AddressFamily af, unsigned length) {
  if (length > af.addressBits()) {
    throw Pavo::RangeException(std::string(IpGenPrefix::kTypeName) + ": length " +
                               std::to_string(length) + " exceeds " +
                               std::to_string(af.addressBits()) + " for " + af.toString());
  }
}

}  // namespace

std::uint32_t IpGenPrefixBase::ipv4Address() const noexcept {
  if (af_ != AddressFamily::ipv4)
    return 0;
  return (std::uint32_t{address_[0]} << 24) | (std::uint32_t{address_[1]} << 16) |
         (std::uint32_t{address_[2]} << 8) | std::uint32_t{address_[3]};
}

IpGenPrefix IpGenPrefix::ipv4(std::uint32_t address, unsigned length) {
  checkLength(AddressFamily::ipv4, length);
  std::uint32_t const mask = length == 0 ? 0u : ~std::uint32_t{0} << (32 - length);
  address &= mask;
  IpGenPrefix p;
  p.af_ = AddressFamily::ipv4;
  p.length_ = static_cast<std::uint8_t>(length);
  for (int i = 0; i < 4; ++i) {
    p.address_[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
  }
  return p;
}

IpGenPrefix IpGenPrefix::ipv6(std::array<std::uint8_t, 16> const& address, unsigned length) {
  checkLength(AddressFamily::ipv6, length);
  IpGenPrefix p;
  p.af_ = AddressFamily::ipv6;
  p.length_ = static_cast<std::uint8_t>(length);
  for (unsigned i = 0; i < kAddressSize; ++i) {
    unsigned const bitsHere = length >= 8 * (i + 1) ? 8 : length > 8 * i ? length - 8 * i : 0;
    auto const mask = static_cast<std::uint8_t>(0xFF00u >> bitsHere);
    p.address_[i] = address[i] & mask;
  }
  return p;
}

IpGenPrefix IpGenPrefix::parse(std::string_view text) {
  return Vek::parseValue(text, kTypeName, &read);
}

IpGenPrefix IpGenPrefix::read(Vek::CharRange& range) {
  if (range.consume("none"))
    return IpGenPrefix();
  std::string_view const rest = range.rest();
  std::size_t const colon = rest.find(':');
  bool const isV6 = colon != std::string_view::npos && colon < rest.find('/');
  if (isV6) {
    std::array<std::uint8_t, 16> address{};
    readIpv6Address(range, address);
    range.expect("/");
    auto const length = static_cast<unsigned>(range.readDecimal(128, "prefix length"));
    return ipv6(address, length);
  }
  std::uint32_t const address = readIpv4Address(range);
  range.expect("/");
  auto const length = static_cast<unsigned>(range.readDecimal(32, "prefix length"));
  return ipv4(address, length);
}

std::string IpGenPrefix::toString() const {
  // Appended in place: prepending "/" to a temporary makes g++ 12 at -O3 see
  // an overlapping copy inside the string's insert (a false -Wrestrict).
  std::string text;
  switch (af_.value()) {
    case AddressFamily::none:
      return "none";
    case AddressFamily::ipv4:
      text = ipv4AddressText(ipv4Address());
      break;
    case AddressFamily::ipv6:
      text = ipv6AddressText(address());
      break;
    default:
      text = af_.toString();
      break;
  }
  text += '/';
  text += std::to_string(length_);
  return text;
}

std::ostream& operator<<(std::ostream& os, IpGenPrefix const& prefix) {
  return os << prefix.toString();
}

std::string ipv4AddressText(std::uint32_t address) {
  std::string s;
  for (int i = 3; i >= 0; --i) {
    s += std::to_string((address >> (8 * i)) & 0xFFu);
    if (i != 0)
      s += '.';
  }
  return s;
}

std::uint32_t readIpv4Address(Vek::CharRange& range) {
  std::uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    if (i != 0)
      range.expect(".");
    address = (address << 8) | static_cast<std::uint32_t>(range.readDecimal(255, "octet"));
  }
  return address;
}

std::string ipv6AddressText(std::span<std::uint8_t const, 16> address) {
  unsigned groups[8];
  for (int i = 0; i < 8; ++i)
    groups[i] = (unsigned{address[2 * i]} << 8) | address[2 * i + 1];
  // The longest run of at least two zero groups, the first of equal ones.
  int bestStart = -1;
  int bestLen = 1;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0)
      ++j;
    if (j - i > bestLen) {
      bestStart = i;
      bestLen = j - i;
    }
    i = j;
  }
  static char const kHex[] = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      s += "::";
      i += bestLen - 1;
      continue;
    }
    if (!s.empty() && s.back() != ':')
      s += ':';
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      unsigned const d = (groups[i] >> shift) & 0xFu;
      if (d != 0 || started || shift == 0) {
        s += kHex[d];
        started = true;
      }
    }
  }
  return s;
}

void readIpv6Address(Vek::CharRange& range, std::array<std::uint8_t, 16>& out) {
  std::uint16_t groups[8] = {};
  int n = 0;
  int gap = -1;  // index of the first group after "::", when there is one
  if (range.consume("::"))
    gap = 0;
  while (n < 8) {
    if (!isHexDigit(range.peek())) {
      if (gap == n)
        break;  // "::" at the end of the address
      range.fail("expected a hex group");
    }
    // A dotted tail takes the last two groups.
    std::string_view const rest = range.rest();
    std::size_t run = 0;
    while (run < rest.size() && isHexDigit(rest[run]))
      ++run;
    if (run < rest.size() && rest[run] == '.') {
      if (n > 6)
        range.fail("no room for a dotted IPv4 tail");
      std::uint32_t const v4 = readIpv4Address(range);
      groups[n++] = static_cast<std::uint16_t>(v4 >> 16);
      groups[n++] = static_cast<std::uint16_t>(v4 & 0xFFFFu);
      break;
    }
    groups[n++] = static_cast<std::uint16_t>(range.readHex(4, "group"));
    if (n == 8)
      break;
    if (range.consume("::")) {
      if (gap >= 0)
        range.fail("a second '::'");
      gap = n;
      continue;
    }
    if (!range.consume(":"))
      break;
    if (!isHexDigit(range.peek()))
      range.fail("expected a hex group");
  }
  if (gap >= 0) {
    if (n == 8)
      range.fail("'::' with eight groups");
    int const tail = n - gap;
    for (int i = 0; i < tail; ++i)
      groups[7 - i] = groups[n - 1 - i];
    for (int i = gap; i < 8 - tail; ++i)
      groups[i] = 0;
  } else if (n != 8) {
    range.fail("expected eight groups or '::'");
  }
  for (int i = 0; i < 8; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
    out[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFFu);
  }
}

}  // namespace Vantre
