// readableProblem(message): what keeps a message that may show outside input
// from being readable on a terminal, "" when nothing does: a message stays
// within kReadableMax characters and holds printable ASCII only.
// hostileTexts(): outside input of every kind to make such messages from.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace TestSupport {

inline constexpr std::size_t kReadableMax = 400;

inline std::string readableProblem(std::string_view message) {
  if (message.size() > kReadableMax)
    return std::to_string(message.size()) + " characters: " + std::string(message.substr(0, 200));
  for (char const c : message) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
      return "byte " + std::to_string(static_cast<unsigned char>(c)) + " in the message";
  }
  return {};
}

// Texts of every kind, the same each call: empty, a byte-order mark, control
// characters, a run of a million of each of some characters readers stop at,
// and short and long ones printable, of any byte (NUL too when `withNul`) or
// mostly printable.
inline std::vector<std::string> hostileTexts(bool withNul) {
  std::mt19937 rng(20260319);
  auto const pick = [&rng](unsigned n) {
    return std::uniform_int_distribution<unsigned>(0, n - 1)(rng);
  };
  std::vector<std::string> out{"", "\xEF\xBB\xBF", "\xEF\xBB\xBFstart", "\x1b[31m\r\x07\t\x7f"};
  for (char const c : std::string_view("90af.:/x\\ "))
    out.emplace_back(std::size_t{1} << 20, c);
  for (int i = 0; i < 400; ++i) {
    std::string t;
    unsigned const kind = pick(3);  // printable, any byte, mostly printable
    for (unsigned n = pick(2) == 0 ? pick(12) : pick(300); n > 0; --n) {
      unsigned const b = kind == 0 || (kind == 2 && pick(8) != 0) ? 0x20 + pick(0x5F) : pick(256);
      t += static_cast<char>(b == 0 && !withNul ? 1 : b);
    }
    out.push_back(t);
  }
  return out;
}

}  // namespace TestSupport
