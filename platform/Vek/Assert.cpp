#include "Vek/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace Vek {

void assertionFailed(char const* text, char const* source, char const* function) noexcept {
  std::fprintf(stderr, "assertion failed: %s [source %s] in %s\n", text, source, function);
  std::fflush(stderr);
  std::abort();
}

}  // namespace Vek
