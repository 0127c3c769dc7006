// Fuzz target: the generic interface on every registered type. The input is
// a sequence of calls (construct, read, has, get, set, del, count, iterate,
// invoke, value comparisons) on a small pool of boxed objects, by type index
// and field id (one past the last attribute too), with arguments read from the
// input: pool members of any type, defaults, null entities, numbers and texts.
// Refusals raise Pavo::Exception and nothing else; comparisons are consistent
// (irreflexive order, equal values hash alike); once the pool is dropped,
// every allocation tracker is back where it was.
//
// Reactors (the types built over the status table) get the run's table and a
// fresh output of their own, and what their calls hand out is not pooled, so
// the input never changes a mapper's output behind its back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "VekPavo/GenericIf.h"

namespace {

using Pavo::FieldId;
using Pavo::Inspect::ArgInfo;
using Pavo::Inspect::TypeInfo;
using Vek::GenericValue;
namespace G = Vek::GenericIf;

constexpr std::size_t kPoolSize = 12;

bool isReactor(TypeInfo const& type) {
  for (ArgInfo const& a : type.ctorArgs()) {
    if (a.type() == Pavo::Inspect::typeOf<Kroma::SegmentRouting::Status>())
      return true;
  }
  return false;
}

// Calls that stop the process by design and so are never made: filing an
// arbitrary segment into the adjacency mapper, or writing its entry cache,
// breaks the agreement between that cache and the connector map, which the
// mapper asserts.
bool stopsByDesign(TypeInfo const& type, FieldId field) {
  return type.name() == "SegmentRouting::Mappers::AdjacencySegmentMapperV2" &&
         (field == 133 || field == 134);
}

class Run {
 public:
  Run(FuzzSupport::Input& in, std::vector<TypeInfo const*> const& types)
      : in_(in), types_(types), status_(Kroma::SegmentRouting::Status::StatusIs()) {
    pool_.emplace_back(status_);
  }

  void step() {
    unsigned const op = in_.below(10);
    if (op == 0) {
      TypeInfo const& type = *types_[in_.below(static_cast<unsigned>(types_.size()))];
      keep(G::construct(type, ctorArgs(type)), false);
      return;
    }
    GenericValue& obj = pool_[in_.below(static_cast<unsigned>(pool_.size()))];
    if (op == 9) {
      compare(obj, pool_[in_.below(static_cast<unsigned>(pool_.size()))]);
      return;
    }
    TypeInfo const& type = G::typeOf(obj);
    FieldId const field =
        type.firstFieldId() +
        static_cast<FieldId>(in_.below(static_cast<unsigned>(type.attrCount() + 1)));
    Pavo::Inspect::AttrInfo const* attr = type.attr(field);
    bool const own = obj.holdsEntity() && isReactor(type);
    if (op >= 4 && op != 6 && stopsByDesign(type, field))
      return;
    auto const key = [&] { return arg(attr ? attr->keyType() : nullptr); };
    switch (op) {
      case 1:
        keep(G::read(obj, field), own);
        break;
      case 2:
        G::has(obj, field, key());
        break;
      case 3:
        keep(G::get(obj, field, key()), own);
        break;
      case 4: {
        TypeInfo const* value = attr ? attr->valueType() : nullptr;
        if (attr != nullptr && attr->isSet())
          value = Pavo::Inspect::builtinType(Pavo::Inspect::Builtin::Bool);
        GenericValue const k = key();
        keep(G::set(obj, field, k, arg(value)), own);
        break;
      }
      case 5:
        keep(G::del(obj, field, key()), own);
        break;
      case 6:
        G::count(obj, field);
        break;
      case 7: {
        // Every member is visited once; the visitor may remove what it visits.
        bool const remove = in_.coin();
        std::size_t visited = 0;
        std::size_t const before = G::count(obj, field);
        G::iterate(obj, field, [&](GenericValue const& k, GenericValue const&) {
          ++visited;
          if (remove)
            G::del(obj, field, k);
        });
        FUZZ_CHECK(visited == before, type.name() + " field " + std::to_string(field));
        FUZZ_CHECK(!remove || G::count(obj, field) == 0, type.name());
        break;
      }
      default: {
        std::vector<GenericValue> args;
        for (ArgInfo const& a : attr ? attr->args() : std::span<ArgInfo const>())
          args.push_back(arg(a.type()));
        keep(G::invoke(obj, field, args), own);
      }
    }
  }

 private:
  std::vector<GenericValue> ctorArgs(TypeInfo const& type) {
    std::vector<GenericValue> args;
    bool const reactor = isReactor(type);
    for (ArgInfo const& a : type.ctorArgs()) {
      TypeInfo const* t = a.type();
      if (t == Pavo::Inspect::typeOf<Kroma::SegmentRouting::Status>()) {
        args.emplace_back(status_);
      } else if (reactor && t->isEntity()) {
        args.push_back(G::construct(*t, {}));
      } else {
        args.push_back(arg(t));
      }
    }
    return args;
  }

  // An argument meant to be of type `want` (null: unknown), often not.
  GenericValue arg(TypeInfo const* want) {
    switch (in_.below(5)) {
      case 0:
        return pool_[in_.below(static_cast<unsigned>(pool_.size()))];
      case 1:
        for (GenericValue const& v : pool_) {
          if (want != nullptr && v.type() == want && in_.coin())
            return v;
        }
        [[fallthrough]];
      case 2:
        if (want == nullptr)
          return GenericValue();
        return want->isEntity() ? GenericValue::ofNode(nullptr, want)
                                : GenericValue::defaultOf(*want);
      case 3:
        return GenericValue(in_.u32() >> (8 * in_.below(4)));
      default:
        if (want == nullptr || want->isEntity())
          return GenericValue(in_.text(40));
        return G::decode(*want, in_.text(80));
    }
  }

  void keep(GenericValue v, bool own) {
    if (!v.empty() && !own)
      (pool_.size() < kPoolSize ? pool_.emplace_back() : pool_[in_.below(kPoolSize)]) =
          std::move(v);
  }

  static void compare(GenericValue const& a, GenericValue const& b) {
    if (a.holdsEntity() || b.holdsEntity() || a.type() != b.type())
      return;
    std::string const what = a.typeName();
    FUZZ_CHECK(a.isEq(a) && !a.less(a), what);
    bool const eq = a.isEq(b), ab = a.less(b), ba = b.less(a);
    FUZZ_CHECK(eq == b.isEq(a) && !(ab && ba) && !(eq && (ab || ba)), what);
    if (eq && a.type()->ops().hash != nullptr)
      FUZZ_CHECK(a.hash() == b.hash(), what);
  }

  FuzzSupport::Input& in_;
  std::vector<TypeInfo const*> const& types_;
  Pavo::Ptr<Kroma::SegmentRouting::Status> status_;
  std::vector<GenericValue> pool_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  static std::vector<TypeInfo const*> const types = FuzzSupport::registeredTypes();
  FuzzSupport::Input in(data, size);
  Vek::AllocTrackSnapshot const before;
  {
    Run run(in, types);
    while (!in.empty()) {
      try {
        run.step();
      } catch (Pavo::Exception const&) {
        // A refusal: the call names what it could not do.
      }
    }
  }
  FuzzSupport::checkTrackersBack(before);
  return 0;
}
