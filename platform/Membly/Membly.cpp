#include "Membly/Membly.h"

#include <cstdlib>

namespace Membly {

std::size_t alignmentFromText(char const* text) noexcept {
  if (text == nullptr || *text == '\0')
    return kDefaultAlignment;
  char* end = nullptr;
  unsigned long long const v = std::strtoull(text, &end, 0);
  bool const whole = end != nullptr && *end == '\0' && *text != '-' && *text != '+';
  bool const powerOfTwo = v != 0 && (v & (v - 1)) == 0;
  if (!whole || !powerOfTwo || v < kMinAlignment || v > kMaxAlignment)
    return kDefaultAlignment;
  return static_cast<std::size_t>(v);
}

std::size_t bufferAlignment() noexcept {
  // Function-local static: initialised exactly once, thread-safely.
  static std::size_t const alignment =
      alignmentFromText(std::getenv("MEMBLY_BUFFER_ALIGNMENT_OVERRIDE"));
  return alignment;
}

}  // namespace Membly
