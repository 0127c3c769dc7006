#include "Vek/PodArray.h"

#include <string>

namespace Vek {

void throwPodArrayIndexException(std::uint32_t index, std::uint32_t count) {
  throw Pavo::RangeException("array index " + std::to_string(index) +
                             " is not below the count of " + std::to_string(count));
}

}  // namespace Vek
