#include "VekPavo/Strep.h"

#include <vector>

#include "VekPavo/InspectModule.h"

namespace VekPavo::Impl {

void throwNoStringConstructor(std::string const& typeName) {
  std::size_t const scope = typeName.rfind("::");
  std::string const shortName = scope == std::string::npos ? typeName : typeName.substr(scope + 2);
  throw Pavo::Exception("No String constructor for " + shortName + " - has collection");
}

void valueToStrep(Pavo::Inspect::TypeInfo const& type, void const* value, Pavo::String& out) {
  if (type.hasCollection())
    throwNoStringConstructor(type.name());
  out += type.name();
  out += '(';
  for (std::size_t i = 0; i < type.attrCount(); ++i) {
    Pavo::Inspect::AttrInfo const& a = type.attrAt(i);
    if (i > 0)
      out += ", ";
    out += a.name();
    out += '=';
    a.read(value).toStrep(out);
  }
  out += ')';
}

Pavo::String valueToStrep(Pavo::TypeData const& typeData, void const* value) {
  Pavo::Inspect::TypeInfo const* type = Pavo::ModuleInspectData::typeOf(typeData);
  if (type == nullptr)
    throw Pavo::Exception("valueToStrep of an unregistered type");
  Pavo::String out;
  valueToStrep(*type, value, out);
  return out;
}

Vek::GenericValue strepToValue(Pavo::Inspect::TypeInfo const& type, Vek::CharRange& range) {
  if (type.hasCollection())
    throwNoStringConstructor(type.name());
  auto const* ctor = type.constructor();
  std::vector<Vek::GenericValue> args;
  std::size_t const n = type.attrCount();
  range.needOpen(type.name(), n ? std::string_view(type.attrAt(0).name()) : std::string_view());
  for (std::size_t i = 0; i < n; ++i) {
    Pavo::Inspect::AttrInfo const& a = type.attrAt(i);
    if (i == 0) {
      range.needAttr(a.name());
    } else {
      range.needSep(a.name());
    }
    try {
      args.push_back(Vek::GenericValue::fromStrep(*a.valueType(), range));
    } catch (Pavo::Exception const& e) {
      Vek::rethrowFromDeserializeAttr(e, a.name().c_str(), range);
    }
  }
  range.needClose();
  if (n == 0)
    return Vek::GenericValue::defaultOf(type);
  if (ctor == nullptr || type.ctorArgs().size() != n) {
    throw Pavo::Exception("type " + type.name() +
                          " has no constructor from its attributes to read its text with");
  }
  return ctor->make(args);
}

}  // namespace VekPavo::Impl
