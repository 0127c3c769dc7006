// Registration, the generic interface, the inspector and enumeration texts,
// over test types of the shapes no registered platform type has: an
// enumeration, entities that point at each other, a read-only pointer, an
// operation, a generic constructor. The value types and the library's entities
// go through the same interface in OutsideTypesTest, the fuzz targets and the
// mappers' model tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/Hash.h"
#include "Vek/KeyOps.h"
#include "VekPavo/CharRangeRead.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectDsl.h"
#include "VekPavo/InspectModule.h"
#include "VekPavo/Inspector.h"
#include "VekPavo/Strep.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace Demo {

enum class Color : std::uint8_t { red = 1, green = 2 };

class Child : public Pavo::Node, public Granule::SlabAllocated<Child> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Demo::Child"};
  explicit Child(std::uint16_t id) : id_(id) {}
  std::uint16_t id() const { return id_; }
  Color color() const { return color_; }
  Pavo::Ptr<Child> peer() const { return peer_; }
  void peerIs(Pavo::Ptr<Child> const& p) { peer_ = p; }
  void colorIs(Color c) { color_ = c; }
  Pavo::TypeData typeData() const override { return Pavo::Inspect::typeDataOf<Child>(); }

 private:
  std::uint16_t id_;
  Color color_ = Color::red;
  Pavo::Ptr<Child> peer_;
};

// `child` hashes without the process seed, so its order is the same in every
// process and differs from key order for the keys used here: the inspector's
// sorting of hash members shows.
class Router : public Pavo::Node, public Granule::SlabAllocated<Router> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Demo::Router"};
  static constexpr Pavo::FieldId kChildField = 133;
  using HN_Child = Vek::AttrMapMember<"Demo::Router::HN_Child", std::uint16_t, Pavo::Ptr<Child>>;
  struct ChildKeyOps : Vek::DefaultKeyOps<std::uint16_t> {
    static std::uint32_t hash(std::uint16_t id) { return Vek::hashHandedOver(id, 1u); }
  };
  using ChildCollection = Vek::AttrChildMap<HN_Child, ChildKeyOps, kChildField>;

  explicit Router(std::uint32_t routerId) : routerId_(routerId) {}
  ~Router() override { nodeFlagSet(kNotificationActive, false); }
  std::uint32_t routerId() const { return routerId_; }
  Pavo::Ptr<Child> owner() const { return owner_; }
  Pavo::Ptr<Child const> viewer() const { return owner_; }
  ChildCollection const& childCollection() const { return children_; }
  Pavo::Ptr<Child> childIs(std::uint16_t id) { return children_.childIs(id, &publisher_); }
  Pavo::Ptr<Child> childDel(std::uint16_t id) { return children_.valueDel(id, &publisher_); }
  void ownerIs(Pavo::Ptr<Child> owner) { owner_ = std::move(owner); }
  std::uint64_t sum(std::uint32_t a, std::uint16_t b) const { return std::uint64_t{a} + b; }
  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override { return Pavo::Inspect::typeDataOf<Router>(); }

 private:
  std::uint32_t routerId_;
  Pavo::Ptr<Child> owner_;
  mutable Pavo::Publisher publisher_;
  ChildCollection children_;
};

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId) {
  return Pavo::Ptr<Router>::adopt(new Router(routerId));
}

Pavo::ModuleInspectData& inspectModule() {
  static Pavo::ModuleInspectData module("Test/Inspect");
  return module;
}

// The module's whole declaration: one place per type.
[[maybe_unused]] bool const registered = [] {
  Pavo::ModuleInspectData& m = inspectModule();
  Pavo::Inspect::EnumType<Color>(m, "Demo::Color", {{Color::red, "red"}, {Color::green, "green"}});
  Pavo::Inspect::EntityType<Child>(m, "Demo::Child")
      .value("id", &Child::id)
      .value("color", &Child::color)
      .value("peer", &Child::peer);
  Pavo::Inspect::EntityType<Router>(m, "Demo::Router")
      .value("routerId", &Router::routerId)
      .value("owner", &Router::owner)
      .value("viewer", &Router::viewer)
      .hashCollection("child", &Router::childCollection, &Router::childIs, &Router::childDel)
      .operation("sum", &Router::sum, "a", "b")
      .constructor(&routerFactory, "routerId");
  m.loaded();
  return true;
}();

}  // namespace Demo

namespace {

using Pavo::Inspect::TypeInfo;
using Vek::GenericValue;
namespace GI = Vek::GenericIf;

TypeInfo const& type(char const* name) {
  TypeInfo const* t = Pavo::ModuleInspectData::typeByName(name);
  EXPECT_NE(t, nullptr) << name;
  return *t;
}

struct Unregistered {
  bool operator==(Unregistered const&) const = default;
};

// Modules and types are found by name, in declaration order unless a
// declaration names its index; clashes and unregistered types are refused.
TEST(ReflectionTest, RegistryFindsByNameAndRefusesClashes) {
  Pavo::ModuleInspectData const* m = Pavo::ModuleInspectData::module("Test/Inspect");
  ASSERT_EQ(m, &Demo::inspectModule());
  EXPECT_EQ(Pavo::ModuleInspectData::module("Test/Nothing"), nullptr);
  EXPECT_EQ(Pavo::ModuleInspectData::typeByName("Demo::Nothing"), nullptr);
  char const* const order[] = {"Demo::Color", "Demo::Child", "Demo::Router"};
  ASSERT_EQ(m->typeCount(), std::size(order));
  for (std::uint32_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(m->type(i)->name(), order[i]);
    EXPECT_EQ(m->type(i)->index(), i);
    EXPECT_EQ(&type(order[i]), m->type(i));
  }
  EXPECT_EQ(m->type(99), nullptr);
  EXPECT_NE(Pavo::ModuleInspectData::typeByName("String"), nullptr);
  auto r = Demo::routerFactory(1);
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(r->typeData()), &type("Demo::Router"));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(Pavo::TypeData{}), nullptr);
  EXPECT_EQ(type("Demo::Router").kind(), Pavo::Inspect::TypeKind::entity);
  EXPECT_EQ(type("Demo::Color").kind(), Pavo::Inspect::TypeKind::enumeration);

  Pavo::ModuleInspectData dup("Test/Inspect");
  EXPECT_THROW(dup.loaded(), Pavo::Exception);
  Pavo::ModuleInspectData other("Test/Other");
  Pavo::Inspect::ValueType<Unregistered>(other, "Demo::Child");
  EXPECT_THROW(other.loaded(), Pavo::Exception);
  Pavo::Inspect::TypeSlot<Unregistered>::info = nullptr;
  struct Later {
    bool operator==(Later const&) const = default;
  };
  Pavo::ModuleInspectData gaps("Test/Gaps");
  Pavo::Inspect::ValueType<Unregistered>(gaps, "Demo::Gap2", 2);
  Pavo::Inspect::ValueType<Later>(gaps, "Demo::Gap3");
  EXPECT_EQ(gaps.typeCount(), 4u);
  EXPECT_EQ(gaps.type(0), nullptr);
  EXPECT_EQ(gaps.type(2)->index(), 2u);
  EXPECT_EQ(gaps.type(3)->name(), "Demo::Gap3");
  EXPECT_THROW(Pavo::Inspect::ValueType<Later>(gaps, "Demo::Gap", 3), Pavo::Exception);
  gaps.loaded();
  EXPECT_EQ(Pavo::ModuleInspectData::typeByName("Demo::Gap2"), gaps.type(2));
  Pavo::Inspect::TypeSlot<Unregistered>::info = nullptr;
  Pavo::Inspect::TypeSlot<Later>::info = nullptr;
  EXPECT_TRUE(
      throwsWith<Pavo::Exception>([] { Pavo::Inspect::typeOf<Unregistered>(); }, {"Unregistered"}));
}

// Values, counted pointers, operations and enumeration names; the keyed attributes of the
// library's entities go through the generic interface in their own model test.
TEST(ReflectionTest, GenericReadsValueAndCountedAttributesAndInvokes) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(7);
  r->ownerIs(r->childIs(3));
  GenericValue g = r;  // holds a count of its own
  EXPECT_EQ(r->useCount(), 2u);
  EXPECT_EQ(GI::encode(g), "Demo::Router");
  // Reached through a bare node, the entity answers its own record.
  EXPECT_EQ(GenericValue::ofNode(r.get(), nullptr).typeName(), "Demo::Router");
  EXPECT_EQ(GI::read(g, 130).as<unsigned>(), 7u);
  GenericValue owner = GI::read(g, 131);
  EXPECT_EQ(owner.as<Pavo::Ptr<Demo::Child>>().get(), r->owner().get());
  EXPECT_EQ(GI::read(owner, 130).as<std::uint16_t>(), 3u);
  // A read-only pointer reads but hands out no writable one.
  GenericValue viewer = GI::read(g, 132);
  EXPECT_TRUE(viewer.nodeReadOnly());
  EXPECT_EQ(viewer.as<Pavo::Ptr<Demo::Child const>>().get(), r->owner().get());
  EXPECT_THROW(viewer.as<Pavo::Ptr<Demo::Child>>(), Vek::GenericTypeException);
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { GI::set(viewer, 130, 1u, 1u); }, {"read-only"}));
  EXPECT_EQ(GI::invoke(g, 134, {4000000000u, std::uint16_t{7}}).as<std::uint64_t>(), 4000000007u);
  EXPECT_EQ(GI::invoke(g, 134, {1, 65535u}).as<std::uint64_t>(), 65536u);  // at the maxima
  r->ownerIs(nullptr);
  EXPECT_TRUE(GI::read(g, 131).holdsEntity());
  EXPECT_FALSE(GI::read(g, 131).truth());
  // An enumeration writes its names, and its number where it has none.
  EXPECT_EQ(VekPavo::enumToStrep(Demo::Color::green), "green");
  EXPECT_EQ(VekPavo::enumToStrep(static_cast<Demo::Color>(9)), "9");
  EXPECT_EQ(Vek::strepToValue<Demo::Color>("green"), Demo::Color::green);
}

// Every refusal names the type, and the field id and attribute where there is one.
TEST(ReflectionTest, GenericRefusalsNameTypeAndField) {
  TestSupport::TrackerGuard guard;
  GenericValue g = Demo::routerFactory(1);
  GenericValue null = GenericValue::ofNode(nullptr, g.type());
  struct Case {
    std::function<void()> call;
    std::initializer_list<std::string_view> parts;
  };
  // The operation `sum` invoked with `args`.
  auto sum = [&g](std::vector<GenericValue> args) -> std::function<void()> {
    return [&g, args] { GI::invoke(g, 134, args); };
  };
  Case const cases[] = {
      {sum({1u}), {"Demo::Router", "134", "sum", "2 argument"}},
      {sum({1u, 2u, 3u}), {"Demo::Router", "134", "2 argument"}},
      {sum({true, 1u}), {"Demo::Router", "134", "a", "expected U32, got bool"}},
      {sum({1u, 70000u}), {"Demo::Router", "134", "b", "does not fit U16"}},
      {[&] { GI::construct("Demo::Router", {}); }, {"Demo::Router", "1 argument"}},
      {[&] { GI::construct("Demo::Child", {}); }, {"Demo::Child", "no generic"}},
      {[&] { GI::construct("Demo::Nope", {}); }, {"Demo::Nope"}},
      {[&] { GI::read(g, 135); }, {"Demo::Router", "field id 135"}},
      {[&] { GI::read(g, 133); }, {"Demo::Router field 133 (child)", "read"}},
      {[&] { GI::invoke(g, 133); }, {"Demo::Router field 133", "invoke"}},
      {[&] { GI::set(g, 133, "x", GenericValue()); },
       {"Demo::Router field 133 (child)", "key", "expected U16, got String"}},
      {[&] { GI::set(g, 133, -1, GenericValue()); }, {"field 133", "does not fit U16"}},
      {[&] { GI::read(null, 130); }, {"Demo::Router field 130", "null"}},
      {[&] { GI::read(GenericValue(), 130); }, {"no registered type"}},
      {[] { Vek::strepToValue<Demo::Color>("blue"); }, {"Demo::Color"}},
  };
  for (Case const& tc : cases)
    EXPECT_TRUE(throwsWith<Pavo::Exception>(tc.call, tc.parts)) << *tc.parts.begin();
}

// The inspector opens entities recursively, hash members sorted by key (which
// shows only while the collection holds them out of key order), and stops at
// an entity already on its way down; an unregistered entity is named only.
TEST(ReflectionTest, InspectorWritesNestedEntitiesAndStopsAtCycles) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(42);
  auto two = r->childIs(2);
  auto nine = r->childIs(9);
  nine->colorIs(Demo::Color::green);
  two->peerIs(nine);
  nine->peerIs(nine);
  ASSERT_EQ(r->childCollection().begin()->key(), 9u)
      << "the keys' hash order no longer differs from key order";
  EXPECT_EQ(Pavo::Inspect::inspect(*r),
            "Demo::Router\n"
            "  routerId = 42\n"
            "  owner -> null\n"
            "  viewer -> null\n"
            "  child: 2 members\n"
            "    [2] -> Demo::Child\n"
            "      id = 2\n"
            "      color = red\n"
            "      peer -> Demo::Child\n"
            "        id = 9\n"
            "        color = green\n"
            "        peer -> Demo::Child (cycle)\n"
            "    [9] -> Demo::Child\n"
            "      id = 9\n"
            "      color = green\n"
            "      peer -> Demo::Child (cycle)\n");
  r->childDel(2);
  EXPECT_NE(Pavo::Inspect::inspect(*r).find("  child: 1 member\n    [9]"), std::string::npos);
  nine->peerIs(nullptr);
  auto n = Pavo::Ptr<TestSupport::TrackedNode>::adopt(new TestSupport::TrackedNode(1));
  EXPECT_EQ(Pavo::Inspect::inspect(*n), "entity (not registered)\n");
}

}  // namespace
