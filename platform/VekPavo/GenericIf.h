// Vek::GenericIf: the generic interface, reaching every attribute of every
// registered entity or value by field id.
//
// The object is a GenericValue: a counted pointer to an entity, or a value of
// a registered value type (changed in place by set and del). Every call finds
// the object's TypeInfo, the attribute by field id, checks that the attribute
// is of a kind that supports the call and converts the arguments to the C++
// types of the declared member functions. Refusals are Pavo::Exceptions whose
// message names the type and the field id:
//
//   "Demo::Router has no attribute with field id 140"
//   "Demo::Router field 131 (flag) is a ordered collection: read not supported"
//   "Demo::Router field 131 (flag): key: expected U32, got bool"
//
//   Vek::GenericValue r = router;
//   GenericIf::set(r, 131, p, true);  // router->prefixIs(p, true)
//   bool f = GenericIf::get(r, 131, p).as<bool>();
//   GenericIf::iterate(r, 131, [](GenericValue const& k, GenericValue const&) { use(k); });
//   GenericIf::invoke(r, 132);
//   GenericValue e = GenericIf::construct("Example::Router", {7u});
//
// Collections: get of an absent key answers the value type's default (false,
// a null pointer, an empty value); on a set, get answers membership and set
// with true adds while set with false raises the set-false error. Nothing here
// is a hot path: boxing a large value may allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "Pavo/String.h"
#include "VekPavo/GenericValue.h"
#include "VekPavo/InspectTypes.h"

namespace Vek::GenericIfImpl {
[[noreturn]] void throwSetFalseValueException(char const* attr);
}  // namespace Vek::GenericIfImpl

namespace Vek::GenericIf {

using Args = std::initializer_list<GenericValue>;

// The registered type of `obj`; raises for an empty box or an unregistered entity.
Pavo::Inspect::TypeInfo const& typeOf(GenericValue const& obj);
// The attribute with `fieldId`; raises naming type and field id when there is none.
Pavo::Inspect::AttrInfo const& attr(GenericValue const& obj, Pavo::FieldId fieldId);

// Value and counted-pointer attributes.
GenericValue read(GenericValue const& obj, Pavo::FieldId fieldId);

// Collections.
bool has(GenericValue const& obj, Pavo::FieldId fieldId, GenericValue const& key);
GenericValue get(GenericValue const& obj, Pavo::FieldId fieldId, GenericValue const& key);
// Returns what the owner's `...Is` returned (empty when nothing).
GenericValue set(GenericValue& obj, Pavo::FieldId fieldId, GenericValue const& key,
                 GenericValue const& value);
// Returns what the owner's `...Del` returned.
GenericValue del(GenericValue& obj, Pavo::FieldId fieldId, GenericValue const& key);
std::size_t count(GenericValue const& obj, Pavo::FieldId fieldId);
// Calls visit(key, value) for each member in the collection's order (a set's
// members with value true). The visitor may change the collection.
void iterate(GenericValue const& obj, Pavo::FieldId fieldId, Pavo::Inspect::MemberVisitor visit);
template <class F>
void iterate(GenericValue const& obj, Pavo::FieldId fieldId, F&& visit) {
  iterate(obj, fieldId, Pavo::Inspect::MemberVisitor(visit));
}

// Operations.
GenericValue invoke(GenericValue& obj, Pavo::FieldId fieldId, std::span<GenericValue const> args);
inline GenericValue invoke(GenericValue& obj, Pavo::FieldId fieldId, Args args = {}) {
  return invoke(obj, fieldId, std::span<GenericValue const>(args.begin(), args.size()));
}

// Construction from an argument list: the declared constructor; for a value
// type also no argument (default) or one of its own type (copy).
GenericValue construct(Pavo::Inspect::TypeInfo const& type, std::span<GenericValue const> args);
inline GenericValue construct(Pavo::Inspect::TypeInfo const& type, Args args) {
  return construct(type, std::span<GenericValue const>(args.begin(), args.size()));
}
GenericValue construct(std::string_view typeName, std::span<GenericValue const> args);
inline GenericValue construct(std::string_view typeName, Args args = {}) {
  return construct(typeName, std::span<GenericValue const>(args.begin(), args.size()));
}

// Value operations (see GenericValue); decode reads the whole text.
inline bool isEq(GenericValue const& a, GenericValue const& b) {
  return a.isEq(b);
}
inline bool less(GenericValue const& a, GenericValue const& b) {
  return a.less(b);
}
inline bool truth(GenericValue const& v) {
  return v.truth();
}
inline std::uint32_t hash(GenericValue const& v) {
  return v.hash();
}
inline Pavo::String encode(GenericValue const& v) {
  return v.strep();
}
GenericValue decode(Pavo::Inspect::TypeInfo const& type, Pavo::String const& text);

}  // namespace Vek::GenericIf
