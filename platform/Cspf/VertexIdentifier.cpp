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

std::string VertexIdentifierBase::stringValue() const {
  static char const kHex[] = "0123456789abcdef";
  auto sysId = [this] {
    return Routing::Isis::SystemId({data_[0], data_[1], data_[2], data_[3], data_[4], data_[5]})
        .toString();
  };
  if (vertexType_ == kTypeNone && length_ == 0)
    return "";
  if (vertexType_ == kTypeIpv4RouterId && length_ == 4) {
    return Vantre::ipv4AddressText((std::uint32_t{data_[0]} << 24) |
                                   (std::uint32_t{data_[1]} << 16) |
                                   (std::uint32_t{data_[2]} << 8) | data_[3]);
  }
  if (vertexType_ == kTypeIsisSystemId && length_ == 6)
    return sysId();
  if (vertexType_ == kTypeIsisPseudonode && length_ == 7) {
    return sysId() + "." + kHex[data_[6] >> 4] + kHex[data_[6] & 0xF];
  }
  // Raw bytes that no constructor makes: show them rather than guess.
  std::string s = "type" + std::to_string(vertexType_) + ":";
  for (std::uint8_t b : data()) {
    s += kHex[b >> 4];
    s += kHex[b & 0xF];
  }
  return s;
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
