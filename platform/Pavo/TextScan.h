// Pavo::TextScan: the cursor the value types' text parsers read with, and
// Pavo::ParseException, what they raise on malformed text.
//
// A parser walks the text with peek/consumeIf/expect/readDecimal/readHex and
// never reads past its end, so malformed text is an error and never UB.
// Every error names the type being read, the text (cut at 64 characters) and
// the character position:
//   Vantre::IpGenPrefix: cannot read "10.0.0/8" at position 6: expected '.'
// Malformed text raises ParseException; a well-formed number outside its
// allowed range raises Pavo::RangeException with the same kind of message.
// The cursor only views the text; the caller keeps it alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Pavo/Exception.h"

namespace Pavo {

// Text that does not have the form of the value being read.
class ParseException : public Exception {
 public:
  using Exception::Exception;
};

class TextScan {
 public:
  // `typeName` must outlive the scan (a string literal in practice).
  TextScan(char const* typeName, std::string_view text) noexcept
      : typeName_(typeName), text_(text) {}

  std::string_view text() const noexcept { return text_; }
  std::size_t pos() const noexcept { return pos_; }
  void posIs(std::size_t pos) noexcept { pos_ = pos < text_.size() ? pos : text_.size(); }
  bool atEnd() const noexcept { return pos_ >= text_.size(); }
  // The next character, or '\0' at the end.
  char peek() const noexcept { return atEnd() ? '\0' : text_[pos_]; }
  // The unread rest of the text.
  std::string_view rest() const noexcept { return text_.substr(pos_); }

  bool consumeIf(char c) noexcept;
  bool consumeIf(std::string_view word) noexcept;
  void expect(char c);
  void expectEnd();

  // Reads one or more decimal digits; `what` names the number in errors.
  // No digit: ParseException. A value above `max`: RangeException.
  std::uint64_t readDecimal(std::uint64_t max, char const* what);
  // Reads 1 to `maxDigits` hex digits (either case); more digits, or none,
  // are a ParseException.
  std::uint64_t readHex(unsigned maxDigits, char const* what);

  [[noreturn]] void fail(std::string_view reason) const { failAt(pos_, reason); }
  [[noreturn]] void failAt(std::size_t pos, std::string_view reason) const;
  [[noreturn]] void failRange(std::size_t pos, std::string_view reason) const;

 private:
  char const* typeName_;
  std::string_view text_;
  // Invariant: pos_ <= text_.size().
  std::size_t pos_ = 0;
};

}  // namespace Pavo
