// Vek::CharRange: the cursor that the text readers of value types consume.
//
// The standard text form of a value of a registered value type is
//
//     TypeName(attr1=value1, attr2=value2, ...)
//
// for example
//
//     SegmentRouting::Mappers::AdjSegmentEntry(isLocal=true, metric=10, sid=16001)
//
// Attributes stand in registration order under their names, separated by ", ";
// each value is written in its own type's text form (nested value types in this
// same form). Builtin scalars: bool as `true`/`false`, unsigned and signed
// integers in decimal, strings double-quoted with `\"` and `\\` escaped.
//
// A reader is a constructor `T(Vek::CharRange&)` that consumes one value from the
// cursor's position, written with the helpers of "VekPavo/CharRangeRead.h"; the
// reader of SegmentRouting::Mappers::AdjSegmentEntry is one.
//
// A value type whose text is not in that form (the outside value types:
// prefixes, router ids, SIDs, ...) has its own parser `T read(CharRange&)`,
// written with expect/readDecimal/readHex/fail, and is read through
// readValue (inside a text form, up to the value's end) or parseValue (a
// whole text), so that it reads alike alone and inside a composite.
//
// Every reading error is a Vek::DeserializeException that names the
// attribute being read (when known) and the character position in the whole
// text; inside a value read with its own parser it also names the type and
// the value's text. Text of the input shows as Vek::QuotedText shows it
// (escaped, cut when long), so an error stays short whatever the text:
//   cannot read attribute 'prefix' at position 19: Vantre::IpGenPrefix "10.0.0/8": expected '.'
// It is a Pavo::RangeException (text outside what the reader accepts), so a
// reader that rethrows range errors under its attribute's name catches
// malformed text too. The range only views its text: the text must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Pavo/Exception.h"

namespace Vek {

// A text could not be read. attr() is the attribute being read ("" when the
// error is outside any attribute), position() the offset of the offending
// character in the whole text.
class DeserializeException : public Pavo::RangeException {
 public:
  DeserializeException(std::string attr, std::size_t position, std::string detail);
  std::string const& attr() const noexcept { return attr_; }
  std::size_t position() const noexcept { return position_; }
  std::string const& detail() const noexcept { return detail_; }

 private:
  std::string attr_;
  std::size_t position_;
  std::string detail_;
};

class CharRange {
 public:
  explicit CharRange(std::string_view text) noexcept : text_(text), end_(text.size()) {}

  // Offset of the next unread character in the whole text.
  std::size_t pos() const noexcept { return pos_; }
  std::string_view text() const noexcept { return text_; }
  // The unread text up to the range's end (the value's end inside readValue).
  std::string_view rest() const noexcept { return text_.substr(pos_, end_ - pos_); }
  bool atEnd() const noexcept { return pos_ == end_; }
  // The next character, or '\0' at the end.
  char peek() const noexcept { return atEnd() ? '\0' : text_[pos_]; }
  // Moves on by `n` characters (at most to the end).
  void advance(std::size_t n) noexcept { pos_ = n < end_ - pos_ ? pos_ + n : end_; }
  void skipSpaces() noexcept;
  // Consumes `literal` when the text continues with it.
  bool consume(std::string_view literal) noexcept;
  // Consumes `literal` or raises "expected ..." at the position.
  void expect(std::string_view literal);
  // Reads one or more decimal digits; `what` names the number in errors. No
  // digit, or a value above `max` (raised at its first digit): an error.
  std::uint64_t readDecimal(std::uint64_t max, char const* what);
  // Reads 1 to `maxDigits` hex digits (either case); none or more: an error.
  std::uint64_t readHex(unsigned maxDigits, char const* what);

  // Each of these consumes its piece or raises DeserializeException naming
  // `attr` and the position where the piece was expected.
  void needOpen(std::string_view typeName, std::string_view attr = {});  // "TypeName("
  void needAttr(std::string_view attr);                                  // "attr="
  void needSep(std::string_view attr);                                   // ", attr="
  void needClose(std::string_view attr = {});                            // ")"

  [[noreturn]] void fail(std::string_view reason, std::string_view attr = {}) const {
    failAt(pos_, reason, attr);
  }
  [[noreturn]] void failAt(std::size_t pos, std::string_view reason,
                           std::string_view attr = {}) const;

 private:
  friend class ValueScope;

  std::string_view text_;
  // Invariant: pos_ <= end_ <= text_.size().
  std::size_t pos_ = 0;
  std::size_t end_;
  // The value being read by its own parser (see ValueScope), for errors.
  char const* typeName_ = nullptr;
  std::size_t valueStart_ = 0;
};

// Builtin scalar readers. Each reads one token at the position and raises
// DeserializeException (position of the token) when it is malformed; a number
// beyond `max` (or below `min`) is refused as out of range.
bool readBool(CharRange& range);
std::uint64_t readUnsigned(CharRange& range, std::uint64_t max);
std::int64_t readSigned(CharRange& range, std::int64_t min, std::int64_t max);
std::string readQuoted(CharRange& range);
// Writes `text` double-quoted, escaping `"` and `\`.
void writeQuoted(std::string_view text, std::string& out);

// Guard over the closing of a value: end() after the last attribute was read
// consumes the closing ")". A guard that is never ended (reading the last
// attribute failed and the exception is on its way) reads nothing further.
class DesAttrPost {
 public:
  explicit DesAttrPost(CharRange& range) noexcept : range_(range) {}
  DesAttrPost(DesAttrPost const&) = delete;
  DesAttrPost& operator=(DesAttrPost const&) = delete;
  void end();

 private:
  CharRange& range_;
};

// Guard over a whole text: close() requires that the range has been consumed
// to its end, else raises DeserializeException at the first unread character.
// A guard left without close() (reading failed) checks nothing.
class CharRangeCheckAllDataConsumed {
 public:
  explicit CharRangeCheckAllDataConsumed(CharRange& range) noexcept : range_(range) {}
  CharRangeCheckAllDataConsumed(CharRangeCheckAllDataConsumed const&) = delete;
  CharRangeCheckAllDataConsumed& operator=(CharRangeCheckAllDataConsumed const&) = delete;
  void close();

 private:
  CharRange& range_;
};

// One value read by its own parser. While the scope lives the range ends
// where the value does and errors name the type and the value's text. With
// Extent::value the value starts after blanks and ends at the first ',' or
// unmatched ')' (no such value's text holds either outside parentheses of
// its own), so it can neither read into the next attribute nor be misled by
// it when it looks ahead; close() allows only blanks after it and leaves the
// range right after it. With Extent::text the value is the rest of the text,
// all of which it must use. A scope left without close() (reading failed)
// puts the range back where it found it.
class ValueScope {
 public:
  enum class Extent { value, text };
  ValueScope(CharRange& range, char const* typeName, Extent extent) noexcept;
  ValueScope(ValueScope const&) = delete;
  ValueScope& operator=(ValueScope const&) = delete;
  ~ValueScope();
  void close();

 private:
  CharRange& range_;
  Extent extent_;
  bool closed_ = false;
  std::size_t from_;
  // The enclosing state of the range, restored on leaving.
  std::size_t end_;
  char const* typeName_;
  std::size_t valueStart_;
};

// Reads one T with its parser `read` at the range's position; `typeName`
// names T in errors and must outlive the call.
template <class T>
T readValue(CharRange& range, char const* typeName, T (*read)(CharRange&),
            ValueScope::Extent extent = ValueScope::Extent::value) {
  ValueScope scope(range, typeName, extent);
  T value = read(range);
  scope.close();
  return value;
}

// The whole `text` must be one T.
template <class T>
T parseValue(std::string_view text, char const* typeName, T (*read)(CharRange&)) {
  CharRange range(text);
  return readValue(range, typeName, read, ValueScope::Extent::text);
}

// Raises the error `e` again as a DeserializeException that names `attr`.
// A DeserializeException (every reading error) keeps its position and is
// re-attributed only when it named no attribute; any other Pavo::Exception
// becomes one at `position` (npos: position unknown).
[[noreturn]] void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr,
                                             std::size_t position = std::string::npos);
[[noreturn]] void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr,
                                             CharRange const& range);

}  // namespace Vek
