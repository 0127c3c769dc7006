// VekPavo text forms: the generic writer and reader of registered values.
//
// The standard form (documented in "Vek/CharRange.h") is
//     TypeName(attr1=value1, attr2=value2)
// valueToStrep writes it from the type's attribute table: every attribute in
// registration order under its name, each value in its own type's text form.
// A value type with a collection attribute has no text form; writing or
// reading one is refused ("No String constructor for EntryList - has
// collection": the name without its namespaces).
// The generic reader reads the same form and builds the value through the
// type's declared constructor, whose arguments must be its attributes in order.
//
//   Pavo::String s = VekPavo::valueToStrep(entry);
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "Pavo/String.h"
#include "Vek/CharRange.h"
#include "VekPavo/GenericValue.h"
#include "VekPavo/InspectTypes.h"

namespace VekPavo {

namespace Impl {

// Appends the text form of the value at `value`, of registered type `type`.
void valueToStrep(Pavo::Inspect::TypeInfo const& type, void const* value, Pavo::String& out);
Pavo::String valueToStrep(Pavo::TypeData const& typeData, void const* value);
// Reads one value of `type` in the standard form through its constructor.
Vek::GenericValue strepToValue(Pavo::Inspect::TypeInfo const& type, Vek::CharRange& range);
// Refuses with "No String constructor for <short name> - has collection",
// the type's name without its namespaces ("AdjSegmentList").
[[noreturn]] void throwNoStringConstructor(std::string const& typeName);

}  // namespace Impl

// The text form of any registered value or builtin scalar.
template <class T>
Pavo::String valueToStrep(T const& value) {
  return Vek::GenericValue(value).strep();
}

// The name of an enum value from its registered name table; a value without
// a name is written as its number.
template <class E>
requires std::is_enum_v<E> Pavo::String enumToStrep(E value) {
  auto const n = static_cast<std::int64_t>(value);
  char const* name = Pavo::Inspect::typeOf<E>()->enumName(n);
  return name ? Pavo::String(name) : std::to_string(n);
}

}  // namespace VekPavo
