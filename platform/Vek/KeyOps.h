// Vek key traits: how the keyed collections compare, order and hash keys.
//
// A KeyOps is a struct of static functions, never instantiated:
//   static bool isEq(Key const&, Key const&);   // equality
//   static bool less(Key const&, Key const&);   // strict order, consistent with isEq
//   static std::uint32_t hash(Key const&);      // hash collections only: full hash,
//                                               // process seed and collection constant included
//
// DefaultKeyOps<Key> gives equality and order. The four hash traits add the
// hash in the ways keys reach a collection:
//   SeededKeyOps<Key, C>      key.hash(hashSeed32() ^ C)                  value types
//   IntegerKeyOps<Int, C>     hashInteger(key, C)                         plain integers
//   SingleAttrKeyOps<Key, C>  hashSingleAttr(hashSeed32() ^ C, key.value()) 16-bit value types
//   HandedOverKeyOps<Key, C>  hashHandedOver(key.hash(), C)               keys hashing without seed
// C is the collection's constant, so two collections of the same key type
// iterate in unrelated orders.
#pragma once

#include <concepts>
#include <cstdint>
#include <type_traits>

#include "Vek/Hash.h"

namespace Vek {

// Value types of the framework compare through `static bool isEq(void const*, void const*)`.
template <class Key>
concept HasStaticIsEq = requires(void const* a, void const* b) {
  { Key::isEq(a, b) } -> std::convertible_to<bool>;
};

template <class Key>
struct DefaultKeyOps {
  static bool isEq(Key const& a, Key const& b) {
    if constexpr (HasStaticIsEq<Key>) {
      return Key::isEq(&a, &b);
    } else {
      return a == b;
    }
  }
  // operator< directly, or synthesised from operator<=>.
  static bool less(Key const& a, Key const& b) { return a < b; }
};

template <class Key, std::uint32_t Constant>
struct SeededKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) {
    return key.hash(HashHelper::hashSeed32() ^ Constant);
  }
};

template <class Int, std::uint32_t Constant>
struct IntegerKeyOps : DefaultKeyOps<Int> {
  static_assert(std::is_integral_v<Int>, "IntegerKeyOps hashes integral keys");
  static std::uint32_t hash(Int key) {
    return hashInteger(static_cast<std::uint64_t>(key), Constant);
  }
};

template <class Key, std::uint32_t Constant>
struct SingleAttrKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) {
    return hashSingleAttr(HashHelper::hashSeed32() ^ Constant, key.value());
  }
};

template <class Key, std::uint32_t Constant>
struct HandedOverKeyOps : DefaultKeyOps<Key> {
  static std::uint32_t hash(Key const& key) { return hashHandedOver(key.hash(), Constant); }
};

}  // namespace Vek
