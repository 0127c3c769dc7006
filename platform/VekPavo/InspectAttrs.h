// Pavo::Inspect attribute records made from member functions (used by the
// declaration DSL of "VekPavo/InspectDsl.h"; users need not name these).
//
// Every record converts generic arguments to the C++ types of its member
// functions with argAs(), which turns a type mismatch into an error naming
// the owner type, the field id and the argument. Collections are read through
// the accessor that returns the collection (find(key), size(), begin()/end(),
// member->key(), member->value()) and written through the owner's own mutators,
// so every change is published by the owner as usual.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "VekPavo/GenericValue.h"
#include "VekPavo/InspectTypes.h"

namespace Vek::GenericIfImpl {
// Raises Pavo::Exception: a generic set of a member of set attribute `attr` to false.
[[noreturn]] void throwSetFalseValueException(char const* attr);
}  // namespace Vek::GenericIfImpl

namespace Pavo::Inspect {

// Converts a generic argument; a mismatch names type, field and `role`.
[[noreturn]] void rethrowArg(AttrInfo const& attr, char const* role, Exception const& e);
template <class X>
X argAs(AttrInfo const& attr, char const* role, Vek::GenericValue const& v) {
  try {
    return v.template as<X>();
  } catch (Vek::GenericTypeException const& e) {
    rethrowArg(attr, role, e);
  } catch (RangeException const& e) {
    rethrowArg(attr, role, e);
  }
}

// Boxes a C++ result; `void` gives an empty box.
template <class F>
Vek::GenericValue boxResult(F&& f) {
  using R = std::invoke_result_t<F>;
  if constexpr (std::is_void_v<R>) {
    std::forward<F>(f)();
    return Vek::GenericValue();
  } else {
    return Vek::GenericValue(std::forward<F>(f)());
  }
}

// Member function pointer traits: result, class, arguments.
template <class F>
struct MemberFn;
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...)> {
  using Result = R;
  using Args = std::tuple<A...>;
};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...) const> : MemberFn<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...) noexcept> : MemberFn<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...) const noexcept> : MemberFn<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...)&> : MemberFn<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...)& noexcept> : MemberFn<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct MemberFn<R (C::*)(A...) const&> : MemberFn<R (C::*)(A...)> {};

template <class T>
TypeInfo const* typeOfRef() {
  return typeOf<T>();
}
template <class T>
inline constexpr bool isPtr = !std::is_void_v<typename PtrTarget<std::remove_cvref_t<T>>::type>;

// A value or counted-pointer attribute read through a getter.
template <class T, class Getter>
class GetterAttr final : public AttrInfo {
 public:
  using R = std::remove_cvref_t<std::invoke_result_t<Getter, T const&>>;
  GetterAttr(std::string name, Getter g)
      : AttrInfo(std::move(name), isPtr<R> ? AttrKind::counted : AttrKind::value, nullptr,
                 &typeOfRef<R>),
        g_(g) {
    valueIsEntityIs(isPtr<R>);
  }
  Vek::GenericValue read(void const* self) const override {
    return Vek::GenericValue(std::invoke(g_, *static_cast<T const*>(self)));
  }

 private:
  Getter g_;
};

// The shape of a collection returned by an accessor: its member node, key and
// value (void for a set).
template <class Coll>
struct CollectionShape {
  using Node = std::remove_cvref_t<decltype(*std::declval<Coll const&>().begin())>;
  using Key = std::remove_cvref_t<decltype(std::declval<Node const&>().key())>;
  static constexpr bool isSet = !requires(Node const& n) { n.value(); };
  template <class N>
  static auto valueOf() {
    if constexpr (requires(N const& n) { n.value(); }) {
      return std::type_identity<std::remove_cvref_t<decltype(std::declval<N const&>().value())>>();
    } else {
      return std::type_identity<void>();
    }
  }
  using Value = typename decltype(valueOf<Node>())::type;
};

// Writes a member through the owner's `...Is`. Accepted shapes, each plain or
// `&`-qualified: (key, value) for a map; (key) for a set, or for a map of
// child entities that the owner creates from the key; (child) for a map whose
// key is held inside the child (the key given by the caller is not used; a
// null child is the owner's to refuse).
template <class T, class K, class V>
class IsMutator {
 public:
  using Fn = std::function<Vek::GenericValue(T&, AttrInfo const&, Vek::GenericValue const&,
                                             Vek::GenericValue const&)>;

  template <class R, class KP, class VP>
  IsMutator(R (T::*f)(KP, VP)) : fn_(two<R (T::*)(KP, VP), KP, VP>(f)) {}  // NOLINT
  template <class R, class KP, class VP>
  IsMutator(R (T::*f)(KP, VP) &) : fn_(two<R (T::*)(KP, VP) &, KP, VP>(f)) {}  // NOLINT
  template <class R, class P>
  IsMutator(R (T::*f)(P)) : fn_(one<R (T::*)(P), P>(f)) {}  // NOLINT
  template <class R, class P>
  IsMutator(R (T::*f)(P) &) : fn_(one<R (T::*)(P) &, P>(f)) {}  // NOLINT

  Fn const& fn() const noexcept { return fn_; }

 private:
  template <class F, class KP, class VP>
  static Fn two(F f) {
    static_assert(std::is_same_v<std::remove_cvref_t<KP>, K>, "the mutator's key type");
    return [f](T& self, AttrInfo const& a, Vek::GenericValue const& key,
               Vek::GenericValue const& value) {
      auto k = argAs<K>(a, "key", key);
      auto v = argAs<std::remove_cvref_t<VP>>(a, "value", value);
      return boxResult([&] { return (self.*f)(k, v); });
    };
  }
  template <class F, class P>
  static Fn one(F f) {
    using A = std::remove_cvref_t<P>;
    static_assert(std::is_same_v<A, K> || isPtr<A>, "a mutator of a key or of a child");
    return [f](T& self, AttrInfo const& a, Vek::GenericValue const& key,
               Vek::GenericValue const& value) {
      if constexpr (std::is_same_v<A, K>) {
        if constexpr (std::is_void_v<V>) {
          if (!argAs<bool>(a, "value", value)) {
            Vek::GenericIfImpl::throwSetFalseValueException(a.name().c_str());
          }
        }
        auto k = argAs<K>(a, "key", key);
        return boxResult([&] { return (self.*f)(k); });
      } else {
        // A null child goes to the owner too, which refuses it with its own
        // null-pointer error and changes nothing.
        auto child = argAs<A>(a, "value", value);
        return boxResult([&] { return (self.*f)(child); });
      }
    };
  }

  Fn fn_;
};

// Removes a member through the owner's `...Del(key)`, plain or `&`-qualified,
// taking the key by value or const reference. The key is fixed, so an owner
// that also has an iterator form of `...Del` is understood.
template <class T, class K>
class DelMutator {
 public:
  using Fn = std::function<Vek::GenericValue(T&, AttrInfo const&, Vek::GenericValue const&)>;

  template <class R>
  DelMutator(R (T::*f)(K const&)) : fn_(make(f)) {}  // NOLINT
  template <class R>
  DelMutator(R (T::*f)(K const&) &) : fn_(make(f)) {}  // NOLINT
  template <class R>
  DelMutator(R (T::*f)(K)) : fn_(make(f)) {}  // NOLINT
  template <class R>
  DelMutator(R (T::*f)(K) &) : fn_(make(f)) {}  // NOLINT

  Fn const& fn() const noexcept { return fn_; }

 private:
  template <class F>
  static Fn make(F f) {
    return [f](T& self, AttrInfo const& a, Vek::GenericValue const& key) {
      auto k = argAs<K>(a, "key", key);
      return boxResult([&] { return (self.*f)(k); });
    };
  }

  Fn fn_;
};

// An ordered or hash collection attribute.
template <class T, class Accessor>
class CollectionAttr final : public AttrInfo {
 public:
  using Coll = std::remove_cvref_t<std::invoke_result_t<Accessor, T const&>>;
  using Shape = CollectionShape<Coll>;
  using K = typename Shape::Key;
  using V = typename Shape::Value;

  CollectionAttr(std::string name, AttrKind kind, Accessor acc, IsMutator<T, K, V> is,
                 DelMutator<T, K> del)
      : AttrInfo(std::move(name), kind, &typeOfRef<K>, valueRef()),
        acc_(acc),
        is_(is.fn()),
        del_(del.fn()) {
    if constexpr (!std::is_void_v<V>)
      valueIsEntityIs(isPtr<V>);
  }

  bool has(void const* self, Vek::GenericValue const& key) const override {
    return coll(self).find(argAs<K>(*this, "key", key)) != nullptr;
  }
  Vek::GenericValue get(void const* self, Vek::GenericValue const& key) const override {
    auto const* m = coll(self).find(argAs<K>(*this, "key", key));
    if constexpr (std::is_void_v<V>) {
      return Vek::GenericValue(m != nullptr);
    } else {
      if (m)
        return Vek::GenericValue(m->value());
      if constexpr (std::is_default_constructible_v<V>)
        return Vek::GenericValue(V());
      return Vek::GenericValue();
    }
  }
  Vek::GenericValue set(void* self, Vek::GenericValue const& key,
                        Vek::GenericValue const& value) const override {
    return is_(*static_cast<T*>(self), *this, key, value);
  }
  Vek::GenericValue del(void* self, Vek::GenericValue const& key) const override {
    return del_(*static_cast<T*>(self), *this, key);
  }
  std::size_t count(void const* self) const override { return coll(self).size(); }
  void iterate(void const* self, MemberVisitor visit) const override {
    Coll const& c = coll(self);
    for (auto it = c.begin(); !(it == c.end()); ++it) {
      Vek::GenericValue key(it->key());
      if constexpr (std::is_void_v<V>) {
        visit(key, Vek::GenericValue(true));
      } else {
        visit(key, Vek::GenericValue(it->value()));
      }
    }
  }

 private:
  static TypeRef valueRef() {
    if constexpr (std::is_void_v<V>) {
      return nullptr;
    } else {
      return &typeOfRef<V>;
    }
  }
  Coll const& coll(void const* self) const {
    return std::invoke(acc_, *static_cast<T const*>(self));
  }

  Accessor acc_;
  typename IsMutator<T, K, V>::Fn is_;
  typename DelMutator<T, K>::Fn del_;
};

// Converts `args` to the C++ argument types of `Args` and calls `f` with them.
template <class Args, class F, std::size_t... I>
Vek::GenericValue callWith(AttrInfo const* attr, std::span<ArgInfo const> names,
                           std::span<Vek::GenericValue const> args, F&& f,
                           std::index_sequence<I...>) {
  auto conv = [&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
    using A = std::remove_cvref_t<std::tuple_element_t<J, Args>>;
    if (attr)
      return argAs<A>(*attr, names[J].name.c_str(), args[J]);
    try {
      return args[J].template as<A>();
    } catch (Vek::GenericTypeException const& e) {
      throw Vek::GenericTypeException("argument " + names[J].name + ": " + e.msg());
    }
  };
  return boxResult([&] { return f(conv(std::integral_constant<std::size_t, I>())...); });
}

template <class Args, std::size_t... I>
std::vector<ArgInfo> argInfos(std::vector<std::string> names, std::index_sequence<I...>) {
  return {ArgInfo{std::move(names[I]),
                  &typeOfRef<std::remove_cvref_t<std::tuple_element_t<I, Args>>>}...};
}

// An operation: a member function invoked with named arguments.
template <class T, class F>
class OperationAttr final : public AttrInfo {
 public:
  using Traits = MemberFn<F>;
  using Args = typename Traits::Args;
  static constexpr std::size_t kArity = std::tuple_size_v<Args>;

  OperationAttr(std::string name, F f, std::vector<std::string> argNames)
      : AttrInfo(std::move(name), AttrKind::operation, nullptr, resultRef()), f_(f) {
    argsIs(argInfos<Args>(std::move(argNames), std::make_index_sequence<kArity>()));
  }
  Vek::GenericValue invoke(void* self, std::span<Vek::GenericValue const> args) const override {
    T& obj = *static_cast<T*>(self);
    return callWith<Args>(
        this, this->args(), args,
        [&](auto&&... a) { return (obj.*f_)(std::forward<decltype(a)>(a)...); },
        std::make_index_sequence<kArity>());
  }

 private:
  static TypeRef resultRef() {
    using R = std::remove_cvref_t<typename Traits::Result>;
    if constexpr (std::is_void_v<R>) {
      return nullptr;
    } else {
      return &typeOfRef<R>;
    }
  }
  F f_;
};

}  // namespace Pavo::Inspect
