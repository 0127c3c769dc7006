// readableProblem(message): what keeps a message that may show outside input
// from being readable on a terminal, "" when nothing does: a message stays
// within kReadableMax characters and holds printable ASCII only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

}  // namespace TestSupport
