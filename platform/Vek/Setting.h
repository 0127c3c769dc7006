// Vek settings: the strict number reader shared by the platform layer's
// environment settings, and the one message a refused value gets.
//
// A number is unsigned decimal ("4096") or hex after "0x" or "0X" ("0x1000"),
// and nothing else: no sign, no blanks, no octal (a leading zero is still
// decimal, "010" is ten), no empty text, nothing after the digits, and at most
// the reader's maximum. A setting whose value is refused writes exactly one
// line to standard error naming the variable and the value (as
// Vek::QuotedText shows it: escaped, and cut when long), then takes its
// documented fallback:
//
//   VEK_HASH_SEED="abc" is not a decimal or 0x-hex number that fits 32 bits; using a random seed
//
// Neither function allocates; both can run in static initialisers.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Vek {

// The number `text` writes, or nullopt when it is not one or exceeds `max`.
std::optional<std::uint64_t> settingNumber(std::string_view text, std::uint64_t max) noexcept;

// Writes `<variable>="<value>" <problem>; <fallback>` and a newline to
// standard error in one write; `problem` must quote any input it shows.
void settingRefused(std::string_view variable, std::string_view value, std::string_view problem,
                    std::string_view fallback) noexcept;

}  // namespace Vek
