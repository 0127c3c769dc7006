#include "VekPavo/GenericIf.h"

#include <string>

#include "Vek/CharRange.h"
#include "Vek/QuotedText.h"
#include "VekPavo/InspectAttrs.h"
#include "VekPavo/InspectModule.h"

namespace Vek::GenericIfImpl {

void throwSetFalseValueException(char const* attr) {
  throw Pavo::Exception(std::string("generic set of a member of set attribute ") + attr +
                        " to false: a set member has no false value");
}

}  // namespace Vek::GenericIfImpl

namespace Pavo::Inspect {

void rethrowArg(AttrInfo const& attr, char const* role, Exception const& e) {
  std::string m = attr.owner().name() + " field " + std::to_string(attr.fieldId()) + " (" +
                  attr.name() + "): " + role + ": " + e.msg();
  if (dynamic_cast<RangeException const*>(&e))
    throw RangeException(std::move(m));
  throw Vek::GenericTypeException(std::move(m));
}

}  // namespace Pavo::Inspect

namespace Vek::GenericIf {

using Pavo::Inspect::AttrInfo;
using Pavo::Inspect::TypeInfo;

namespace {

std::string where(AttrInfo const& a) {
  return a.owner().name() + " field " + std::to_string(a.fieldId()) + " (" + a.name() + ")";
}

// The owner object of `a` inside `obj`, for reading.
void const* selfOf(GenericValue const& obj, AttrInfo const& a) {
  if (!obj.holdsEntity())
    return obj.data();
  if (obj.node() == nullptr)
    throw Pavo::NullPointerException(where(a) + ": null entity");
  return a.owner().fromNode(obj.node());
}

// The owner object of `a` inside `obj`, for changing.
void* mutableSelfOf(GenericValue& obj, AttrInfo const& a) {
  if (obj.holdsEntity() && obj.nodeReadOnly()) {
    throw Pavo::Exception(where(a) + ": the entity is held read-only");
  }
  if (!obj.holdsEntity())
    return obj.data();
  return const_cast<void*>(selfOf(obj, a));
}

}  // namespace

TypeInfo const& typeOf(GenericValue const& obj) {
  if (obj.type() == nullptr) {
    throw Pavo::Exception("generic access to a value of no registered type (" + obj.typeName() +
                          ")");
  }
  return *obj.type();
}

AttrInfo const& attr(GenericValue const& obj, Pavo::FieldId fieldId) {
  TypeInfo const& t = typeOf(obj);
  AttrInfo const* a = t.attr(fieldId);
  if (a == nullptr) {
    throw Pavo::Exception(t.name() + " has no attribute with field id " + std::to_string(fieldId));
  }
  return *a;
}

GenericValue read(GenericValue const& obj, Pavo::FieldId fieldId) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.read(selfOf(obj, a));
}

bool has(GenericValue const& obj, Pavo::FieldId fieldId, GenericValue const& key) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.has(selfOf(obj, a), key);
}

GenericValue get(GenericValue const& obj, Pavo::FieldId fieldId, GenericValue const& key) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.get(selfOf(obj, a), key);
}

GenericValue set(GenericValue& obj, Pavo::FieldId fieldId, GenericValue const& key,
                 GenericValue const& value) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.set(mutableSelfOf(obj, a), key, value);
}

GenericValue del(GenericValue& obj, Pavo::FieldId fieldId, GenericValue const& key) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.del(mutableSelfOf(obj, a), key);
}

std::size_t count(GenericValue const& obj, Pavo::FieldId fieldId) {
  AttrInfo const& a = attr(obj, fieldId);
  return a.count(selfOf(obj, a));
}

void iterate(GenericValue const& obj, Pavo::FieldId fieldId, Pavo::Inspect::MemberVisitor visit) {
  AttrInfo const& a = attr(obj, fieldId);
  a.iterate(selfOf(obj, a), visit);
}

GenericValue invoke(GenericValue& obj, Pavo::FieldId fieldId, std::span<GenericValue const> args) {
  AttrInfo const& a = attr(obj, fieldId);
  if (a.kind() == Pavo::Inspect::AttrKind::operation && args.size() != a.args().size()) {
    throw Pavo::Exception(where(a) + " takes " + std::to_string(a.args().size()) +
                          " argument(s), got " + std::to_string(args.size()));
  }
  return a.invoke(mutableSelfOf(obj, a), args);
}

GenericValue construct(TypeInfo const& type, std::span<GenericValue const> args) {
  if (!type.isEntity()) {
    if (args.empty())
      return GenericValue::defaultOf(type);
    if (args.size() == 1 && args[0].type() == &type) {
      return args[0];
    }
  }
  auto const* ctor = type.constructor();
  if (ctor == nullptr)
    throw Pavo::Exception(type.name() + " has no generic constructor");
  if (args.size() != type.ctorArgs().size()) {
    throw Pavo::Exception(type.name() + " constructor takes " +
                          std::to_string(type.ctorArgs().size()) + " argument(s), got " +
                          std::to_string(args.size()));
  }
  try {
    return ctor->make(args);
  } catch (GenericTypeException const& e) {
    throw GenericTypeException(type.name() + " constructor: " + e.msg());
  }
}

GenericValue construct(std::string_view typeName, std::span<GenericValue const> args) {
  TypeInfo const* t = Pavo::ModuleInspectData::typeByName(typeName);
  if (t == nullptr)
    throw Pavo::Exception("no registered type " + quotedText(typeName, 0));
  return construct(*t, args);
}

GenericValue decode(TypeInfo const& type, Pavo::String const& text) {
  CharRange range(text);
  CharRangeCheckAllDataConsumed all(range);
  GenericValue v = GenericValue::fromStrep(type, range);
  all.close();
  return v;
}

}  // namespace Vek::GenericIf
