#include "VekPavo/InspectTypes.h"

#include <cxxabi.h>

#include <cstdlib>

#include "Pavo/Exception.h"
#include "VekPavo/GenericValue.h"

namespace Pavo::Inspect {

char const* attrKindName(AttrKind kind) noexcept {
  switch (kind) {
    case AttrKind::value:
      return "value attribute";
    case AttrKind::counted:
      return "counted pointer";
    case AttrKind::orderedCollection:
      return "ordered collection";
    case AttrKind::hashCollection:
      return "hash collection";
    case AttrKind::operation:
      return "operation";
  }
  return "attribute";
}

TypeInfo::TypeInfo(std::string name, TypeKind kind, std::type_info const& cxxType)
    : name_(std::move(name)), kind_(kind), cxxType_(&cxxType) {}

TypeInfo::~TypeInfo() = default;

TypeInfo::Constructor::~Constructor() = default;

AttrInfo const* TypeInfo::attr(FieldId fieldId) const noexcept {
  if (fieldId < firstFieldId() || fieldId - firstFieldId() >= attrs_.size())
    return nullptr;
  return attrs_[fieldId - firstFieldId()].get();
}

AttrInfo const* TypeInfo::attr(std::string_view name) const noexcept {
  for (auto const& a : attrs_) {
    if (a->name() == name)
      return a.get();
  }
  return nullptr;
}

bool TypeInfo::hasCollection() const noexcept {
  for (auto const& a : attrs_) {
    if (a->isCollection())
      return true;
  }
  return false;
}

char const* TypeInfo::enumName(std::int64_t value) const noexcept {
  for (auto const& [v, n] : enumNames_) {
    if (v == value)
      return n.c_str();
  }
  return nullptr;
}

bool TypeInfo::enumValue(std::string_view name, std::int64_t& value) const noexcept {
  for (auto const& [v, n] : enumNames_) {
    if (n == name) {
      value = v;
      return true;
    }
  }
  return false;
}

void TypeInfo::placeIn(ModuleInspectData const* module, std::uint32_t index) noexcept {
  module_ = module;
  index_ = index;
}

AttrInfo& TypeInfo::attrAdd(std::unique_ptr<AttrInfo> attr) {
  if (this->attr(attr->name()) != nullptr) {
    throw Exception(name_ + " declares attribute " + attr->name() + " twice");
  }
  attr->placeIn(this, firstFieldId() + static_cast<FieldId>(attrs_.size()));
  attrs_.push_back(std::move(attr));
  return *attrs_.back();
}

void TypeInfo::enumNameAdd(std::int64_t value, std::string name) {
  enumNames_.emplace_back(value, std::move(name));
}

void TypeInfo::constructorIs(std::vector<ArgInfo> args, std::unique_ptr<Constructor> construct) {
  ctorArgs_ = std::move(args);
  construct_ = std::move(construct);
}

AttrInfo::AttrInfo(std::string name, AttrKind kind, TypeRef keyType, TypeRef valueType)
    : name_(std::move(name)), kind_(kind), keyType_(keyType), valueType_(valueType) {}

AttrInfo::~AttrInfo() = default;

void AttrInfo::refuse(char const* what) const {
  throw Exception(owner().name() + " field " + std::to_string(fieldId_) + " (" + name_ + ") is a " +
                  attrKindName(kind_) + ": " + what + " not supported");
}

Vek::GenericValue AttrInfo::read(void const*) const {
  refuse("read");
}
bool AttrInfo::has(void const*, Vek::GenericValue const&) const {
  refuse("has");
}
Vek::GenericValue AttrInfo::get(void const*, Vek::GenericValue const&) const {
  refuse("get");
}
Vek::GenericValue AttrInfo::set(void*, Vek::GenericValue const&, Vek::GenericValue const&) const {
  refuse("set");
}
Vek::GenericValue AttrInfo::del(void*, Vek::GenericValue const&) const {
  refuse("delete");
}
std::size_t AttrInfo::count(void const*) const {
  refuse("count");
}
void AttrInfo::iterate(void const*, MemberVisitor) const {
  refuse("iterate");
}
Vek::GenericValue AttrInfo::invoke(void*, std::span<Vek::GenericValue const>) const {
  refuse("invoke");
}

void throwNonHashableType(char const* typeName) {
  throw Exception(std::string("type ") + typeName + " is not hashable");
}

void throwUnregisteredType(std::type_info const& type) {
  throw Exception("type " + cxxTypeName(type) + " is not registered");
}

std::string cxxTypeName(std::type_info const& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : type.name();
  std::free(demangled);
  return name;
}

}  // namespace Pavo::Inspect
