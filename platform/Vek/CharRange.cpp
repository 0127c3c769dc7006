#include "Vek/CharRange.h"

#include <limits>

#include "Vek/QuotedText.h"

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

int hexDigit(char c) noexcept {
  if (isDigit(c))
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// The length of the leading stretch of `rest` up to the first ',' or
// unmatched ')'.
std::size_t valueLength(std::string_view rest) noexcept {
  std::size_t depth = 0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '(') {
      ++depth;
    } else if (rest[i] == ')' && depth > 0) {
      --depth;
    } else if ((rest[i] == ')' || rest[i] == ',') && depth == 0) {
      return i;
    }
  }
  return rest.size();
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

void CharRange::expect(std::string_view literal) {
  if (!consume(literal)) {
    char const quote = literal.size() == 1 ? '\'' : '"';
    fail("expected " + (quote + std::string(literal)) + quote);
  }
}

std::uint64_t CharRange::readDecimal(std::uint64_t max, char const* what) {
  std::size_t const start = pos_;
  std::uint64_t value = 0;
  bool over = false;
  for (; isDigit(peek()); ++pos_) {
    auto const d = static_cast<std::uint64_t>(peek() - '0');
    over = over || d > max || value > (max - d) / 10;
    value = value * 10 + d;
  }
  if (pos_ == start)
    fail(std::string("expected a decimal ") + what);
  if (over) {
    failAt(start, std::string(what) + " " + quotedText(text_.substr(start, pos_ - start), 0) +
                      " exceeds " + std::to_string(max));
  }
  return value;
}

std::uint64_t CharRange::readHex(unsigned maxDigits, char const* what) {
  std::size_t const start = pos_;
  std::uint64_t value = 0;
  for (; hexDigit(peek()) >= 0; ++pos_) {
    if (pos_ - start == maxDigits)
      fail(std::string(what) + " has more than " + std::to_string(maxDigits) + " hex digits");
    value = value * 16 + static_cast<std::uint64_t>(hexDigit(peek()));
  }
  if (pos_ == start)
    fail(std::string("expected a hex ") + what);
  return value;
}

void CharRange::failAt(std::size_t pos, std::string_view reason, std::string_view attr) const {
  std::string detail;
  if (typeName_ != nullptr) {
    std::string_view const value = text_.substr(valueStart_, end_ - valueStart_);
    detail = std::string(typeName_) + " " + quotedText(value, '"') + ": ";
  }
  throw DeserializeException(std::string(attr), pos, detail + std::string(reason));
}

void CharRange::needOpen(std::string_view typeName, std::string_view attr) {
  skipSpaces();
  if (!consume(typeName))
    fail("expected '" + std::string(typeName) + "('", attr);
  if (!consume("("))
    fail("expected '(' after " + std::string(typeName), attr);
}

void CharRange::needAttr(std::string_view attr) {
  skipSpaces();
  std::size_t const at = pos_;
  if (!consume(attr) || !consume("=")) {
    pos_ = at;
    fail("expected '" + std::string(attr) + "='", attr);
  }
}

void CharRange::needSep(std::string_view attr) {
  skipSpaces();
  if (!consume(","))
    fail("expected ',' before " + std::string(attr), attr);
  needAttr(attr);
}

void CharRange::needClose(std::string_view attr) {
  skipSpaces();
  if (!consume(")"))
    fail("expected ')'", attr);
}

ValueScope::ValueScope(CharRange& range, char const* typeName, Extent extent) noexcept
    : range_(range),
      extent_(extent),
      from_(range.pos_),
      end_(range.end_),
      typeName_(range.typeName_),
      valueStart_(range.valueStart_) {
  if (extent == Extent::value) {
    range.skipSpaces();
    range.end_ = range.pos_ + valueLength(range.rest());
  }
  range.typeName_ = typeName;
  range.valueStart_ = range.pos_;
}

ValueScope::~ValueScope() {
  range_.end_ = end_;
  range_.typeName_ = typeName_;
  range_.valueStart_ = valueStart_;
  if (!closed_)
    range_.pos_ = from_;
}

void ValueScope::close() {
  std::size_t const used = range_.pos_;
  if (extent_ == Extent::value)
    range_.skipSpaces();
  if (!range_.atEnd())
    range_.fail("unexpected text after the value");
  range_.pos_ = used;
  closed_ = true;
}

bool readBool(CharRange& range) {
  range.skipSpaces();
  if (range.consume("true"))
    return true;
  if (range.consume("false"))
    return false;
  range.fail("expected true or false");
}

std::uint64_t readUnsigned(CharRange& range, std::uint64_t max) {
  range.skipSpaces();
  return range.readDecimal(max, "number");
}

std::int64_t readSigned(CharRange& range, std::int64_t min, std::int64_t max) {
  range.skipSpaces();
  std::size_t const start = range.pos();
  bool const negative = range.consume("-");
  // Magnitude bound of the wanted side; -min fits in an unsigned 64-bit value.
  std::uint64_t const bound = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(min)
                                       : static_cast<std::uint64_t>(max);
  if (!isDigit(range.peek()))
    range.fail("expected a number");
  std::uint64_t mag;
  try {
    mag = range.readDecimal(bound, "number");
  } catch (DeserializeException const&) {
    range.failAt(
        start, "number out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  }
  return negative ? static_cast<std::int64_t>(std::uint64_t{0} - mag)
                  : static_cast<std::int64_t>(mag);
}

std::string readQuoted(CharRange& range) {
  range.skipSpaces();
  if (!range.consume("\""))
    range.fail("expected '\"'");
  std::string out;
  for (;;) {
    if (range.atEnd())
      range.fail("unterminated string");
    char c = range.peek();
    range.advance(1);
    if (c == '"')
      return out;
    if (c == '\\') {
      if (range.atEnd())
        range.fail("unterminated escape");
      c = range.peek();
      if (c != '"' && c != '\\')
        range.fail("unknown escape");
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
    range_.fail("unexpected text after the value");
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
