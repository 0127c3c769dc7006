#include "VekPavo/InspectModule.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "Pavo/Exception.h"

namespace Pavo {

namespace {

// The process-wide registry. Never destroyed, so that modules destroyed at
// exit can still leave it.
struct Registry {
  std::vector<ModuleInspectData const*> modules;
  std::unordered_map<std::string_view, Inspect::TypeInfo const*> types;
};

Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

void enter(Inspect::TypeInfo const& type) {
  auto [it, inserted] = registry().types.emplace(type.name(), &type);
  if (!inserted && it->second != &type) {
    throw Exception("type " + type.name() + " is registered twice");
  }
}

}  // namespace

ModuleInspectData::ModuleInspectData(std::string name) : name_(std::move(name)) {}

ModuleInspectData::~ModuleInspectData() {
  if (!loaded_)
    return;
  Registry& r = registry();
  r.modules.erase(std::remove(r.modules.begin(), r.modules.end(), this), r.modules.end());
  for (auto const& t : types_) {
    if (!t)
      continue;
    auto it = r.types.find(t->name());
    if (it != r.types.end() && it->second == t.get())
      r.types.erase(it);
  }
}

Inspect::TypeInfo& ModuleInspectData::typeAdd(std::unique_ptr<Inspect::TypeInfo> type) {
  return typeAdd(std::move(type), static_cast<std::uint32_t>(types_.size()));
}

Inspect::TypeInfo& ModuleInspectData::typeAdd(std::unique_ptr<Inspect::TypeInfo> type,
                                              std::uint32_t index) {
  for (auto const& t : types_) {
    if (t && t->name() == type->name()) {
      throw Exception("module " + name_ + " registers type " + type->name() + " twice");
    }
  }
  if (index < types_.size() && types_[index]) {
    throw Exception("module " + name_ + " registers type " + type->name() + " at index " +
                    std::to_string(index) + ", taken by " + types_[index]->name());
  }
  if (index >= types_.size())
    types_.resize(std::size_t{index} + 1);
  type->placeIn(this, index);
  types_[index] = std::move(type);
  if (loaded_)
    enter(*types_[index]);
  return *types_[index];
}

void ModuleInspectData::loaded() {
  if (loaded_)
    return;
  if (module(name_) != nullptr)
    throw Exception("module " + name_ + " is registered twice");
  for (auto const& t : types_) {
    if (t)
      enter(*t);
  }
  registry().modules.push_back(this);
  loaded_ = true;
}

ModuleInspectData const* ModuleInspectData::module(std::string_view name) noexcept {
  for (ModuleInspectData const* m : registry().modules) {
    if (m->name() == name)
      return m;
  }
  return nullptr;
}

Inspect::TypeInfo const* ModuleInspectData::typeByName(std::string_view fullName) noexcept {
  auto const& types = registry().types;
  auto it = types.find(fullName);
  return it == types.end() ? nullptr : it->second;
}

}  // namespace Pavo
