// Pavo::TypeData: what Node::typeData() answers, the registered module and the
// index of the object's type in it.
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
