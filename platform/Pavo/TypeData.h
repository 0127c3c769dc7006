// Pavo::TypeData: what Node::typeData() answers, the registered module and the
// index of the object's type in it; and the slot per C++ type where its
// registration leaves both its record and its TypeData.
//
// The slot lives here, below the reflection layer (VekPavo), so that an
// entity of any folder answers typeData() with Pavo::Inspect::typeDataOf<T>()
// without including that layer; the declaration DSL ("VekPavo/InspectDsl.h")
// fills the slot when it registers T.
#pragma once

#include <cstdint>

namespace Pavo {

class ModuleInspectData;

struct TypeData {
  // Null for the framework's generic node type (collection member nodes and
  // other unregistered nodes).
  ModuleInspectData const* module = nullptr;
  std::uint32_t index = 0;

  friend bool operator==(TypeData const&, TypeData const&) = default;
};

}  // namespace Pavo

namespace Pavo::Inspect {

class TypeInfo;

// Filled once, at registration, on the loading thread; read-only afterwards.
template <class T>
struct TypeSlot {
  static inline TypeInfo const* info = nullptr;
  static inline TypeData data{};
};

// The module and index of T's registration, or the generic node type while T
// is not registered. Entities answer typeData() with it.
template <class T>
TypeData typeDataOf() noexcept {
  return TypeSlot<T>::data;
}

}  // namespace Pavo::Inspect
