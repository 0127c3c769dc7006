// Pavo::Util::IsEq: the type-erased key equality that a publication hands to
// its subscribers (Pavo::IsEqFn) for key types without a `static isEq` of
// their own, such as the plain integers that key an entity's children:
//
//   publisher.publishChangeRecursive(field, &protoId, prior,
//                                    &Pavo::Util::IsEq<unsigned short>::isEq);
//
// One instantiation per key type, so every collection of that key type hands
// subscribers the same function.
#pragma once

namespace Pavo::Util {

template <class T>
struct IsEq {
  static bool isEq(void const* a, void const* b) noexcept {
    return *static_cast<T const*>(a) == *static_cast<T const*>(b);
  }
};

}  // namespace Pavo::Util
