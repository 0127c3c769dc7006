#include "Routing/Isis/SystemId.h"

#include <ostream>

#include "Vek/CharRange.h"

namespace Routing::Isis {

SystemId SystemId::parse(std::string_view text) {
  return Vek::parseValue(text, kTypeName, &read);
}

SystemId SystemId::read(Vek::CharRange& range) {
  SystemId id;
  for (int g = 0; g < 3; ++g) {
    if (g != 0)
      range.expect(".");
    std::size_t const start = range.pos();
    auto const v = static_cast<unsigned>(range.readHex(4, "group"));
    if (range.pos() - start != 4)
      range.failAt(start, "a group needs four hex digits");
    id.bytes_[2 * g] = static_cast<std::uint8_t>(v >> 8);
    id.bytes_[2 * g + 1] = static_cast<std::uint8_t>(v & 0xFFu);
  }
  return id;
}

std::string SystemId::toString() const {
  static char const kHex[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < kSize; ++i) {
    if (i != 0 && i % 2 == 0)
      s += '.';
    s += kHex[bytes_[i] >> 4];
    s += kHex[bytes_[i] & 0xF];
  }
  return s;
}

std::ostream& operator<<(std::ostream& os, SystemId const& id) {
  return os << id.toString();
}

}  // namespace Routing::Isis
