#include "Membly/Membly.h"

#include <cstdlib>

#include "Vek/Setting.h"

namespace Membly {

std::size_t alignmentFromText(char const* text) noexcept {
  if (text == nullptr)
    return kDefaultAlignment;
  auto const v = Vek::settingNumber(text, kMaxAlignment);
  if (v && *v >= kMinAlignment && (*v & (*v - 1)) == 0)
    return static_cast<std::size_t>(*v);
  static_assert(kMinAlignment == 8 && kMaxAlignment == 4096 && kDefaultAlignment == 64,
                "the message names the bounds and the default");
  Vek::settingRefused("MEMBLY_BUFFER_ALIGNMENT_OVERRIDE", text,
                      "is not a power of two from 8 to 4096 in decimal or 0x-hex", "using 64");
  return kDefaultAlignment;
}

std::size_t bufferAlignment() noexcept {
  // Function-local static: initialised exactly once, thread-safely.
  static std::size_t const alignment =
      alignmentFromText(std::getenv("MEMBLY_BUFFER_ALIGNMENT_OVERRIDE"));
  return alignment;
}

}  // namespace Membly
