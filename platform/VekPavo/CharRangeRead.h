// Vek text-reading helpers over a CharRange: the pieces a value type's text
// reader is written with, and whole-string decoding.
//
//   desAttrPre<T>(range, typeName, attr)  "TypeName(attr=" then a T
//   desAttrIntra<T>(range, attr)          ", attr=" then a T
//   range.needSep(attr)                   ", attr=" (the reader reads the value itself)
//   DesAttrPost / CharRangeCheckAllDataConsumed   see "Vek/CharRange.h"
//   strepToValue<T>(text)                 one T from the whole text
//
// A value is read by readText<T>: builtin scalars by the builtin readers, a
// type with a constructor T(CharRange&) by it, any other registered type by
// its registered reader. An error while reading an attribute's value names
// that attribute (rethrowFromDeserializeAttr).
#pragma once

#include <limits>
#include <string>
#include <type_traits>

#include "Pavo/String.h"
#include "Vek/CharRange.h"
#include "VekPavo/GenericValue.h"

namespace Vek {

template <class T>
T readText(CharRange& range) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, bool>) {
    return readBool(range);
  } else if constexpr (std::is_integral_v<U> && std::is_signed_v<U>) {
    return static_cast<U>(
        readSigned(range, std::numeric_limits<U>::min(), std::numeric_limits<U>::max()));
  } else if constexpr (std::is_integral_v<U>) {
    return static_cast<U>(readUnsigned(range, std::numeric_limits<U>::max()));
  } else if constexpr (std::is_same_v<U, std::string>) {
    return readQuoted(range);
  } else if constexpr (std::is_constructible_v<U, CharRange&>) {
    return U(range);
  } else {
    return GenericValue::fromStrep(*Pavo::Inspect::typeOf<U>(), range).template ref<U>();
  }
}

// Reads the value of attribute `attr`; errors name it.
template <class T>
T desAttrValue(CharRange& range, char const* attr) {
  try {
    return readText<T>(range);
  } catch (Pavo::Exception const& e) {
    rethrowFromDeserializeAttr(e, attr, range);
  }
}

template <class T>
T desAttrPre(CharRange& range, char const* typeName, char const* attr) {
  range.needOpen(typeName, attr);
  range.needAttr(attr);
  return desAttrValue<T>(range, attr);
}

template <class T>
T desAttrIntra(CharRange& range, char const* attr) {
  range.needSep(attr);
  return desAttrValue<T>(range, attr);
}

template <class T>
T strepToValue(Pavo::String const& text) {
  CharRange range(text);
  CharRangeCheckAllDataConsumed all(range);
  T value = readText<T>(range);
  all.close();
  return value;
}

}  // namespace Vek
