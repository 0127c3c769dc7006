// Pavo::Inspect declaration DSL: a type declares its attributes once, in its
// module's static initialiser, and the generic interface, the text forms and
// the inspector are derived from that one declaration.
//
//   Pavo::Inspect::EntityType<Router>(inspectModule(), "Example::Router")
//       .value("routerId", &Router::routerId)                    // 130
//       .orderedCollection("prefix", &Router::prefixCollection,  // 131, Prefix -> bool
//                          &Router::prefixIs, &Router::prefixDel)
//       .operation("reset", &Router::reset)  // 132
//       .constructor(&routerFactory, "routerId");
//
// A value type declares itself the same way with ValueType<T> (fields 2 up)
// and `.constructor<Args...>(names...)`.
//
// Field ids follow declaration order (130 up for entities, 2 up for values);
// type indexes follow the order of declaration in the module, unless a
// declaration names its index (`EntityType<T>(module, name, 7)`). A getter is any
// `R (T::*)() const`; a getter returning Pavo::Ptr makes a counted-pointer
// attribute. A collection is read through an accessor returning the Vek
// collection and written through the owner's `...Is` and `...Del` (see
// IsMutator and DelMutator in "VekPavo/InspectAttrs.h" for the accepted shapes).
// An entity answers typeData() with Pavo::Inspect::typeDataOf<T>().
#pragma once

#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Pavo/Node.h"
#include "Vek/Hash.h"
#include "VekPavo/InspectAttrs.h"
#include "VekPavo/InspectModule.h"
#include "VekPavo/InspectValueOps.h"

namespace Pavo::Inspect {

// Constructs through a function (a factory or creator returning Pavo::Ptr<T>,
// or a function returning a value).
template <class R, class... A>
class FunctionConstructor final : public TypeInfo::Constructor {
 public:
  FunctionConstructor(R (*f)(A...), TypeInfo const& type) : f_(f), type_(type) {}
  Vek::GenericValue make(std::span<Vek::GenericValue const> args) const override {
    return callWith<std::tuple<A...>>(nullptr, type_.ctorArgs(), args, f_,
                                      std::index_sequence_for<A...>());
  }

 private:
  R (*f_)(A...);
  TypeInfo const& type_;
};

// Fills T's slot ("Pavo/TypeData.h") with its record, once placed in its module.
template <class T>
TypeInfo& typeSlotIs(TypeInfo& info) noexcept {
  TypeSlot<T>::info = &info;
  TypeSlot<T>::data = info.typeData();
  return info;
}

template <class T, class... A>
T constructValue(A... a) {
  return T(std::move(a)...);
}

template <class Derived, class T>
class TypeBuilder {
  // The owner's `...Is` and `...Del` for the collection that `Accessor` reads.
  template <class Accessor>
  using IsOf = IsMutator<T, typename CollectionAttr<T, Accessor>::K,
                         typename CollectionAttr<T, Accessor>::V>;
  template <class Accessor>
  using DelOf = DelMutator<T, typename CollectionAttr<T, Accessor>::K>;

 public:
  TypeInfo& info() noexcept { return *info_; }

  template <class Getter>
  Derived& value(char const* name, Getter getter) {
    info_->attrAdd(std::make_unique<GetterAttr<T, Getter>>(name, getter));
    return self();
  }

  template <class Accessor>
  Derived& orderedCollection(char const* name, Accessor accessor, IsOf<Accessor> is,
                             DelOf<Accessor> del) {
    return collection(name, AttrKind::orderedCollection, accessor, std::move(is), std::move(del));
  }

  template <class Accessor>
  Derived& hashCollection(char const* name, Accessor accessor, IsOf<Accessor> is,
                          DelOf<Accessor> del) {
    return collection(name, AttrKind::hashCollection, accessor, std::move(is), std::move(del));
  }

  // Constructor through a function: a factory or creator for entities, any
  // function returning T for values. One name per argument.
  template <class R, class... A, class... Names>
  Derived& constructor(R (*f)(A...), Names... argNames) {
    static_assert(sizeof...(Names) == sizeof...(A), "one name per constructor argument");
    info_->constructorIs(
        argInfos<std::tuple<A...>>({std::string(argNames)...}, std::index_sequence_for<A...>()),
        std::make_unique<FunctionConstructor<R, A...>>(f, *info_));
    return self();
  }

 protected:
  template <class Accessor>
  Derived& collection(char const* name, AttrKind kind, Accessor accessor, IsOf<Accessor> is,
                      DelOf<Accessor> del) {
    info_->attrAdd(std::make_unique<CollectionAttr<T, Accessor>>(name, kind, accessor,
                                                                 std::move(is), std::move(del)));
    return self();
  }

  TypeBuilder(ModuleInspectData& module, std::string name, TypeKind kind,
              std::optional<std::uint32_t> index) {
    auto info = std::make_unique<TypeInfo>(std::move(name), kind, typeid(T));
    info_ = &typeSlotIs<T>(index ? module.typeAdd(std::move(info), *index)
                                 : module.typeAdd(std::move(info)));
  }
  Derived& self() noexcept { return static_cast<Derived&>(*this); }

  TypeInfo* info_;
};

template <class T>
class EntityType : public TypeBuilder<EntityType<T>, T> {
  static_assert(std::is_base_of_v<Node, T>, "entities derive from Pavo::Node");

 public:
  EntityType(ModuleInspectData& module, std::string name,
             std::optional<std::uint32_t> index = std::nullopt)
      : TypeBuilder<EntityType<T>, T>(module, std::move(name), TypeKind::entity, index) {
    this->info_->entityCastIs([](Node* n) -> void* { return dynamic_cast<T*>(n); },
                              [](void* o) -> Node* { return static_cast<T*>(o); });
  }

  // An operation: a member function and one name per argument.
  template <class F, class... Names>
  EntityType& operation(char const* name, F f, Names... argNames) {
    static_assert(sizeof...(Names) == OperationAttr<T, F>::kArity, "one name per argument");
    this->info_->attrAdd(std::make_unique<OperationAttr<T, F>>(
        name, f, std::vector<std::string>{std::string(argNames)...}));
    return *this;
  }
};

template <class T>
class ValueType : public TypeBuilder<ValueType<T>, T> {
 public:
  ValueType(ModuleInspectData& module, std::string name,
            std::optional<std::uint32_t> index = std::nullopt)
      : TypeBuilder<ValueType<T>, T>(module, std::move(name), TypeKind::value, index) {
    this->info_->opsIs(valueOpsFor<T>());
  }

  using TypeBuilder<ValueType<T>, T>::constructor;
  // Constructor through T(A...): one name per argument.
  template <class... A, class... Names>
  requires(sizeof...(A) > 0) ValueType& constructor(Names... argNames) {
    return this->constructor(&constructValue<T, A...>, argNames...);
  }

  // A generic hash raises Pavo::Inspect::throwNonHashableType.
  ValueType& nonHashable() noexcept {
    ValueOps ops = this->info_->ops();
    ops.hash = nullptr;
    this->info_->opsIs(ops);
    return *this;
  }
  // An own text form (for outside types): writer and reader.
  ValueType& text(void (*toStrep)(void const*, std::string&),
                  void (*fromStrep)(Vek::CharRange&, void*)) noexcept {
    ValueOps ops = this->info_->ops();
    ops.toStrep = toStrep;
    ops.fromStrep = fromStrep;
    this->info_->opsIs(ops);
    return *this;
  }
};

// An enum: its values' names; text is the name (or the number when unnamed).
template <class E>
class EnumType {
  static_assert(std::is_enum_v<E>);

 public:
  EnumType(ModuleInspectData& module, std::string name,
           std::initializer_list<std::pair<E, char const*>> names) {
    auto info = std::make_unique<TypeInfo>(std::move(name), TypeKind::enumeration, typeid(E));
    ValueOps ops = valueOpsFor<E>();
    ops.hash = [](void const* v) {
      Vek::Hash h(0);
      h.hashMix<sizeof(E)>(*static_cast<E const*>(v));
      return h.result();
    };
    ops.toStrep = [](void const* v, std::string& out) {
      auto const n = static_cast<std::int64_t>(*static_cast<E const*>(v));
      char const* known = TypeSlot<E>::info->enumName(n);
      out += known ? std::string(known) : std::to_string(n);
    };
    ops.fromStrep = [](Vek::CharRange& range, void* at) {
      range.skipSpaces();
      std::size_t len = 0;
      std::string_view rest = range.rest();
      while (len < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[len])) ||
                                   rest[len] == '_' || rest[len] == '-')) {
        ++len;
      }
      std::int64_t n = 0;
      if (!TypeSlot<E>::info->enumValue(rest.substr(0, len), n)) {
        range.fail("unknown name of " + TypeSlot<E>::info->name());
      }
      range.advance(len);
      new (at) E(static_cast<E>(n));
    };
    info->opsIs(ops);
    for (auto const& [v, n] : names)
      info->enumNameAdd(static_cast<std::int64_t>(v), n);
    typeSlotIs<E>(module.typeAdd(std::move(info)));
  }
};

}  // namespace Pavo::Inspect
