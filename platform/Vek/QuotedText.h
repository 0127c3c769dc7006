// Vek::QuotedText: a piece of outside input (a word of a file, a command-line
// argument, an environment value, a text being read) as a message shows it,
// readable whatever the input: printable ASCII stands as it is (but for the
// backslash, shown as \\), every other byte as \xHH, and a text whose shown
// form would pass kShown characters
// shows only what fits in kShown, then an ellipsis, and after the closing
// quote the text's length:
//
//   Vek::QuotedText(word).view()         'start'               (as it was)
//   Vek::QuotedText(bom + word).view()   '\xEF\xBB\xBFstart'
//   Vek::QuotedText(token, '"').view()   "aaa...aaa..." (1048576 bytes)
//   Vek::QuotedText(path, 0, Vek::QuotedText::Keep::end).view()
//                                        ...dir/file.srm (300 bytes)
//
// A quote of 0 writes none. Keep::end shows the end of the text instead (the
// part of a path that names the file). A short printable text without a
// backslash therefore reads exactly as it is; no result holds a control byte or passes kMaxSize
// characters. Built in place, nothing allocated, so that the environment
// settings can use it in static initialisers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Vek {

class QuotedText {
 public:
  enum class Keep { start, end };
  static constexpr std::size_t kShown = 80;
  // Quotes, what is shown, the ellipsis and " (N bytes)" for any size_t N.
  static constexpr std::size_t kMaxSize = 2 + kShown + 3 + 2 + 20 + 7;

  explicit QuotedText(std::string_view text, char quote = '\'', Keep keep = Keep::start) noexcept;

  std::string_view view() const noexcept { return {chars_, size_}; }
  std::string str() const { return std::string(view()); }

 private:
  void put(std::string_view s) noexcept;
  void putShown(std::string_view shown) noexcept;

  char chars_[kMaxSize];
  std::size_t size_ = 0;  // invariant: <= kMaxSize
};

// QuotedText(text, quote).str(): for messages built as strings.
inline std::string quotedText(std::string_view text, char quote = '\'') {
  return QuotedText(text, quote).str();
}

}  // namespace Vek
