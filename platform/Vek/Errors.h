// Vek error helpers: the framework's throw points for bounded arrays and
// mutator arguments. Each builds a message that names what went wrong.
#pragma once

#include <cstdint>

#include "Pavo/Exception.h"
#include "Pavo/Publisher.h"

namespace Vek {

struct PodArrayImpl {
  // Raises Pavo::RangeException: `count` records do not fit an array bounded by `bound`.
  [[noreturn]] static void throwRangeException(std::uint32_t bound, std::uint32_t count);
};

// Raises Pavo::NullPointerException: a mutator of `type` for attribute
// `field` was handed a null counted pointer.
[[noreturn]] void throwMutatorArgNullPointerException(char const* type, Pavo::FieldId field);

}  // namespace Vek
