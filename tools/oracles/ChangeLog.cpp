#include "oracles/ChangeLog.h"

#include <algorithm>

#include "VekPavo/InspectTypes.h"
#include "oracles/GenericText.h"

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
  std::string line =
      c.map + (c.path.empty() ? "" : "/") + pathText(c.path) + " " + std::to_string(c.fieldId);
  if (c.attr.empty())
    return line + " changed";
  line += " " + c.attr + "[" + c.key + "] " + changeKindName(c.kind);
  if (c.prior)
    line += " (was " + *c.prior + ")";
  return line;
}

void ChangeLog::follow(Pavo::Node& entity, std::string const& map, Path const& path) {
  // An entity that publishes nothing has no watch: its changes cannot be
  // seen, and nothing would tell of its destruction.
  if (Pavo::Publisher* publisher = entity.publisher()) {
    auto const known =
        std::find_if(watches_.begin(), watches_.end(),
                     [&](std::unique_ptr<Watch> const& w) { return w->node == &entity; });
    if (known != watches_.end()) {
      (*known)->map = map;
      (*known)->path = path;
    } else {
      watches_.push_back(std::make_unique<Watch>(*this, entity, map, path));
      watches_.back()->record.subscribe(*publisher);
    }
  }
  forEachMember(entity, [&](AttrInfo const& attr, Vek::GenericValue const& key,
                            Vek::GenericValue const& child) {
    if (Pavo::Node* node = holdsEntities(attr) ? child.node() : nullptr) {
      Path below = path;
      below.push_back({attr.name(), key.strep()});
      follow(*node, map, below);
    }
  });
}

void ChangeLog::unfollowAll() {
  for (auto const& w : watches_)
    w->record.unsubscribe();
  watches_.clear();
}

void ChangeLog::dispatch(Pavo::Publisher*, Pavo::Subscriber* subscriber, Pavo::FieldId fieldId,
                         void const* key, void const* prior) {
  Watch const& watch = Record::ownerOf(subscriber);
  watch.log->onChange(watch, fieldId, key, prior);
}

void ChangeLog::gone(Pavo::Publisher*, Pavo::Subscriber* subscriber) noexcept {
  Watch const* watch = &Record::ownerOf(subscriber);
  std::erase_if(watch->log->watches_,
                [watch](std::unique_ptr<Watch> const& w) { return w.get() == watch; });
}

void ChangeLog::onChange(Watch const& watch, Pavo::FieldId fieldId, void const* key,
                         void const* prior) {
  TypeInfo const* type = typeOfNode(*watch.node);
  AttrInfo const* attr = type != nullptr ? type->attr(fieldId) : nullptr;
  Change change;
  change.map = watch.map;
  change.path = watch.path;
  change.fieldId = fieldId;
  if (attr == nullptr) {
    sink_(change);
    return;
  }
  change.attr = attr->name();
  change.key = valueText(attr->keyType(), key);
  // Read through the raw object: a removed entity publishes from its
  // destructor, when a counted reference to it would delete it again.
  void const* self = type->fromNode(watch.node);
  Vek::GenericValue const keyValue = boxed(*attr->keyType(), key);
  bool const present = attr->has(self, keyValue);
  if (prior != nullptr) {
    change.kind = present ? Change::Kind::replaced : Change::Kind::removed;
    if (!holdsEntities(*attr) && attr->valueType() != nullptr)
      change.prior = valueText(attr->valueType(), prior);
  }
  sink_(change);
  // A removed or replaced child stays followed until it is destroyed.
  if (!present || !holdsEntities(*attr))
    return;
  Vek::GenericValue const child = attr->get(self, keyValue);
  if (Pavo::Node* node = child.node()) {
    Path below = watch.path;
    below.push_back({change.attr, change.key});
    follow(*node, watch.map, below);
  }
}

}  // namespace Srmap
