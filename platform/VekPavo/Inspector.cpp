#include "VekPavo/Inspector.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectModule.h"

namespace Pavo::Inspect {

namespace {

class Writer {
 public:
  std::string out;

  // Writes what follows "name = " or "name -> " on the current line, and the
  // nested block of an entity or of a value holding collections.
  void value(Vek::GenericValue const& v, int depth) {
    if (v.holdsEntity()) {
      entity(v, depth);
      return;
    }
    if (v.type() != nullptr && v.type()->kind() == TypeKind::value && v.type()->hasCollection()) {
      out += v.type()->name();
      out += '\n';
      attrs(v, depth + 1);
      return;
    }
    v.toStrep(out);
    out += '\n';
  }

  void object(Vek::GenericValue const& v) { value(v, 0); }

 private:
  void indent(int depth) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }

  void entity(Vek::GenericValue const& v, int depth) {
    Node const* n = v.node();
    if (n == nullptr) {
      out += "null\n";
      return;
    }
    out += v.typeName();
    if (v.type() == nullptr || v.type()->typeData() != n->typeData()) {
      out += " (not registered)\n";
      return;
    }
    if (std::find(path_.begin(), path_.end(), n) != path_.end()) {
      out += " (cycle)\n";
      return;
    }
    out += '\n';
    path_.push_back(n);
    attrs(v, depth + 1);
    path_.pop_back();
  }

  void attrs(Vek::GenericValue const& v, int depth) {
    TypeInfo const& t = *v.type();
    for (std::size_t i = 0; i < t.attrCount(); ++i) {
      AttrInfo const& a = t.attrAt(i);
      switch (a.kind()) {
        case AttrKind::operation:
          break;
        case AttrKind::value:
        case AttrKind::counted:
          indent(depth);
          out += a.name();
          out += a.kind() == AttrKind::counted ? " -> " : " = ";
          value(Vek::GenericIf::read(v, a.fieldId()), depth);
          break;
        case AttrKind::orderedCollection:
        case AttrKind::hashCollection:
          collection(v, a, depth);
          break;
      }
    }
  }

  void collection(Vek::GenericValue const& v, AttrInfo const& a, int depth) {
    std::vector<std::pair<Vek::GenericValue, Vek::GenericValue>> members;
    Vek::GenericIf::iterate(v, a.fieldId(),
                            [&](Vek::GenericValue const& k, Vek::GenericValue const& m) {
                              members.emplace_back(k, m);
                            });
    if (a.kind() == AttrKind::hashCollection) {
      std::sort(members.begin(), members.end(),
                [](auto const& x, auto const& y) { return x.first.less(y.first); });
    }
    indent(depth);
    out += a.name() + ": " + std::to_string(members.size()) +
           (members.size() == 1 ? " member\n" : " members\n");
    for (auto const& [k, m] : members) {
      indent(depth + 1);
      out += '[';
      k.toStrep(out);
      out += ']';
      if (a.isSet()) {
        out += '\n';
        continue;
      }
      out += m.holdsEntity() ? " -> " : " = ";
      value(m, depth + 1);
    }
  }

  // Entities on the way from the root to the one being written.
  std::vector<Node const*> path_;
};

}  // namespace

std::string inspect(Node const& entity) {
  Vek::GenericValue v = Vek::GenericValue::ofNode(
      const_cast<Node*>(&entity), ModuleInspectData::typeOf(entity.typeData()), true);
  return inspect(v);
}

std::string inspect(Vek::GenericValue const& object) {
  Writer w;
  w.object(object);
  return w.out;
}

}  // namespace Pavo::Inspect
