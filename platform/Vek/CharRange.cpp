#include "Vek/CharRange.h"

#include <limits>

namespace Vek {

namespace {

std::string describe(std::string const& attr, std::size_t position, std::string const& detail) {
  std::string m = "cannot read";
  if (!attr.empty())
    m += " attribute '" + attr + "'";
  if (position != std::string::npos)
    m += " at position " + std::to_string(position);
  return m + ": " + detail;
}

bool isDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}

}  // namespace

DeserializeException::DeserializeException(std::string attr, std::size_t position,
                                           std::string detail)
    : Pavo::RangeException(describe(attr, position, detail)),
      attr_(std::move(attr)),
      position_(position),
      detail_(std::move(detail)) {}

void CharRange::skipSpaces() noexcept {
  while (!atEnd() && text_[pos_] == ' ')
    ++pos_;
}

bool CharRange::consume(std::string_view literal) noexcept {
  if (rest().substr(0, literal.size()) != literal)
    return false;
  pos_ += literal.size();
  return true;
}

void CharRange::fail(std::string_view attr, std::string detail) const {
  throw DeserializeException(std::string(attr), pos_, std::move(detail));
}

void CharRange::needOpen(std::string_view typeName, std::string_view attr) {
  skipSpaces();
  if (!consume(typeName))
    fail(attr, "expected '" + std::string(typeName) + "('");
  if (!consume("("))
    fail(attr, "expected '(' after " + std::string(typeName));
}

void CharRange::needAttr(std::string_view attr) {
  skipSpaces();
  std::size_t const at = pos_;
  if (!consume(attr) || !consume("=")) {
    pos_ = at;
    fail(attr, "expected '" + std::string(attr) + "='");
  }
}

void CharRange::needSep(std::string_view attr) {
  skipSpaces();
  if (!consume(","))
    fail(attr, "expected ',' before " + std::string(attr));
  needAttr(attr);
}

void CharRange::needClose(std::string_view attr) {
  skipSpaces();
  if (!consume(")"))
    fail(attr, "expected ')'");
}

bool readBool(CharRange& range) {
  range.skipSpaces();
  if (range.consume("true"))
    return true;
  if (range.consume("false"))
    return false;
  range.fail({}, "expected true or false");
}

std::uint64_t readUnsigned(CharRange& range, std::uint64_t max) {
  range.skipSpaces();
  std::size_t const start = range.pos();
  if (!isDigit(range.peek()))
    range.fail({}, "expected an unsigned number");
  std::uint64_t v = 0;
  bool over = false;
  while (isDigit(range.peek())) {
    auto const d = static_cast<std::uint64_t>(range.peek() - '0');
    if (v > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
      over = true;
    if (!over)
      v = v * 10 + d;
    range.advance(1);
  }
  if (over || v > max) {
    throw DeserializeException({}, start,
                               "number out of range (maximum " + std::to_string(max) + ")");
  }
  return v;
}

std::int64_t readSigned(CharRange& range, std::int64_t min, std::int64_t max) {
  range.skipSpaces();
  std::size_t const start = range.pos();
  bool const negative = range.consume("-");
  if (!isDigit(range.peek()))
    range.fail({}, "expected a number");
  // Magnitude bound of the wanted side; -min fits in an unsigned 64-bit value.
  std::uint64_t const bound = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(min)
                                       : static_cast<std::uint64_t>(max);
  std::uint64_t mag;
  try {
    mag = readUnsigned(range, bound);
  } catch (DeserializeException const&) {
    throw DeserializeException(
        {}, start,
        "number out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  }
  return negative ? static_cast<std::int64_t>(std::uint64_t{0} - mag)
                  : static_cast<std::int64_t>(mag);
}

std::string readQuoted(CharRange& range) {
  range.skipSpaces();
  if (!range.consume("\""))
    range.fail({}, "expected '\"'");
  std::string out;
  for (;;) {
    if (range.atEnd())
      range.fail({}, "unterminated string");
    char c = range.peek();
    range.advance(1);
    if (c == '"')
      return out;
    if (c == '\\') {
      if (range.atEnd())
        range.fail({}, "unterminated escape");
      c = range.peek();
      if (c != '"' && c != '\\')
        range.fail({}, "unknown escape");
      range.advance(1);
    }
    out += c;
  }
}

void writeQuoted(std::string_view text, std::string& out) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  out += '"';
}

void DesAttrPost::end() {
  range_.needClose();
}

void CharRangeCheckAllDataConsumed::close() {
  if (!range_.atEnd())
    range_.fail({}, "unexpected text after the value");
}

void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr, std::size_t position) {
  if (auto const* d = dynamic_cast<DeserializeException const*>(&e)) {
    throw DeserializeException(d->attr().empty() ? std::string(attr) : d->attr(), d->position(),
                               d->detail());
  }
  throw DeserializeException(attr, position, e.msg());
}

void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr,
                                CharRange const& range) {
  rethrowFromDeserializeAttr(e, attr, range.pos());
}

}  // namespace Vek
