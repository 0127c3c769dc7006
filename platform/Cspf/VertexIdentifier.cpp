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
