// Vek key traits: how the keyed collections compare and hash their keys.
//
// A KeyOps is a struct of static functions; the collections never call the
// key's operators directly:
//   static bool isEq(Key const&, Key const&);   // equality
//   static bool less(Key const&, Key const&);   // strict order
//   static std::uint32_t hash(Key const&);      // hash collections only: full
//                                               // hash incl. seed and constant
// The hash traits below mix the process seed with a constant of the
// collection (Vek/Hash.h), so no caller can depend on one order by accident.
#pragma once

#include <concepts>
#include <cstdint>

#include "Vek/Hash.h"

namespace Vek {

template <class Key>
concept HasStaticIsEq = requires(void const* a, void const* b) {
  { Key::isEq(a, b) } -> std::convertible_to<bool>;
};

// Equality through the key type's own static isEq(void const*, void const*)
// when it has one, else ==; order through < (operator< or operator<=>).
template <class Key>
struct DefaultKeyOps {
  static bool isEq(Key const& a, Key const& b) {
    if constexpr (HasStaticIsEq<Key>) {
      return Key::isEq(&a, &b);
    } else {
      return a == b;
    }
  }
  static bool less(Key const& a, Key const& b) { return a < b; }
};

// Keys that hash themselves with a seed: key.hash(process seed ^ Constant).
template <class Key, std::uint32_t Constant>
struct SeededKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) {
    return key.hash(HashHelper::hashSeed32() ^ Constant);
  }
};

// Plain integers handed to the collection together with its constant.
template <class Int, std::uint32_t Constant>
struct IntegerKeyOps : DefaultKeyOps<Int> {
  static std::uint32_t hash(Int const& key) {
    return hashInteger(static_cast<std::uint64_t>(key), Constant);
  }
};

// 16-bit value types with one attribute, read through key.value().
template <class Key, std::uint32_t Constant>
struct SingleAttrKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) {
    return hashSingleAttr(HashHelper::hashSeed32() ^ Constant, key.value());
  }
};

// Keys that hash themselves without a seed: key.hash() spread with Constant.
template <class Key, std::uint32_t Constant>
struct HandedOverKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) { return hashHandedOver(key.hash(), Constant); }
};

}  // namespace Vek
