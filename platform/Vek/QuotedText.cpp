#include "Vek/QuotedText.h"

#include <charconv>
#include <cstring>

namespace Vek {

namespace {

bool printable(char c) noexcept {
  auto const b = static_cast<unsigned char>(c);
  return b >= 0x20 && b < 0x7F;
}

// The characters `c` shows as: itself, "\\" for a backslash (so that an
// escape is never ambiguous), else "\xHH".
std::size_t width(char c) noexcept {
  return c == '\\' ? 2 : printable(c) ? 1 : 4;
}

// How many bytes from the start (or the end) of `text` show within `room`
// characters.
std::size_t fitting(std::string_view text, std::size_t room, bool fromEnd = false) noexcept {
  std::size_t n = 0;
  for (; n < text.size(); ++n) {
    std::size_t const w = width(text[fromEnd ? text.size() - 1 - n : n]);
    if (w > room)
      break;
    room -= w;
  }
  return n;
}

}  // namespace

QuotedText::QuotedText(std::string_view text, char quote, Keep keep) noexcept {
  bool const cut = fitting(text, kShown) < text.size();
  if (quote != 0)
    put(std::string_view(&quote, 1));
  if (!cut) {
    putShown(text);
  } else if (keep == Keep::start) {
    putShown(text.substr(0, fitting(text, kShown - 3)));
    put("...");
  } else {
    put("...");
    putShown(text.substr(text.size() - fitting(text, kShown - 3, true)));
  }
  if (quote != 0)
    put(std::string_view(&quote, 1));
  if (cut) {
    put(" (");
    size_ = static_cast<std::size_t>(
        std::to_chars(chars_ + size_, chars_ + kMaxSize, text.size()).ptr - chars_);
    put(" bytes)");
  }
}

void QuotedText::put(std::string_view s) noexcept {
  std::memcpy(chars_ + size_, s.data(), s.size());
  size_ += s.size();
}

void QuotedText::putShown(std::string_view shown) noexcept {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char const c : shown) {
    auto const b = static_cast<unsigned char>(c);
    char const escaped[] = {'\\', c == '\\' ? '\\' : 'x', kHex[b >> 4], kHex[b & 0xF]};
    put(std::string_view(width(c) == 1 ? &c : escaped, width(c)));
  }
}

}  // namespace Vek
