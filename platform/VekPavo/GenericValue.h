// Vek::GenericValue: a type-erased value box for the generic interface.
//
// A GenericValue is empty (no value: the result of an operation without one),
// holds a value of a registered non-entity type (builtin scalar, enum or value
// type) together with its TypeInfo, or holds a counted pointer to an entity
// (possibly null). It owns what it holds: a copy copies the value (or adds a
// use to the entity). Values of up to kInlineSize bytes, which includes every
// builtin scalar, live inside the box; larger ones on the heap.
//
//   Vek::GenericValue a = 10u;      // U32
//   Vek::GenericValue b = entry;    // registered value type
//   Vek::GenericValue c = router;   // entity
//   unsigned m = a.as<unsigned>();  // integers convert when in range
//   AdjSegmentEntry const& x = b.ref<AdjSegmentEntry>();
//
// Equality, order, truth, hash and text go through the held type's ValueOps.
// Entities compare by identity and write as their type name. A mismatch of
// the wanted type raises Vek::GenericTypeException naming both types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "Pavo/Exception.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "VekPavo/InspectTypes.h"

namespace Vek {

class GenericTypeException : public Pavo::Exception {
 public:
  using Pavo::Exception::Exception;
};

class GenericValue {
 public:
  static constexpr std::size_t kInlineSize = 32;

  GenericValue() noexcept {}
  GenericValue(GenericValue const& o);
  GenericValue(GenericValue&& o) noexcept;
  GenericValue& operator=(GenericValue const& o);
  GenericValue& operator=(GenericValue&& o) noexcept;
  ~GenericValue() { clear(); }

  // Any registered value or builtin scalar, or a counted pointer to an entity.
  template <class T>
  requires(!std::is_same_v<std::remove_cvref_t<T>, GenericValue>)
      GenericValue(T const& v) {  // NOLINT: implicit by design, for argument lists
    using U = std::remove_cvref_t<T>;
    if constexpr (!std::is_void_v<typename Pavo::Inspect::PtrTarget<U>::type>) {
      entityIs(v.get(), std::is_const_v<typename U::element_type>,
               typeOfOrNull<typename Pavo::Inspect::PtrTarget<U>::type>());
    } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool>) {
      integerIs(Pavo::Inspect::builtinType(Pavo::Inspect::builtinOf<U>()), v);
    } else {
      Pavo::Inspect::TypeInfo const* t = Pavo::Inspect::typeOf<U>();
      void* at = allocate(*t);
      try {
        new (at) U(v);
      } catch (...) {
        unallocate();
        throw;
      }
    }
  }
  GenericValue(char const* s) : GenericValue(std::string(s)) {}  // NOLINT: a String

  // A default-constructed value of a non-entity type.
  static GenericValue defaultOf(Pavo::Inspect::TypeInfo const& type);
  // A counted pointer to `node` (null allowed); `type` is the declared type,
  // used when the node's own type is not registered.
  static GenericValue ofNode(Pavo::Node* node, Pavo::Inspect::TypeInfo const* type,
                             bool readOnly = false);

  bool empty() const noexcept { return kind_ == Kind::empty; }
  bool holdsEntity() const noexcept { return kind_ == Kind::entity; }
  // Null when empty, or for an entity whose type is not registered.
  Pavo::Inspect::TypeInfo const* type() const noexcept { return type_; }
  // "empty", the held type's name, or "entity" for an unregistered one.
  std::string typeName() const;
  Pavo::Node* node() const noexcept { return holdsEntity() ? node_ : nullptr; }
  bool nodeReadOnly() const noexcept { return readOnly_; }
  void const* data() const noexcept { return heap_ ? heap_ : static_cast<void const*>(buf_); }
  void* data() noexcept { return heap_ ? heap_ : static_cast<void*>(buf_); }

  // The held value as T: the exact type, an integer that fits T, or for
  // Pavo::Ptr<E> an entity of type E (or null).
  template <class T>
  T as() const {
    using U = std::remove_cvref_t<T>;
    if constexpr (!std::is_void_v<typename Pavo::Inspect::PtrTarget<U>::type>) {
      using E = typename U::element_type;
      if (!holdsEntity())
        mismatch(Pavo::Inspect::cxxTypeName(typeid(U)));
      if (node_ == nullptr)
        return U();
      if (readOnly_ && !std::is_const_v<E>)
        mismatch("a writable " + cxxName<E>());
      auto* p = dynamic_cast<std::remove_const_t<E>*>(node_);
      if (p == nullptr)
        mismatch(cxxName<E>());
      return U(p);
    } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool>) {
      return static_cast<U>(
          integerAs(std::is_signed_v<U>, minOf<U>(), maxOf<U>(), Pavo::Inspect::builtinOf<U>()));
    } else {
      return ref<U>();
    }
  }
  // The held value, which must be exactly of type T.
  template <class T>
  T const& ref() const {
    Pavo::Inspect::TypeInfo const* t = Pavo::Inspect::typeOf<T>();
    if (kind_ != Kind::value || type_ != t)
      mismatch(t->name());
    return *static_cast<T const*>(data());
  }
  template <class T>
  T& mut() {
    static_cast<void>(ref<T>());
    return *static_cast<T*>(data());
  }

  // Value operations. Values of different types are unequal and order by
  // type name; an empty box equals only an empty box.
  bool isEq(GenericValue const& o) const;
  bool less(GenericValue const& o) const;
  bool truth() const;
  // The type's generic hash (value types: hash(0)); raises for non-hashable ones.
  std::uint32_t hash() const;
  void toStrep(std::string& out) const;
  std::string strep() const;
  friend bool operator==(GenericValue const& a, GenericValue const& b) { return a.isEq(b); }

  // Reads one value of `type` from the range (see "Vek/CharRange.h").
  static GenericValue fromStrep(Pavo::Inspect::TypeInfo const& type, CharRange& range);

 private:
  enum class Kind : std::uint8_t { empty, value, entity };

  template <class T>
  static Pavo::Inspect::TypeInfo const* typeOfOrNull() noexcept {
    return Pavo::Inspect::TypeSlot<T>::info;
  }
  template <class T>
  static std::string cxxName() {
    return Pavo::Inspect::cxxTypeName(typeid(T));
  }
  template <class U>
  static constexpr std::int64_t minOf() {
    return std::is_signed_v<U> ? static_cast<std::int64_t>(std::numeric_limits<U>::min()) : 0;
  }
  template <class U>
  static constexpr std::uint64_t maxOf() {
    return static_cast<std::uint64_t>(std::numeric_limits<U>::max());
  }

  // Storage for a value of `type`, inline or on the heap; sets kind and type.
  // unallocate() gives it back when constructing the value failed.
  void* allocate(Pavo::Inspect::TypeInfo const& type);
  void unallocate() noexcept;
  void entityIs(Pavo::Node const* node, bool readOnly, Pavo::Inspect::TypeInfo const* declared);
  template <class I>
  void integerIs(Pavo::Inspect::TypeInfo const* type, I v) {
    if constexpr (std::is_signed_v<I>) {
      integerStore(type, static_cast<std::int64_t>(v), 0, true);
    } else {
      integerStore(type, 0, static_cast<std::uint64_t>(v), false);
    }
  }
  void integerStore(Pavo::Inspect::TypeInfo const* type, std::int64_t s, std::uint64_t u,
                    bool isSigned);
  // The held integer converted to the builtin `want`; raises when it is no
  // integer or out of [min, max].
  std::uint64_t integerAs(bool wantSigned, std::int64_t min, std::uint64_t max,
                          Pavo::Inspect::Builtin want) const;
  [[noreturn]] void mismatch(std::string const& wanted) const;
  void clear() noexcept;
  void copyFrom(GenericValue const& o);
  void moveFrom(GenericValue& o) noexcept;

  Kind kind_ = Kind::empty;
  // Entities: the pointed-to entity was reached through a read-only pointer.
  bool readOnly_ = false;
  Pavo::Inspect::TypeInfo const* type_ = nullptr;
  // Heap storage of a value larger than kInlineSize; null when inline.
  void* heap_ = nullptr;
  union {
    alignas(std::max_align_t) unsigned char buf_[kInlineSize];
    // Entities: holds one use of the node (null allowed).
    Pavo::Node* node_;
  };
};

}  // namespace Vek
