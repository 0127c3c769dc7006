#include "ChangeLog.h"

#include <algorithm>

#include "Pavo/InspectModule.h"
#include "Pavo/InspectTypes.h"
#include "Pavo/Ptr.h"
#include "Vek/GenericIf.h"

namespace Replay {

namespace {

using Pavo::Inspect::AttrInfo;
using Pavo::Inspect::TypeInfo;

TypeInfo const* typeOfNode(Pavo::Node const& node) {
  return Pavo::ModuleInspectData::typeOf(node.typeData());
}

bool holdsEntities(AttrInfo const& attr) {
  return attr.isCollection() && attr.valueType() != nullptr && attr.valueType()->isEntity();
}

// A copy of the value at `value`, of registered type `type`, in a box.
Vek::GenericValue boxed(TypeInfo const& type, void const* value) {
  Vek::GenericValue box = Vek::GenericValue::defaultOf(type);
  type.ops().destroy(box.data());
  type.ops().copy(box.data(), value);
  return box;
}

// A value's text form; a value holding a collection has none, and is
// written as its members instead: "{key, key}" or "{key: value, ...}".
std::string text(TypeInfo const* type, void const* value) {
  if (type == nullptr)
    return "?";
  Vek::GenericValue const box = boxed(*type, value);
  for (std::size_t i = 0; i < type->attrCount(); ++i) {
    AttrInfo const& attr = type->attrAt(i);
    if (!attr.isCollection())
      continue;
    std::string out;
    Vek::GenericIf::iterate(box, attr.fieldId(),
                            [&](Vek::GenericValue const& k, Vek::GenericValue const& v) {
                              out += (out.empty() ? "{" : ", ") + k.strep();
                              if (!attr.isSet())
                                out += ": " + v.strep();
                            });
    return out.empty() ? "{}" : out + "}";
  }
  return box.strep();
}

}  // namespace

void ChangeLog::follow(Pavo::Node& entity, std::string const& path) {
  auto watch = std::make_unique<Watch>(Watch{{&ChangeLog::dispatch}, this, &entity, path});
  Pavo::Publisher* publisher = entity.publisher();
  if (publisher != nullptr)
    publisher->subscriberAdd(&watch->record, false);
  watches_.push_back(std::move(watch));
  TypeInfo const* type = typeOfNode(entity);
  if (type == nullptr)
    return;
  Vek::GenericValue const self = Vek::GenericValue::ofNode(&entity, type);
  for (std::size_t i = 0; i < type->attrCount(); ++i) {
    AttrInfo const& attr = type->attrAt(i);
    if (!holdsEntities(attr))
      continue;
    Vek::GenericIf::iterate(self, attr.fieldId(),
                            [&](Vek::GenericValue const& key, Vek::GenericValue const& child) {
                              if (Pavo::Node* node = child.node()) {
                                follow(*node, path + "/" + attr.name() + "[" + key.strep() + "]");
                              }
                            });
  }
}

void ChangeLog::unfollow(std::string const& path) {
  std::string const below = path + "/";
  std::erase_if(watches_, [&](std::unique_ptr<Watch> const& w) {
    if (w->path != path && w->path.rfind(below, 0) != 0)
      return false;
    if (Pavo::Publisher* publisher = w->node->publisher())
      publisher->subscriberRemove(&w->record);
    return true;
  });
}

void ChangeLog::unfollowAll() {
  for (auto const& w : watches_) {
    if (Pavo::Publisher* publisher = w->node->publisher())
      publisher->subscriberRemove(&w->record);
  }
  watches_.clear();
}

void ChangeLog::dispatch(Pavo::Publisher*, Pavo::Subscriber* subscriber, Pavo::FieldId fieldId,
                         void const* key, void const* prior) {
  auto const* watch = reinterpret_cast<Watch const*>(subscriber);
  watch->log->onChange(*watch, fieldId, key, prior);
}

void ChangeLog::onChange(Watch const& watch, Pavo::FieldId fieldId, void const* key,
                         void const* prior) {
  TypeInfo const* type = typeOfNode(*watch.node);
  AttrInfo const* attr = type != nullptr ? type->attr(fieldId) : nullptr;
  if (attr == nullptr) {
    out_ << watch.path << " " << fieldId << " changed\n";
    return;
  }
  std::string const keyText = text(attr->keyType(), key);
  Vek::GenericValue const self = Vek::GenericValue::ofNode(watch.node, type);
  Vek::GenericValue const keyValue = boxed(*attr->keyType(), key);
  bool const present = Vek::GenericIf::has(self, fieldId, keyValue);
  out_ << watch.path << " " << fieldId << " " << attr->name() << "[" << keyText << "] ";
  if (prior == nullptr) {
    out_ << "added";
  } else {
    out_ << (present ? "replaced" : "removed");
    if (!holdsEntities(*attr) && attr->valueType() != nullptr) {
      out_ << " (was " << text(attr->valueType(), prior) << ")";
    }
  }
  out_ << "\n";
  std::string const childPath = watch.path + "/" + attr->name() + "[" + keyText + "]";
  if (!holdsEntities(*attr))
    return;
  if (prior != nullptr)
    unfollow(childPath);
  if (present) {
    Vek::GenericValue const child = Vek::GenericIf::get(self, fieldId, keyValue);
    if (Pavo::Node* node = child.node())
      follow(*node, childPath);
  }
}

}  // namespace Replay
