#include "Cspf/VertexIdentifier.h"

#include <algorithm>
#include <ostream>

#include "Vantre/IpGenPrefix.h"
#include "Vek/CharRange.h"

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
  return text.empty() ? VertexIdentifierBase() : Vek::parseValue(text, kTypeName, &read);
}

std::ostream& operator<<(std::ostream& os, VertexIdentifierBase const& id) {
  return os << id.toString();
}

// An identifier's text has no blank. Its dots tell its form: an IPv4 address
// has four decimal parts, a system id three hex groups of four digits, a
// pseudonode a fourth group of two.
VertexIdentifierBase VertexIdentifierBase::read(Vek::CharRange& range) {
  if (range.consume("empty"))
    return VertexIdentifierBase();
  std::string_view const text = range.rest().substr(0, range.rest().find(' '));
  if (text.empty())
    range.fail("expected a vertex identifier");
  if (std::count(text.begin(), text.end(), '.') == 3 && text.find('.') < 4)
    return fromIpv4RouterId(Vantre::readIpv4Address(range));
  Routing::Isis::SystemId const id = Routing::Isis::SystemId::read(range);
  if (!range.consume("."))
    return VertexIdentifierBase(id);
  std::size_t const start = range.pos();
  auto const pseudonode = static_cast<std::uint8_t>(range.readHex(2, "pseudonode id"));
  if (range.pos() - start != 2)
    range.failAt(start, "a pseudonode id needs two hex digits");
  return VertexIdentifierBase(id, pseudonode);
}

}  // namespace Cspf
