// Pavo::TextScan: the cursor the outside value types' text parsers read with.
//
// A parser walks the text with peek/consumeIf/expect/readDecimal/readHex and
// never reads past its end, so malformed text is an error and never UB.
// Every error, malformed text or a well-formed number outside its range, is
// the one reading error of the platform, Vek::DeserializeException (a
// Pavo::RangeException): its position is the offset in the whole text (the
// scan's text may be one value's stretch of a longer text that starts at
// `offset`), its detail names the type and the scanned text (cut at 64
// characters):
//   cannot read at position 6: Vantre::IpGenPrefix "10.0.0/8": expected '.'
// The cursor only views the text; the caller keeps it alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Pavo/Exception.h"

namespace Pavo {

class TextScan {
 public:
  // `typeName` must outlive the scan (a string literal in practice).
  TextScan(char const* typeName, std::string_view text, std::size_t offset = 0) noexcept
      : typeName_(typeName), text_(text), offset_(offset) {}

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
  // No digit, or a value above `max`: an error.
  std::uint64_t readDecimal(std::uint64_t max, char const* what);
  // Reads 1 to `maxDigits` hex digits (either case); more digits, or none,
  // are an error.
  std::uint64_t readHex(unsigned maxDigits, char const* what);

  [[noreturn]] void fail(std::string_view reason) const { failAt(pos_, reason); }
  [[noreturn]] void failAt(std::size_t pos, std::string_view reason) const;

 private:
  char const* typeName_;
  std::string_view text_;
  std::size_t offset_;  // position of text_ in the whole text, for errors
  // Invariant: pos_ <= text_.size().
  std::size_t pos_ = 0;
};

}  // namespace Pavo
