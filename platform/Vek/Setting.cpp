#include "Vek/Setting.h"

#include <cstdio>

#include "Vek/QuotedText.h"

namespace Vek {

std::optional<std::uint64_t> settingNumber(std::string_view text, std::uint64_t max) noexcept {
  std::uint64_t base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return std::nullopt;
  std::uint64_t value = 0;
  for (char const c : text) {
    std::uint64_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint64_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint64_t>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint64_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    // value * base + digit <= max, without overflowing.
    if (digit > max || value > (max - digit) / base)
      return std::nullopt;
    value = value * base + digit;
  }
  return value;
}

void settingRefused(std::string_view variable, std::string_view value, std::string_view problem,
                    std::string_view fallback) noexcept {
  std::string_view const shown = QuotedText(value, '"').view();
  // One call, so that the line is not interleaved with other writers'.
  std::fprintf(stderr, "%.*s=%.*s %.*s; %.*s\n", static_cast<int>(variable.size()), variable.data(),
               static_cast<int>(shown.size()), shown.data(), static_cast<int>(problem.size()),
               problem.data(), static_cast<int>(fallback.size()), fallback.data());
}

}  // namespace Vek
