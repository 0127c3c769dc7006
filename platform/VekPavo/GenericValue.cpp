#include "VekPavo/GenericValue.h"

#include <cstdlib>
#include <functional>

#include "Vek/CharRange.h"
#include "Vek/Hash.h"
#include "VekPavo/InspectModule.h"
#include "VekPavo/InspectValueOps.h"
#include "VekPavo/Strep.h"

namespace Pavo::Inspect {

namespace {

template <class T>
ValueOps integerOps() {
  ValueOps ops = valueOpsFor<T>();
  ops.hash = [](void const* v) {
    Vek::Hash h(0);
    h.hashMix<sizeof(T)>(*static_cast<T const*>(v));
    return h.result();
  };
  ops.toStrep = [](void const* v, std::string& out) {
    out += std::to_string(*static_cast<T const*>(v));
  };
  if constexpr (std::is_signed_v<T>) {
    ops.fromStrep = [](Vek::CharRange& range, void* at) {
      new (at) T(static_cast<T>(
          Vek::readSigned(range, std::numeric_limits<T>::min(), std::numeric_limits<T>::max())));
    };
  } else {
    ops.fromStrep = [](Vek::CharRange& range, void* at) {
      new (at) T(static_cast<T>(Vek::readUnsigned(range, std::numeric_limits<T>::max())));
    };
  }
  return ops;
}

ValueOps boolOps() {
  ValueOps ops = valueOpsFor<bool>();
  ops.hash = [](void const* v) {
    Vek::Hash h(0);
    h.hashMix<1>(*static_cast<bool const*>(v));
    return h.result();
  };
  ops.toStrep = [](void const* v, std::string& out) {
    out += *static_cast<bool const*>(v) ? "true" : "false";
  };
  ops.fromStrep = [](Vek::CharRange& range, void* at) { new (at) bool(Vek::readBool(range)); };
  return ops;
}

ValueOps stringOps() {
  ValueOps ops = valueOpsFor<std::string>();
  ops.truth = [](void const* v) { return !static_cast<std::string const*>(v)->empty(); };
  ops.hash = [](void const* v) {
    auto const& s = *static_cast<std::string const*>(v);
    Vek::Hash h(0);
    h.hashBytes(s.data(), s.size());
    return h.result();
  };
  ops.toStrep = [](void const* v, std::string& out) {
    Vek::writeQuoted(*static_cast<std::string const*>(v), out);
  };
  ops.fromStrep = [](Vek::CharRange& range, void* at) {
    new (at) std::string(Vek::readQuoted(range));
  };
  return ops;
}

struct BuiltinModule {
  ModuleInspectData module{"Vek/Builtin"};
  TypeInfo const* types[10] = {};

  template <class T>
  void add(Builtin b, char const* name, ValueOps const& ops) {
    auto info = std::make_unique<TypeInfo>(name, TypeKind::builtin, typeid(T));
    info->opsIs(ops);
    types[static_cast<int>(b)] = &module.typeAdd(std::move(info));
  }

  BuiltinModule() {
    add<bool>(Builtin::Bool, "bool", boolOps());
    add<std::uint8_t>(Builtin::U8, "U8", integerOps<std::uint8_t>());
    add<std::uint16_t>(Builtin::U16, "U16", integerOps<std::uint16_t>());
    add<std::uint32_t>(Builtin::U32, "U32", integerOps<std::uint32_t>());
    add<std::uint64_t>(Builtin::U64, "U64", integerOps<std::uint64_t>());
    add<std::int8_t>(Builtin::I8, "I8", integerOps<std::int8_t>());
    add<std::int16_t>(Builtin::I16, "I16", integerOps<std::int16_t>());
    add<std::int32_t>(Builtin::I32, "I32", integerOps<std::int32_t>());
    add<std::int64_t>(Builtin::I64, "I64", integerOps<std::int64_t>());
    add<std::string>(Builtin::String, "String", stringOps());
    module.loaded();
  }
};

BuiltinModule const& builtins() {
  static BuiltinModule const m;
  return m;
}

// Registers the builtins when the platform library loads, so that they can be
// looked up by name before anybody has used one.
[[maybe_unused]] BuiltinModule const& loadBuiltins = builtins();

// The builtin id of `t` when it is an integer builtin.
bool integerBuiltin(TypeInfo const* t, Builtin& out) noexcept {
  auto const& types = builtins().types;
  for (int i = static_cast<int>(Builtin::U8); i <= static_cast<int>(Builtin::I64); ++i) {
    if (types[i] == t) {
      out = static_cast<Builtin>(i);
      return true;
    }
  }
  return false;
}

}  // namespace

TypeInfo const* builtinType(Builtin b) noexcept {
  return builtins().types[static_cast<int>(b)];
}

}  // namespace Pavo::Inspect

namespace Vek {

using Pavo::Inspect::Builtin;
using Pavo::Inspect::TypeInfo;

GenericValue::GenericValue(GenericValue const& o) {
  copyFrom(o);
}

GenericValue::GenericValue(GenericValue&& o) noexcept {
  moveFrom(o);
}

GenericValue& GenericValue::operator=(GenericValue const& o) {
  if (this != &o) {
    GenericValue copy(o);
    clear();
    moveFrom(copy);
  }
  return *this;
}

GenericValue& GenericValue::operator=(GenericValue&& o) noexcept {
  if (this != &o) {
    clear();
    moveFrom(o);
  }
  return *this;
}

void* GenericValue::allocate(TypeInfo const& type) {
  Pavo::Inspect::ValueOps const& ops = type.ops();
  void* at = buf_;
  if (ops.size > kInlineSize || ops.align > alignof(std::max_align_t)) {
    heap_ = ::operator new(ops.size, std::align_val_t(ops.align));
    at = heap_;
  }
  kind_ = Kind::value;
  type_ = &type;
  return at;
}

void GenericValue::unallocate() noexcept {
  if (heap_)
    ::operator delete(heap_, std::align_val_t(type_->ops().align));
  heap_ = nullptr;
  kind_ = Kind::empty;
  type_ = nullptr;
}

void GenericValue::clear() noexcept {
  if (kind_ == Kind::value) {
    type_->ops().destroy(data());
    unallocate();
  } else if (kind_ == Kind::entity) {
    if (node_)
      node_->decUseImpl();
    kind_ = Kind::empty;
    type_ = nullptr;
  }
  readOnly_ = false;
}

void GenericValue::copyFrom(GenericValue const& o) {
  if (o.kind_ == Kind::value) {
    void* at = allocate(*o.type_);
    try {
      o.type_->ops().copy(at, o.data());
    } catch (...) {
      unallocate();
      throw;
    }
  } else if (o.kind_ == Kind::entity) {
    kind_ = Kind::entity;
    type_ = o.type_;
    readOnly_ = o.readOnly_;
    node_ = o.node_;
    if (node_)
      node_->newUse();
  }
}

void GenericValue::moveFrom(GenericValue& o) noexcept {
  kind_ = o.kind_;
  type_ = o.type_;
  readOnly_ = o.readOnly_;
  if (o.kind_ == Kind::value) {
    if (o.heap_) {
      heap_ = std::exchange(o.heap_, nullptr);
    } else {
      type_->ops().move(buf_, o.buf_);
      type_->ops().destroy(o.buf_);
    }
  } else if (o.kind_ == Kind::entity) {
    node_ = std::exchange(o.node_, nullptr);
  }
  o.kind_ = Kind::empty;
  o.type_ = nullptr;
  o.readOnly_ = false;
}

GenericValue GenericValue::defaultOf(TypeInfo const& type) {
  if (type.isEntity() || type.ops().construct == nullptr) {
    throw GenericTypeException("type " + type.name() + " cannot be default-constructed");
  }
  GenericValue v;
  void* at = v.allocate(type);
  try {
    type.ops().construct(at);
  } catch (...) {
    v.unallocate();
    throw;
  }
  return v;
}

GenericValue GenericValue::ofNode(Pavo::Node* node, TypeInfo const* type, bool readOnly) {
  GenericValue v;
  v.entityIs(node, readOnly, type);
  return v;
}

void GenericValue::entityIs(Pavo::Node const* node, bool readOnly, TypeInfo const* declared) {
  kind_ = Kind::entity;
  readOnly_ = readOnly;
  node_ = const_cast<Pavo::Node*>(node);
  type_ = declared;
  if (node_) {
    node_->newUse();
    if (TypeInfo const* own = Pavo::ModuleInspectData::typeOf(node_->typeData()))
      type_ = own;
  }
}

void GenericValue::integerStore(TypeInfo const* type, std::int64_t s, std::uint64_t u,
                                bool isSigned) {
  Builtin b = Builtin::U64;
  Pavo::Inspect::integerBuiltin(type, b);
  void* at = allocate(*type);
  std::uint64_t const bits = isSigned ? static_cast<std::uint64_t>(s) : u;
  switch (b) {
    case Builtin::U8:
    case Builtin::I8:
      new (at) std::uint8_t(static_cast<std::uint8_t>(bits));
      break;
    case Builtin::U16:
    case Builtin::I16:
      new (at) std::uint16_t(static_cast<std::uint16_t>(bits));
      break;
    case Builtin::U32:
    case Builtin::I32:
      new (at) std::uint32_t(static_cast<std::uint32_t>(bits));
      break;
    default:
      new (at) std::uint64_t(bits);
      break;
  }
}

std::uint64_t GenericValue::integerAs(bool wantSigned, std::int64_t min, std::uint64_t max,
                                      Builtin want) const {
  Builtin held;
  if (kind_ != Kind::value || !Pavo::Inspect::integerBuiltin(type_, held)) {
    mismatch(Pavo::Inspect::builtinType(want)->name());
  }
  void const* p = data();
  bool negative = false;
  std::uint64_t mag = 0;
  switch (held) {
    case Builtin::U8:
      mag = *static_cast<std::uint8_t const*>(p);
      break;
    case Builtin::U16:
      mag = *static_cast<std::uint16_t const*>(p);
      break;
    case Builtin::U32:
      mag = *static_cast<std::uint32_t const*>(p);
      break;
    case Builtin::U64:
      mag = *static_cast<std::uint64_t const*>(p);
      break;
    default: {
      std::int64_t s = 0;
      if (held == Builtin::I8)
        s = *static_cast<std::int8_t const*>(p);
      if (held == Builtin::I16)
        s = *static_cast<std::int16_t const*>(p);
      if (held == Builtin::I32)
        s = *static_cast<std::int32_t const*>(p);
      if (held == Builtin::I64)
        s = *static_cast<std::int64_t const*>(p);
      negative = s < 0;
      mag = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(s)
                     : static_cast<std::uint64_t>(s);
      break;
    }
  }
  bool const fits = negative
                        ? wantSigned && mag <= std::uint64_t{0} - static_cast<std::uint64_t>(min)
                        : mag <= max;
  if (!fits) {
    throw Pavo::RangeException("value " + strep() + " does not fit " +
                               Pavo::Inspect::builtinType(want)->name());
  }
  return negative ? std::uint64_t{0} - mag : mag;
}

void GenericValue::mismatch(std::string const& wanted) const {
  throw GenericTypeException("expected " + wanted + ", got " + typeName());
}

std::string GenericValue::typeName() const {
  if (kind_ == Kind::empty)
    return "empty";
  if (type_)
    return type_->name();
  return "entity";
}

bool GenericValue::isEq(GenericValue const& o) const {
  if (kind_ != o.kind_)
    return false;
  switch (kind_) {
    case Kind::empty:
      return true;
    case Kind::entity:
      return node_ == o.node_;
    case Kind::value:
      return type_ == o.type_ && type_->ops().isEq(data(), o.data());
  }
  return false;
}

bool GenericValue::less(GenericValue const& o) const {
  if (kind_ != o.kind_)
    return kind_ < o.kind_;
  switch (kind_) {
    case Kind::empty:
      return false;
    case Kind::entity:
      return std::less<Pavo::Node*>()(node_, o.node_);
    case Kind::value:
      if (type_ != o.type_)
        return type_->name() < o.type_->name();
      if (type_->ops().less == nullptr) {
        throw GenericTypeException("type " + type_->name() + " has no order");
      }
      return type_->ops().less(data(), o.data());
  }
  return false;
}

bool GenericValue::truth() const {
  switch (kind_) {
    case Kind::empty:
      return false;
    case Kind::entity:
      return node_ != nullptr;
    case Kind::value:
      if (type_->ops().truth == nullptr) {
        throw GenericTypeException("type " + type_->name() + " has no truth value");
      }
      return type_->ops().truth(data());
  }
  return false;
}

std::uint32_t GenericValue::hash() const {
  if (kind_ != Kind::value || type_->ops().hash == nullptr) {
    Pavo::Inspect::throwNonHashableType(typeName().c_str());
  }
  return type_->ops().hash(data());
}

void GenericValue::toStrep(std::string& out) const {
  switch (kind_) {
    case Kind::empty:
      out += "empty";
      break;
    case Kind::entity:
      out += node_ ? typeName() : std::string("null");
      break;
    case Kind::value:
      if (type_->ops().toStrep) {
        type_->ops().toStrep(data(), out);
      } else {
        VekPavo::Impl::valueToStrep(*type_, data(), out);
      }
      break;
  }
}

std::string GenericValue::strep() const {
  std::string out;
  toStrep(out);
  return out;
}

GenericValue GenericValue::fromStrep(TypeInfo const& type, CharRange& range) {
  if (type.isEntity()) {
    throw GenericTypeException("entity type " + type.name() + " has no text form");
  }
  if (type.ops().fromStrep == nullptr)
    return VekPavo::Impl::strepToValue(type, range);
  GenericValue v;
  void* at = v.allocate(type);
  try {
    type.ops().fromStrep(range, at);
  } catch (...) {
    v.unallocate();
    throw;
  }
  return v;
}

}  // namespace Vek
