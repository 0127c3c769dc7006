// Registered values and entity trees as text, through the type registration
// alone: what the change log, the check and the JSON writer share.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Pavo/Node.h"
#include "VekPavo/GenericValue.h"
#include "VekPavo/InspectTypes.h"

namespace Srmap {

// A copy of the value at `value`, of registered type `type`, in a box.
Vek::GenericValue boxed(Pavo::Inspect::TypeInfo const& type, void const* value);
// The entity's registered type; null for an unregistered one.
Pavo::Inspect::TypeInfo const* typeOfNode(Pavo::Node const& node);
// Calls visit(attr, key, value) for every member of every collection of
// `node` (an unregistered node has none).
using MemberVisit = std::function<void(Pavo::Inspect::AttrInfo const&, Vek::GenericValue const&,
                                       Vek::GenericValue const&)>;
void forEachMember(Pavo::Node& node, MemberVisit const& visit);
// True for a collection whose members are entities.
bool holdsEntities(Pavo::Inspect::AttrInfo const& attr);
// A value's text form; a value holding a collection has none and is written
// as its members: "{key, key}" or "{key: value, ...}". "?" for no type.
std::string valueText(Pavo::Inspect::TypeInfo const* type, void const* value);

// One step down from an entity: a collection attribute and a member's key,
// as text.
struct PathStep {
  std::string attribute;
  std::string key;
  friend auto operator<=>(PathStep const&, PathStep const&) = default;
};
// Where an entity or a member sits below a root: one step per collection.
// The keys stay apart: their texts hold '/' (prefixes), blanks and brackets.
using Path = std::vector<PathStep>;
// "attr[key]/attr[key]"; empty for the root itself.
std::string pathText(Path const& path);

// One member of a collection somewhere below a root: its path from the root
// (the last step is the member) and its value's text ("entity" for an
// entity, "member" for a set's).
struct Leaf {
  Path path;
  std::string value;
  friend bool operator==(Leaf const&, Leaf const&) = default;
};
// Every member of every collection below `root`, sorted by path, so that two
// trees compare whatever their hash order.
std::vector<Leaf> flatten(Pavo::Node& root);

}  // namespace Srmap
