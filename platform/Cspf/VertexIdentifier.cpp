#include "Cspf/VertexIdentifier.h"

#include <ostream>

#include "Pavo/TextScan.h"
#include "Vantre/IpGenPrefix.h"

namespace Cspf {

namespace {

constexpr std::uint8_t kLengthOfType[] = {0, 4, 6, 7};

}  // namespace

VertexIdentifierBase::VertexIdentifierBase(std::uint8_t vertexType, std::string_view data) {
  if (vertexType > kTypeIsisPseudonode) {
    throw Pavo::RangeException(std::string(kTypeName) + ": vertex type " +
                               std::to_string(vertexType) + " is not 0..3");
  }
  if (data.size() != kLengthOfType[vertexType]) {
    throw Pavo::RangeException(std::string(kTypeName) + ": vertex type " +
                               std::to_string(vertexType) + " needs " +
                               std::to_string(kLengthOfType[vertexType]) + " data bytes, not " +
                               std::to_string(data.size()));
  }
  vertexType_ = vertexType;
  length_ = static_cast<std::uint8_t>(data.size());
  std::memcpy(data_, data.data(), data.size());
}

VertexIdentifierBase::VertexIdentifierBase(Routing::Isis::SystemId const& systemId) noexcept
    : vertexType_(kTypeIsisSystemId), length_(Routing::Isis::SystemId::kSize) {
  std::memcpy(data_, systemId.data(), Routing::Isis::SystemId::kSize);
}

VertexIdentifierBase::VertexIdentifierBase(Routing::Isis::SystemId const& systemId,
                                           std::uint8_t pseudonodeId) noexcept
    : vertexType_(kTypeIsisPseudonode), length_(Routing::Isis::SystemId::kSize + 1) {
  std::memcpy(data_, systemId.data(), Routing::Isis::SystemId::kSize);
  data_[Routing::Isis::SystemId::kSize] = pseudonodeId;
}

VertexIdentifierBase VertexIdentifierBase::fromIpv4RouterId(std::uint32_t address) noexcept {
  VertexIdentifierBase v;
  v.vertexType_ = kTypeIpv4RouterId;
  v.length_ = 4;
  for (int i = 0; i < 4; ++i)
    v.data_[i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
  return v;
}

std::string_view VertexIdentifierBase::stringValueIn(StringValueBuffer& buffer) const noexcept {
  static char const kHex[] = "0123456789abcdef";
  std::size_t n = 0;
  auto const put = [&](char c) { buffer[n++] = c; };
  auto const hex = [&](std::uint8_t b) {
    put(kHex[b >> 4]);
    put(kHex[b & 0xF]);
  };
  auto const decimal = [&](unsigned v) {
    if (v >= 100)
      put(static_cast<char>('0' + v / 100));
    if (v >= 10)
      put(static_cast<char>('0' + v / 10 % 10));
    put(static_cast<char>('0' + v % 10));
  };
  auto const sysId = [&] {
    for (std::size_t i = 0; i < Routing::Isis::SystemId::kSize; ++i) {
      if (i != 0 && i % 2 == 0)
        put('.');
      hex(data_[i]);
    }
  };
  if (isEmpty())
    return {buffer, 0};
  if (vertexType_ == kTypeIpv4RouterId && length_ == 4) {
    for (int i = 0; i < 4; ++i) {
      if (i != 0)
        put('.');
      decimal(data_[i]);
    }
  } else if (vertexType_ == kTypeIsisSystemId && length_ == 6) {
    sysId();
  } else if (vertexType_ == kTypeIsisPseudonode && length_ == 7) {
    sysId();
    put('.');
    hex(data_[6]);
  } else {
    // Raw bytes that no constructor makes: show them rather than guess.
    for (char c : std::string_view("type"))
      put(c);
    decimal(vertexType_);
    put(':');
    for (std::uint8_t b : data())
      hex(b);
  }
  return {buffer, n};
}

std::string VertexIdentifierBase::stringValue() const {
  StringValueBuffer buffer;
  return std::string(stringValueIn(buffer));
}

std::string VertexIdentifierBase::toString() const {
  return isEmpty() ? "empty" : stringValue();
}

VertexIdentifierBase VertexIdentifierBase::parse(std::string_view text) {
  Pavo::TextScan scan(kTypeName, text);
  if (scan.atEnd() || scan.consumeIf("empty")) {
    scan.expectEnd();
    return VertexIdentifierBase();
  }
  std::size_t dots = 0;
  for (char c : text)
    dots += c == '.' ? 1 : 0;
  // An IPv4 address has four decimal parts; a system id three hex groups of
  // four digits, a pseudonode a fourth group of two.
  bool const isIpv4 = dots == 3 && text.find('.') < 4;
  VertexIdentifierBase v;
  if (isIpv4) {
    v = fromIpv4RouterId(Vantre::readIpv4Address(scan));
  } else {
    Routing::Isis::SystemId const id = Routing::Isis::SystemId::read(scan);
    if (scan.consumeIf('.')) {
      std::size_t const start = scan.pos();
      auto const pseudonode = static_cast<std::uint8_t>(scan.readHex(2, "pseudonode id"));
      if (scan.pos() - start != 2)
        scan.failAt(start, "a pseudonode id needs two hex digits");
      v = VertexIdentifierBase(id, pseudonode);
    } else {
      v = VertexIdentifierBase(id);
    }
  }
  scan.expectEnd();
  return v;
}

std::ostream& operator<<(std::ostream& os, VertexIdentifierBase const& id) {
  return os << id.toString();
}

// An identifier's text has no blank; parse() takes it whole. A malformed one
// is reported at its first character.
VertexIdentifierBase VertexIdentifierBase::read(Pavo::TextScan& scan) {
  std::string_view const rest = scan.rest();
  std::string_view const text = rest.substr(0, rest.find(' '));
  if (text.empty())
    scan.fail("expected a vertex identifier");
  VertexIdentifierBase const vertex = parse(text);
  scan.posIs(scan.pos() + text.size());
  return vertex;
}

}  // namespace Cspf
