#include "Mpls/RouterId.h"

#include <cstddef>
#include <ostream>

#include "Vantre/IpGenPrefix.h"
#include "Vek/CharRange.h"

namespace Mpls {

RouterId RouterId::ipv4(std::uint32_t value, std::uint16_t lblSpace) noexcept {
  // The layout checks live in a member so that they may name private fields.
  static_assert(offsetof(RouterId, af_) == 0 && offsetof(RouterId, rtrIdValue_) == 4);
  static_assert(offsetof(RouterId, lblSpace_) == 8 && offsetof(RouterId, isisSystemId_) == 10);
  static_assert(offsetof(RouterId, reserved_) == 16);
  RouterId id;
  id.af_ = kAfIpv4;
  id.rtrIdValue_ = value;
  id.lblSpace_ = lblSpace;
  return id;
}

RouterId RouterId::isis(Routing::Isis::SystemId const& systemId) noexcept {
  RouterId id;
  id.af_ = kAfIsis;
  id.isisSystemId_ = systemId;
  return id;
}

namespace {

// "af<decimal>/": the every-field form. A system id may open with "af" too
// ("afef.0100.0001"), but its first field is four hex digits and a '.', so it
// never has a '/' right after decimal digits there.
bool opensEveryFieldForm(std::string_view text) noexcept {
  if (text.substr(0, 2) != "af")
    return false;
  std::size_t i = 2;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    ++i;
  return i > 2 && i < text.size() && text[i] == '/';
}

}  // namespace

RouterId RouterId::parse(std::string_view text) {
  return Vek::parseValue(text, kTypeName, &read);
}

RouterId RouterId::read(Vek::CharRange& range) {
  RouterId id;
  if (range.consume("none"))
    return id;
  if (opensEveryFieldForm(range.rest())) {
    range.consume("af");
    id.af_ = static_cast<std::uint32_t>(range.readDecimal(0xFFFFFFFFu, "af"));
    range.expect("/");
    id.rtrIdValue_ = Vantre::readIpv4Address(range);
    range.expect(":");
    id.lblSpace_ = static_cast<std::uint16_t>(range.readDecimal(0xFFFF, "label space"));
    range.expect("/");
    id.isisSystemId_ = Routing::Isis::SystemId::read(range);
    return id;
  }
  // An IPv4 value has three dots before the label space, a system id two.
  std::string_view const head = range.rest().substr(0, range.rest().find(':'));
  std::size_t dots = 0;
  for (char c : head)
    dots += c == '.' ? 1 : 0;
  if (dots == 3) {
    id.af_ = kAfIpv4;
    id.rtrIdValue_ = Vantre::readIpv4Address(range);
    range.expect(":");
    id.lblSpace_ = static_cast<std::uint16_t>(range.readDecimal(0xFFFF, "label space"));
    return id;
  }
  id.af_ = kAfIsis;
  id.isisSystemId_ = Routing::Isis::SystemId::read(range);
  if (range.consume(":")) {
    id.lblSpace_ = static_cast<std::uint16_t>(range.readDecimal(0xFFFF, "label space"));
  }
  return id;
}

std::string RouterId::toString() const {
  if (isZero())
    return "none";
  std::string const lblSpace = std::to_string(lblSpace_);
  if (af_ == kAfIpv4 && isisSystemId_.isZero()) {
    return Vantre::ipv4AddressText(rtrIdValue_) + ":" + lblSpace;
  }
  if (af_ == kAfIsis && rtrIdValue_ == 0) {
    return isisSystemId_.toString() + (lblSpace_ != 0 ? ":" + lblSpace : std::string());
  }
  return "af" + std::to_string(af_) + "/" + Vantre::ipv4AddressText(rtrIdValue_) + ":" + lblSpace +
         "/" + isisSystemId_.toString();
}

std::ostream& operator<<(std::ostream& os, RouterId const& id) {
  return os << id.toString();
}

}  // namespace Mpls
