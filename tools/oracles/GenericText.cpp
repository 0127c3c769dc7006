#include "oracles/GenericText.h"

#include <algorithm>

#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectModule.h"

namespace Srmap {

namespace {

using Pavo::Inspect::AttrInfo;
using Pavo::Inspect::TypeInfo;

std::string boxText(Vek::GenericValue const& v) {
  return v.holdsEntity() ? "entity" : valueText(v.type(), v.data());
}

void flattenInto(Pavo::Node& node, Path const& above, std::vector<Leaf>& out) {
  forEachMember(node,
                [&](AttrInfo const& attr, Vek::GenericValue const& k, Vek::GenericValue const& v) {
                  Path path = above;
                  path.push_back({attr.name(), boxText(k)});
                  out.push_back({path, attr.isSet() ? "member" : boxText(v)});
                  if (Pavo::Node* child = v.node())
                    flattenInto(*child, path, out);
                });
}

}  // namespace

Vek::GenericValue boxed(TypeInfo const& type, void const* value) {
  Vek::GenericValue box = Vek::GenericValue::defaultOf(type);
  type.ops().destroy(box.data());
  type.ops().copy(box.data(), value);
  return box;
}

void forEachMember(Pavo::Node& node, MemberVisit const& visit) {
  TypeInfo const* type = typeOfNode(node);
  if (type == nullptr)
    return;
  Vek::GenericValue const self = Vek::GenericValue::ofNode(&node, type);
  for (std::size_t i = 0; i < type->attrCount(); ++i) {
    AttrInfo const& attr = type->attrAt(i);
    if (attr.isCollection()) {
      Vek::GenericIf::iterate(
          self, attr.fieldId(),
          [&](Vek::GenericValue const& k, Vek::GenericValue const& v) { visit(attr, k, v); });
    }
  }
}

TypeInfo const* typeOfNode(Pavo::Node const& node) {
  return Pavo::ModuleInspectData::typeOf(node.typeData());
}

bool holdsEntities(AttrInfo const& attr) {
  return attr.isCollection() && attr.valueType() != nullptr && attr.valueType()->isEntity();
}

std::string valueText(TypeInfo const* type, void const* value) {
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

std::string pathText(Path const& path) {
  std::string text;
  for (PathStep const& step : path)
    text += (text.empty() ? "" : "/") + step.attribute + "[" + step.key + "]";
  return text;
}

std::vector<Leaf> flatten(Pavo::Node& root) {
  std::vector<Leaf> out;
  flattenInto(root, {}, out);
  std::sort(out.begin(), out.end(), [](Leaf const& a, Leaf const& b) { return a.path < b.path; });
  return out;
}

}  // namespace Srmap
