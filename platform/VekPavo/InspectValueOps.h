// Pavo::Inspect::valueOpsFor<T>(): the generic value operations of a C++ type.
//
// Derived from what T offers, so that registering a value type never means
// writing them by hand:
//   isEq     static T::isEq(void const*, void const*) when present, else ==
//   less     operator< (also from operator<=>); absent: refused on use
//   truth    explicit operator bool when present, else "differs from T()"
//   hash     T::hash(seed) with seed 0; null when T has none or when the type
//            is declared non-hashable (a generic hash then raises)
//   fromStrep  T(Vek::CharRange&) when present; else the generic reader
//   toStrep    null: the generic attribute writer (VekPavo::Impl::valueToStrep)
// A declaration may override toStrep/fromStrep (outside types with their own
// text form). Nothing here allocates beyond what T's own operations do.
#pragma once

#include <concepts>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "Vek/CharRange.h"
#include "VekPavo/InspectTypes.h"

namespace Pavo::Inspect {

template <class T>
concept HasStaticIsEq = requires(void const* a, void const* b) {
  { T::isEq(a, b) } -> std::convertible_to<bool>;
};
template <class T>
concept HasLess = requires(T const& a, T const& b) {
  { a < b } -> std::convertible_to<bool>;
};
template <class T>
concept HasSeededHash = requires(T const& a) {
  { a.hash(0u) } -> std::convertible_to<std::uint32_t>;
};
template <class T>
concept HasTextReader = std::is_constructible_v<T, Vek::CharRange&>;

template <class T>
bool valueIsEq(T const& a, T const& b) {
  if constexpr (HasStaticIsEq<T>) {
    return T::isEq(&a, &b);
  } else {
    return a == b;
  }
}

template <class T>
ValueOps valueOpsFor(bool hashable = true) {
  ValueOps ops;
  ops.size = sizeof(T);
  ops.align = alignof(T);
  if constexpr (std::is_default_constructible_v<T>) {
    ops.construct = [](void* at) { new (at) T(); };
  }
  ops.copy = [](void* at, void const* from) { new (at) T(*static_cast<T const*>(from)); };
  // A move that throws ends the process: value types move without failing.
  ops.move = [](void* at, void* from) noexcept { new (at) T(std::move(*static_cast<T*>(from))); };
  ops.destroy = [](void* at) noexcept { static_cast<T*>(at)->~T(); };
  ops.isEq = [](void const* a, void const* b) {
    return valueIsEq(*static_cast<T const*>(a), *static_cast<T const*>(b));
  };
  if constexpr (HasLess<T>) {
    ops.less = [](void const* a, void const* b) {
      return static_cast<bool>(*static_cast<T const*>(a) < *static_cast<T const*>(b));
    };
  }
  if constexpr (std::is_constructible_v<bool, T const&>) {
    ops.truth = [](void const* v) { return static_cast<bool>(*static_cast<T const*>(v)); };
  } else if constexpr (std::is_default_constructible_v<T>) {
    ops.truth = [](void const* v) { return !valueIsEq(*static_cast<T const*>(v), T()); };
  }
  if constexpr (HasSeededHash<T>) {
    if (hashable) {
      ops.hash = [](void const* v) {
        return static_cast<std::uint32_t>(static_cast<T const*>(v)->hash(0u));
      };
    }
  }
  if constexpr (HasTextReader<T>) {
    ops.fromStrep = [](Vek::CharRange& range, void* at) { new (at) T(range); };
  }
  return ops;
}

}  // namespace Pavo::Inspect
