#include "ChangeLog.h"

#include "GenericText.h"
#include "Pavo/InspectTypes.h"
#include "Vek/GenericIf.h"

namespace Srmap {

using Pavo::Inspect::AttrInfo;
using Pavo::Inspect::TypeInfo;

char const* changeKindName(Change::Kind kind) noexcept {
  switch (kind) {
    case Change::Kind::added:
      return "added";
    case Change::Kind::replaced:
      return "replaced";
    case Change::Kind::removed:
      return "removed";
  }
  return "?";
}

std::string changeLine(Change const& c) {
  std::string line = c.path + " " + std::to_string(c.fieldId);
  if (c.attr.empty())
    return line + " changed";
  line += " " + c.attr + "[" + c.key + "] " + changeKindName(c.kind);
  if (c.prior)
    line += " (was " + *c.prior + ")";
  return line;
}

void ChangeLog::follow(Pavo::Node& entity, std::string const& path) {
  auto watch = std::make_unique<Watch>(Watch{{&ChangeLog::dispatch}, this, &entity, path});
  Pavo::Publisher* publisher = entity.publisher();
  if (publisher != nullptr)
    publisher->subscriberAdd(&watch->record, false);
  watches_.push_back(std::move(watch));
  forEachMember(entity, [&](AttrInfo const& attr, Vek::GenericValue const& key,
                            Vek::GenericValue const& child) {
    if (Pavo::Node* node = holdsEntities(attr) ? child.node() : nullptr)
      follow(*node, path + "/" + attr.name() + "[" + key.strep() + "]");
  });
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
  Change change;
  change.path = watch.path;
  change.fieldId = fieldId;
  if (attr == nullptr) {
    sink_(change);
    return;
  }
  change.attr = attr->name();
  change.key = valueText(attr->keyType(), key);
  Vek::GenericValue const self = Vek::GenericValue::ofNode(watch.node, type);
  Vek::GenericValue const keyValue = boxed(*attr->keyType(), key);
  bool const present = Vek::GenericIf::has(self, fieldId, keyValue);
  if (prior != nullptr) {
    change.kind = present ? Change::Kind::replaced : Change::Kind::removed;
    if (!holdsEntities(*attr) && attr->valueType() != nullptr)
      change.prior = valueText(attr->valueType(), prior);
  }
  sink_(change);
  std::string const childPath = watch.path + "/" + change.attr + "[" + change.key + "]";
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

}  // namespace Srmap
