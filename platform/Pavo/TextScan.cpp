#include "Pavo/TextScan.h"

#include <string>

#include "Vek/CharRange.h"

namespace Pavo {

namespace {

constexpr std::size_t kEchoLimit = 64;

std::string detail(char const* typeName, std::string_view text, std::string_view reason) {
  std::string m(typeName);
  m += " \"";
  if (text.size() > kEchoLimit) {
    m += text.substr(0, kEchoLimit);
    m += "...";
  } else {
    m += text;
  }
  m += "\": ";
  m += reason;
  return m;
}

int hexDigit(char c) noexcept {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

bool TextScan::consumeIf(char c) noexcept {
  if (atEnd() || text_[pos_] != c)
    return false;
  ++pos_;
  return true;
}

bool TextScan::consumeIf(std::string_view word) noexcept {
  if (rest().substr(0, word.size()) != word)
    return false;
  pos_ += word.size();
  return true;
}

void TextScan::expect(char c) {
  if (!consumeIf(c))
    fail(std::string("expected '") + c + "'");
}

void TextScan::expectEnd() {
  if (!atEnd())
    fail("unexpected text after the value");
}

std::uint64_t TextScan::readDecimal(std::uint64_t max, char const* what) {
  std::size_t const start = pos_;
  std::uint64_t value = 0;
  bool over = false;
  while (!atEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') {
    if (!over) {
      value = value * 10 + static_cast<std::uint64_t>(text_[pos_] - '0');
      over = value > max;
    }
    ++pos_;
  }
  if (pos_ == start)
    fail(std::string("expected a decimal ") + what);
  if (over) {
    failAt(start, std::string(what) + " " + std::string(text_.substr(start, pos_ - start)) +
                      " exceeds " + std::to_string(max));
  }
  return value;
}

std::uint64_t TextScan::readHex(unsigned maxDigits, char const* what) {
  std::size_t const start = pos_;
  std::uint64_t value = 0;
  while (!atEnd() && hexDigit(text_[pos_]) >= 0) {
    if (pos_ - start == maxDigits) {
      fail(std::string(what) + " has more than " + std::to_string(maxDigits) + " hex digits");
    }
    value = value * 16 + static_cast<std::uint64_t>(hexDigit(text_[pos_]));
    ++pos_;
  }
  if (pos_ == start)
    fail(std::string("expected a hex ") + what);
  return value;
}

void TextScan::failAt(std::size_t pos, std::string_view reason) const {
  throw Vek::DeserializeException({}, offset_ + pos, detail(typeName_, text_, reason));
}

}  // namespace Pavo
