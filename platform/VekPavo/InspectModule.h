// Pavo::ModuleInspectData: the registration record of one source module.
//
// Each source module owns one ModuleInspectData (a static of its .cpp, named
// after the module, e.g. "Pathkit/NodeSegmentReverseMapper"). Its static
// initialiser declares the module's types with the DSL of "VekPavo/InspectDsl.h",
// each of which adds its TypeInfo here (the type's index is its position, or an
// index the declaration names, so that a module's numbering can leave indexes
// free for types that come later), and then calls loaded(), which enters the
// module in the process-wide registry:
//
//   Pavo::ModuleInspectData& inspectModule() {
//     static Pavo::ModuleInspectData module("Example/Routers");
//     return module;
//   }
//   [[maybe_unused]] bool const registered = [] {
//     // the module's types, declared with "VekPavo/InspectDsl.h"
//     inspectModule().loaded();
//     return true;
//   }();
//
// The module owns its TypeInfo records. Registration happens at load time on one
// thread; look-ups afterwards are read-only and take no lock. A module that is
// destroyed (its library unloaded) leaves the registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Pavo/TypeData.h"
#include "VekPavo/InspectTypes.h"

namespace Pavo {

class ModuleInspectData {
 public:
  explicit ModuleInspectData(std::string name);
  ModuleInspectData(ModuleInspectData const&) = delete;
  ModuleInspectData& operator=(ModuleInspectData const&) = delete;
  ~ModuleInspectData();

  std::string const& name() const noexcept { return name_; }
  // One past the highest index in use; free indexes below it hold no type.
  std::size_t typeCount() const noexcept { return types_.size(); }
  // Null for a free index or one beyond the module's types.
  Inspect::TypeInfo const* type(std::uint32_t index) const noexcept {
    return index < types_.size() ? types_[index].get() : nullptr;
  }

  // Adds a type at the next index (one past the highest in use), or at `index`
  // when given; raises Pavo::Exception when that index is taken or its name is
  // already registered here or (once loaded) in another loaded module.
  Inspect::TypeInfo& typeAdd(std::unique_ptr<Inspect::TypeInfo> type);
  Inspect::TypeInfo& typeAdd(std::unique_ptr<Inspect::TypeInfo> type, std::uint32_t index);
  // Enters the module and its types in the process-wide registry. A second
  // module of the same name, or a type name registered twice, is refused with
  // Pavo::Exception. Types added after loaded() are entered as they come.
  void loaded();
  bool isLoaded() const noexcept { return loaded_; }

  // Look-ups in the registry; null when unknown.
  static ModuleInspectData const* module(std::string_view name) noexcept;
  static Inspect::TypeInfo const* typeByName(std::string_view fullName) noexcept;
  static Inspect::TypeInfo const* typeOf(TypeData const& typeData) noexcept {
    return typeData.module ? typeData.module->type(typeData.index) : nullptr;
  }

 private:
  std::string name_;
  // types_[i] has index i, or is null when index i is free; owned here.
  std::vector<std::unique_ptr<Inspect::TypeInfo>> types_;
  bool loaded_ = false;
};

}  // namespace Pavo
