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
// cursor's position. Readers are written with the helpers of "Vek/CharRangeRead.h":
//
//     AdjSegmentEntry::AdjSegmentEntry(Vek::CharRange& range) {
//       isLocal_ = Vek::desAttrPre<bool>(range, "SegmentRouting::Mappers::AdjSegmentEntry",
//                                        "isLocal");
//       metric_ = Vek::desAttrIntra<unsigned>(range, "metric");
//       range.needSep("sid");
//       Vek::DesAttrPost post(range);
//       try {
//         sid_ = Mpls::SegmentRouting::SegmentIdentifier(range);
//       } catch (Pavo::RangeException const& e) {
//         Vek::rethrowFromDeserializeAttr(e, "sid");
//       }
//       post.end();
//     }
//
// Every reading error, of the framework's readers and of the outside value
// types' parsers alike, is a Vek::DeserializeException that names the
// attribute being read (when known) and the character position in the whole
// text. It is a Pavo::RangeException (text outside what the reader accepts),
// so a reader that rethrows range errors under its attribute's name catches
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
  explicit CharRange(std::string_view text) noexcept : text_(text) {}

  // Offset of the next unread character; invariant: pos_ <= text_.size().
  std::size_t pos() const noexcept { return pos_; }
  std::string_view text() const noexcept { return text_; }
  std::string_view rest() const noexcept { return text_.substr(pos_); }
  bool atEnd() const noexcept { return pos_ == text_.size(); }
  // The next character, or '\0' at the end.
  char peek() const noexcept { return atEnd() ? '\0' : text_[pos_]; }
  // Moves on by `n` characters (at most to the end).
  void advance(std::size_t n) noexcept { pos_ = n < text_.size() - pos_ ? pos_ + n : text_.size(); }
  void skipSpaces() noexcept;
  // Consumes `literal` when the text continues with it.
  bool consume(std::string_view literal) noexcept;

  // Each of these consumes its piece or raises DeserializeException naming
  // `attr` and the position where the piece was expected.
  void needOpen(std::string_view typeName, std::string_view attr = {});  // "TypeName("
  void needAttr(std::string_view attr);                                  // "attr="
  void needSep(std::string_view attr);                                   // ", attr="
  void needClose(std::string_view attr = {});                            // ")"

  [[noreturn]] void fail(std::string_view attr, std::string detail) const;

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
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

// Raises the error `e` again as a DeserializeException that names `attr`.
// A DeserializeException (every reading error) keeps its position and is
// re-attributed only when it named no attribute; any other Pavo::Exception
// becomes one at `position` (npos: position unknown).
[[noreturn]] void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr,
                                             std::size_t position = std::string::npos);
[[noreturn]] void rethrowFromDeserializeAttr(Pavo::Exception const& e, char const* attr,
                                             CharRange const& range);

}  // namespace Vek
