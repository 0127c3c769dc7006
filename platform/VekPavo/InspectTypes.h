// Pavo::Inspect type records: what the framework knows about each registered
// type, and how it reaches the type's attributes without knowing the C++ type.
//
// A TypeInfo describes one type: its full name, its kind (builtin scalar, enum,
// value type or entity), the value operations of non-entity types (ValueOps),
// its attribute table and its constructor's argument names. It is owned by the
// ModuleInspectData the type was registered in ("VekPavo/InspectModule.h") and
// lives as long as that module; TypeData (module + index) leads back to it.
//
// Attribute field ids are never written by hand: the n-th attribute declared
// gets firstFieldId() + n, where firstFieldId() is 130 for an entity and 2 for
// a value type. AttrInfo is the abstract accessor of one attribute; the
// declaration DSL ("VekPavo/InspectDsl.h") makes the concrete ones from member
// function pointers. Users go through Vek::GenericIf ("VekPavo/GenericIf.h"), which
// checks field ids, kinds and argument types before calling an AttrInfo.
//
// typeOf<T>() maps a C++ type to its record: builtin scalars are always known;
// other types once their module has registered them. Attribute records keep
// such look-ups as TypeRef and resolve them on use, so modules may register in
// any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "Pavo/Publisher.h"
#include "Pavo/TypeData.h"

namespace Vek {
class CharRange;
class GenericValue;
}  // namespace Vek

namespace Pavo {

class Node;

namespace Inspect {

class TypeInfo;

enum class TypeKind : std::uint8_t { builtin, enumeration, value, entity };
enum class AttrKind : std::uint8_t {
  value,              // a plain value read through a getter
  counted,            // a counted pointer to an entity, read through a getter
  orderedCollection,  // Vek::RbTreeMap
  hashCollection,     // Vek::HashMap2018 (a set when it has no value)
  operation,          // a member function invoked with named arguments
};
char const* attrKindName(AttrKind kind) noexcept;

// Resolves a type record on use; raises Pavo::Exception for an unregistered type.
using TypeRef = TypeInfo const* (*)();

// The operations of a non-entity type on raw storage. `hash` is null for a
// type declared non-hashable; `fromStrep` null for a type without a reader.
struct ValueOps {
  std::size_t size = 0;
  std::size_t align = 0;
  void (*construct)(void* at) = nullptr;
  void (*copy)(void* at, void const* from) = nullptr;
  void (*move)(void* at, void* from) noexcept = nullptr;
  void (*destroy)(void* at) noexcept = nullptr;
  bool (*isEq)(void const* a, void const* b) = nullptr;
  bool (*less)(void const* a, void const* b) = nullptr;
  bool (*truth)(void const* v) = nullptr;
  std::uint32_t (*hash)(void const* v) = nullptr;
  // Appends the value's text form; null: the generic attribute writer.
  void (*toStrep)(void const* v, std::string& out) = nullptr;
  // Constructs a value at `at` from the range; null: the generic attribute reader.
  void (*fromStrep)(Vek::CharRange& range, void* at) = nullptr;
};

struct ArgInfo {
  std::string name;
  TypeRef type;
};

class AttrInfo;

// Callback of a collection walk; stays valid for the walk only.
class MemberVisitor {
 public:
  template <class F>
  MemberVisitor(F& f) noexcept  // NOLINT: binds any callable by reference
      : obj_(&f), call_([](void* o, Vek::GenericValue const& k, Vek::GenericValue const& v) {
          (*static_cast<F*>(o))(k, v);
        }) {}
  void operator()(Vek::GenericValue const& key, Vek::GenericValue const& value) const {
    call_(obj_, key, value);
  }

 private:
  void* obj_;
  void (*call_)(void*, Vek::GenericValue const&, Vek::GenericValue const&);
};

class TypeInfo {
 public:
  TypeInfo(std::string name, TypeKind kind, std::type_info const& cxxType);
  TypeInfo(TypeInfo const&) = delete;
  TypeInfo& operator=(TypeInfo const&) = delete;
  ~TypeInfo();

  std::string const& name() const noexcept { return name_; }
  TypeKind kind() const noexcept { return kind_; }
  bool isEntity() const noexcept { return kind_ == TypeKind::entity; }
  std::type_info const& cxxType() const noexcept { return *cxxType_; }
  ModuleInspectData const* module() const noexcept { return module_; }
  std::uint32_t index() const noexcept { return index_; }
  TypeData typeData() const noexcept { return TypeData{module_, index_}; }

  FieldId firstFieldId() const noexcept { return isEntity() ? 130 : 2; }
  std::size_t attrCount() const noexcept { return attrs_.size(); }
  AttrInfo const& attrAt(std::size_t i) const noexcept { return *attrs_[i]; }
  // Null when the type has no such attribute.
  AttrInfo const* attr(FieldId fieldId) const noexcept;
  AttrInfo const* attr(std::string_view name) const noexcept;
  // Whether any attribute is a collection (such values have no text form).
  bool hasCollection() const noexcept;

  // Non-entity types only.
  ValueOps const& ops() const noexcept { return ops_; }
  // Enumerations: the name of a value, null when it has none.
  char const* enumName(std::int64_t value) const noexcept;
  bool enumValue(std::string_view name, std::int64_t& value) const noexcept;

  // Entity types: the object of this type inside `node`, null when `node` is
  // of another type; and back.
  void* fromNode(Node* node) const noexcept { return fromNode_ ? fromNode_(node) : nullptr; }
  Node* toNode(void* object) const noexcept { return toNode_(object); }

  // Constructor: argument names and types, and the construct entry point
  // (`args` already checked against ctorArgs()). Null when none was declared.
  class Constructor {
   public:
    virtual ~Constructor();
    virtual Vek::GenericValue make(std::span<Vek::GenericValue const> args) const = 0;
  };
  std::span<ArgInfo const> ctorArgs() const noexcept { return ctorArgs_; }
  Constructor const* constructor() const noexcept { return construct_.get(); }

  // Registration side, used by the declaration DSL and the module.
  void placeIn(ModuleInspectData const* module, std::uint32_t index) noexcept;
  AttrInfo& attrAdd(std::unique_ptr<AttrInfo> attr);
  void opsIs(ValueOps const& ops) noexcept { ops_ = ops; }
  void enumNameAdd(std::int64_t value, std::string name);
  void entityCastIs(void* (*from)(Node*), Node* (*to)(void*)) noexcept {
    fromNode_ = from;
    toNode_ = to;
  }
  void constructorIs(std::vector<ArgInfo> args, std::unique_ptr<Constructor> construct);

 private:
  std::string name_;
  TypeKind kind_;
  std::type_info const* cxxType_;
  ModuleInspectData const* module_ = nullptr;
  std::uint32_t index_ = 0;
  // attrs_[i] has field id firstFieldId() + i.
  std::vector<std::unique_ptr<AttrInfo>> attrs_;
  ValueOps ops_;
  std::vector<std::pair<std::int64_t, std::string>> enumNames_;
  void* (*fromNode_)(Node*) = nullptr;
  Node* (*toNode_)(void*) = nullptr;
  std::vector<ArgInfo> ctorArgs_;
  std::unique_ptr<Constructor> construct_;
};

// One attribute's record and accessor. `self` is the owner object: the entity
// (as its own C++ type, see TypeInfo::fromNode) or the value's storage. The
// default accessors raise; each concrete record overrides those of its kind.
class AttrInfo {
 public:
  AttrInfo(std::string name, AttrKind kind, TypeRef keyType, TypeRef valueType);
  AttrInfo(AttrInfo const&) = delete;
  AttrInfo& operator=(AttrInfo const&) = delete;
  virtual ~AttrInfo();

  std::string const& name() const noexcept { return name_; }
  FieldId fieldId() const noexcept { return fieldId_; }
  AttrKind kind() const noexcept { return kind_; }
  TypeInfo const& owner() const noexcept { return *owner_; }
  bool isCollection() const noexcept {
    return kind_ == AttrKind::orderedCollection || kind_ == AttrKind::hashCollection;
  }
  // A hash collection without values.
  bool isSet() const noexcept { return isCollection() && valueType_ == nullptr; }
  // Collections: the key type. Null otherwise.
  TypeInfo const* keyType() const { return keyType_ ? keyType_() : nullptr; }
  // Values and counted pointers: their type; collections: the member value
  // type (null for a set); operations: the result type (null for none).
  TypeInfo const* valueType() const { return valueType_ ? valueType_() : nullptr; }
  // Whether values are counted pointers to entities (members or attribute).
  bool valueIsEntity() const noexcept { return valueIsEntity_; }
  // Operations: the arguments.
  std::span<ArgInfo const> args() const noexcept { return args_; }

  virtual Vek::GenericValue read(void const* self) const;
  virtual bool has(void const* self, Vek::GenericValue const& key) const;
  virtual Vek::GenericValue get(void const* self, Vek::GenericValue const& key) const;
  virtual Vek::GenericValue set(void* self, Vek::GenericValue const& key,
                                Vek::GenericValue const& value) const;
  virtual Vek::GenericValue del(void* self, Vek::GenericValue const& key) const;
  virtual std::size_t count(void const* self) const;
  virtual void iterate(void const* self, MemberVisitor visit) const;
  virtual Vek::GenericValue invoke(void* self, std::span<Vek::GenericValue const> args) const;

  void placeIn(TypeInfo const* owner, FieldId fieldId) noexcept {
    owner_ = owner;
    fieldId_ = fieldId;
  }

 protected:
  void valueIsEntityIs(bool on) noexcept { valueIsEntity_ = on; }
  void argsIs(std::vector<ArgInfo> args) { args_ = std::move(args); }
  [[noreturn]] void refuse(char const* what) const;

 private:
  std::string name_;
  AttrKind kind_;
  TypeRef keyType_;
  TypeRef valueType_;
  bool valueIsEntity_ = false;
  std::vector<ArgInfo> args_;
  TypeInfo const* owner_ = nullptr;
  FieldId fieldId_ = 0;
};

// Raises Pavo::Exception: values of `typeName` cannot be hashed.
[[noreturn]] void throwNonHashableType(char const* typeName);
// Raises Pavo::Exception: the C++ type has no registered record.
[[noreturn]] void throwUnregisteredType(std::type_info const& type);
// A readable name of a C++ type (for messages).
std::string cxxTypeName(std::type_info const& type);

// The record of a builtin scalar: bool, U8, U16, U32, U64, I8, I16, I32, I64,
// String. Built on first use; never null.
enum class Builtin : std::uint8_t { Bool, U8, U16, U32, U64, I8, I16, I32, I64, String };
TypeInfo const* builtinType(Builtin b) noexcept;

template <class T>
inline constexpr bool isBuiltin = std::is_integral_v<T> || std::is_same_v<T, std::string>;

template <class T>
constexpr Builtin builtinOf() noexcept {
  if constexpr (std::is_same_v<T, bool>) {
    return Builtin::Bool;
  } else if constexpr (std::is_same_v<T, std::string>) {
    return Builtin::String;
  } else if constexpr (std::is_unsigned_v<T>) {
    return sizeof(T) == 1   ? Builtin::U8
           : sizeof(T) == 2 ? Builtin::U16
           : sizeof(T) == 4 ? Builtin::U32
                            : Builtin::U64;
  } else {
    return sizeof(T) == 1   ? Builtin::I8
           : sizeof(T) == 2 ? Builtin::I16
           : sizeof(T) == 4 ? Builtin::I32
                            : Builtin::I64;
  }
}

template <class T>
struct PtrTarget {
  using type = void;
};
template <template <class> class P, class T>
requires requires(P<T> p) {
  p.get()->newUse();
}
struct PtrTarget<P<T>> {
  using type = std::remove_const_t<T>;
};

// The record of T (for a counted pointer: of the entity type it points to).
template <class T>
TypeInfo const* typeOf() {
  using U = std::remove_cvref_t<T>;
  if constexpr (!std::is_void_v<typename PtrTarget<U>::type>) {
    return typeOf<typename PtrTarget<U>::type>();
  } else if constexpr (isBuiltin<U>) {
    return builtinType(builtinOf<U>());
  } else {
    if (TypeSlot<U>::info == nullptr)
      throwUnregisteredType(typeid(U));
    return TypeSlot<U>::info;
  }
}

}  // namespace Inspect
}  // namespace Pavo
