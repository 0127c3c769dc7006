// Pavo::String: the framework's string type for text forms and messages.
//
// An alias of std::string: values written by the text writers and read by the
// text readers (Vek::strepToValue) travel as Pavo::String.
#pragma once

#include <string>

namespace Pavo {

using String = std::string;

}  // namespace Pavo
