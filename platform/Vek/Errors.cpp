#include "Vek/Errors.h"

#include <string>

namespace Vek {

void PodArrayImpl::throwRangeException(std::uint32_t bound, std::uint32_t count) {
  throw Pavo::RangeException("array count " + std::to_string(count) + " exceeds its bound of " +
                             std::to_string(bound));
}

void throwMutatorArgNullPointerException(char const* type, Pavo::FieldId field) {
  throw Pavo::NullPointerException(std::string("null pointer handed to the mutator of ") + type +
                                   " for field " + std::to_string(field));
}

}  // namespace Vek
