#include "Vek/GenericIf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../Pavo/InspectTestTypes.h"
#include "Pavo/InspectModule.h"
#include "support/TrackedNode.h"

namespace {

using Vek::GenericValue;
namespace GI = Vek::GenericIf;

// Whether `f` raises a Pavo::Exception whose message holds every part.
::testing::AssertionResult refused(std::function<void()> const& f,
                                   std::initializer_list<std::string_view> parts) {
  try {
    f();
  } catch (Pavo::Exception const& e) {
    for (std::string_view p : parts) {
      if (e.msg().find(p) == std::string::npos)
        return ::testing::AssertionFailure() << e.msg() << " lacks " << p;
    }
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "no exception";
}

struct Recorder {
  Pavo::Subscriber sub{&Recorder::dispatch};
  std::vector<Pavo::FieldId> fields;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const*) {
    reinterpret_cast<Recorder*>(s)->fields.push_back(f);
  }
};

// Members of a collection attribute in iteration order, as key strings.
std::vector<std::string> members(GenericValue const& g, Pavo::FieldId field) {
  std::vector<std::string> seen;
  GI::iterate(g, field, [&](GenericValue const& k, GenericValue const& v) {
    seen.push_back(k.strep() + "=" + v.strep());
  });
  return seen;
}

TEST(GenericIfTest, ReadsValueAndCountedAttributes) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(7);
  r->reset(7, r->childIs(3));
  r->spanIs(Demo::Span(1, 2));
  GenericValue g = r;
  EXPECT_EQ(GI::read(g, 130).as<unsigned>(), 7u);
  GenericValue owner = GI::read(g, 131);
  EXPECT_EQ(owner.as<Pavo::Ptr<Demo::Child>>().get(), r->owner().get());
  EXPECT_EQ(GI::read(owner, 130).as<std::uint16_t>(), 3u);
  EXPECT_EQ(GI::read(g, 133).ref<Demo::Span>(), Demo::Span(1, 2));
  // A read-only pointer reads but hands out no writable one.
  GenericValue viewer = GI::read(g, 132);
  EXPECT_EQ(viewer.as<Pavo::Ptr<Demo::Child const>>().get(), r->owner().get());
  EXPECT_THROW(viewer.as<Pavo::Ptr<Demo::Child>>(), Vek::GenericTypeException);
  EXPECT_TRUE(refused([&] { GI::set(viewer, 130, 1u, 1u); }, {"read-only"}));
  r->reset(0, nullptr);
  EXPECT_TRUE(GI::read(g, 131).holdsEntity());
  EXPECT_FALSE(GI::read(g, 131).truth());
}

// Ordered collection of bool, hash collection of entities, hash set: every
// change goes through the owner's mutators, which publish effective changes.
TEST(GenericIfTest, CollectionsChangeThroughTheOwnersMutators) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(1);
  Recorder rec;
  r->publisher()->subscriberAdd(&rec.sub, false);
  GenericValue g = r;
  GI::set(g, 135, 9u, true);
  GI::set(g, 135, 4, false);  // a signed int converts when it fits
  GI::set(g, 135, 9u, true);  // unchanged: nothing published
  EXPECT_EQ(rec.fields, (std::vector<Pavo::FieldId>{135, 135}));
  EXPECT_EQ(GI::count(g, 135), 2u);
  EXPECT_TRUE(GI::has(g, 135, 4u));
  EXPECT_FALSE(GI::has(g, 135, 5u));
  EXPECT_FALSE(GI::get(g, 135, 5u).as<bool>());  // absent reads as false
  EXPECT_EQ(members(g, 135), (std::vector<std::string>{"4=false", "9=true"}));
  EXPECT_TRUE(GI::del(g, 135, 9u).as<bool>());
  EXPECT_FALSE(GI::del(g, 135, 9u).as<bool>());
  EXPECT_EQ(rec.fields.size(), 3u);
  r->publisher()->subscriberRemove(&rec.sub);
  // A visitor may delete the member it stands on.
  for (unsigned k : {1u, 2u, 3u})
    r->flagIs(k, true);
  std::vector<unsigned> visited;
  GI::iterate(g, 135, [&](GenericValue const& k, GenericValue const&) {
    visited.push_back(k.as<unsigned>());
    GI::del(g, 135, k);
  });
  EXPECT_EQ(visited, (std::vector<unsigned>{1, 2, 3, 4}));
  EXPECT_EQ(GI::count(g, 135), 0u);

  auto child = GI::set(g, 136, 5u, GenericValue()).as<Pavo::Ptr<Demo::Child>>();
  EXPECT_EQ(child->id(), 5u);
  EXPECT_EQ(GI::get(g, 136, 5u).node(), child.get());
  EXPECT_EQ(GI::get(g, 136, 6u).node(), nullptr);
  EXPECT_EQ(GI::get(g, 136, 6u).typeName(), "Demo::Child");
  EXPECT_EQ(GI::del(g, 136, 5u).node(), child.get());
  EXPECT_EQ(GI::count(g, 136), 0u);

  GI::set(g, 137, "blue", true);
  EXPECT_TRUE(GI::get(g, 137, "blue").as<bool>());
  EXPECT_FALSE(GI::get(g, 137, "red").as<bool>());
  EXPECT_TRUE(refused([&] { GI::set(g, 137, "red", false); }, {"tag", "false"}));
  EXPECT_EQ(members(g, 137), std::vector<std::string>{"\"blue\"=true"});
  EXPECT_TRUE(GI::del(g, 137, "blue").as<bool>());
  EXPECT_FALSE(GI::del(g, 137, "blue").as<bool>());
}

TEST(GenericIfTest, OperationsAndConstructors) {
  TestSupport::TrackerGuard guard;
  GenericValue g = GI::construct("Demo::Router", {GenericValue(11u)});
  auto r = g.as<Pavo::Ptr<Demo::Router>>();
  EXPECT_EQ(r->routerId(), 11u);
  EXPECT_EQ(r->useCount(), 2u);
  auto c = r->childIs(2);
  EXPECT_TRUE(GI::invoke(g, 138, {GenericValue(12u), GenericValue(c)}).empty());
  EXPECT_EQ(r->routerId(), 12u);
  EXPECT_EQ(r->owner().get(), c.get());
  EXPECT_EQ(GI::invoke(g, 139, {GenericValue(4000000000u), GenericValue(std::uint16_t{7})})
                .as<std::uint64_t>(),
            4000000007u);
}

// Every refusal names the type, and the field id and attribute where there is one.
TEST(GenericIfTest, RefusalsNameTypeAndField) {
  TestSupport::TrackerGuard guard;
  GenericValue g = Demo::routerFactory(1);
  GenericValue c = Demo::routerFactory(2)->childIs(2);
  GenericValue null = GenericValue::ofNode(nullptr, g.type());
  struct Case {
    std::function<void()> call;
    std::initializer_list<std::string_view> parts;
  };
  Case const cases[] = {
      {[&] { GI::invoke(g, 138, {GenericValue(1u)}); },
       {"Demo::Router", "138", "reset", "2 argument"}},
      {[&] {
         GI::invoke(g, 138, {GenericValue(true), c});
       },
       {"Demo::Router", "138", "routerId", "expected U32, got bool"}},
      {[&] {
         GI::invoke(g, 139, {GenericValue(1u), GenericValue(70000u)});
       },
       {"Demo::Router", "139", "b", "does not fit U16"}},
      {[&] { GI::construct("Demo::Router", {}); }, {"Demo::Router", "1 argument"}},
      {[&] { GI::construct("Demo::Child", {}); }, {"Demo::Child", "no generic"}},
      {[&] { GI::construct("Demo::Nope", {}); }, {"Demo::Nope"}},
      {[&] {
         GI::construct("Demo::Entry", {true, true, Demo::Label(1)});
       },
       {"Demo::Entry", "metric", "expected U32, got bool"}},
      {[&] { GI::read(g, 140); }, {"Demo::Router", "field id 140"}},
      {[&] { GI::read(g, 135); }, {"Demo::Router field 135 (flag)", "read"}},
      {[&] { GI::invoke(g, 135); }, {"Demo::Router field 135", "invoke"}},
      {[&] { GI::set(g, 135, "x", true); },
       {"Demo::Router field 135 (flag)", "key", "expected U32, got String"}},
      {[&] { GI::set(g, 135, 1u, 3u); },
       {"Demo::Router field 135 (flag)", "value", "expected bool, got U32"}},
      {[&] { GI::set(g, 135, -1, true); }, {"field 135", "does not fit U32"}},
      {[&] { GI::read(null, 130); }, {"Demo::Router field 130", "null"}},
      {[&] { GI::read(GenericValue(), 130); }, {"no registered type"}},
      {[&] { GI::hash(GI::construct("Demo::EntryList", {})); },
       {"Demo::EntryList", "not hashable"}},
  };
  for (Case const& tc : cases)
    EXPECT_TRUE(refused(tc.call, tc.parts)) << *tc.parts.begin();
}

TEST(GenericIfTest, ValueTypeOperations) {
  Demo::Entry const a(false, 10, Demo::Label(16)), b(true, 0, Demo::Label(1));
  GenericValue ga = a, gb = b;
  EXPECT_EQ(GI::read(ga, 3).as<unsigned>(), 10u);
  EXPECT_EQ(GI::read(ga, 4).ref<Demo::Label>().value(), 16u);
  EXPECT_TRUE(GI::isEq(ga, GenericValue(a)));
  EXPECT_FALSE(GI::isEq(ga, gb));
  EXPECT_TRUE(GI::less(ga, gb));
  EXPECT_FALSE(GI::less(gb, ga));
  EXPECT_EQ(GI::hash(ga), a.hash(0));
  EXPECT_FALSE(GI::truth(GenericValue(Demo::Entry())));
  EXPECT_TRUE(GI::truth(GenericValue(Demo::Entry(false, 0, Demo::Label(1)))));
  auto const& entry = *Pavo::ModuleInspectData::typeByName("Demo::Entry");
  EXPECT_EQ(GI::construct(entry, {}).ref<Demo::Entry>(), Demo::Entry());
  EXPECT_EQ(GI::construct(entry, {ga}).ref<Demo::Entry>(), a);
  EXPECT_TRUE(GI::isEq(GI::construct("Demo::Entry", {true, 0, Demo::Label(1)}), gb));
  GenericValue copy = ga;  // copies of a box are independent
  copy = gb;
  EXPECT_TRUE(GI::isEq(copy, gb));
  EXPECT_TRUE(GI::isEq(ga, GenericValue(a)));
}

TEST(GenericIfTest, ValueWithCollectionChangesInPlace) {
  TestSupport::TrackerGuard guard;
  GenericValue list = GI::construct("Demo::EntryList", {});
  Demo::Entry const e1(false, 1, Demo::Label(1)), e2(true, 0, Demo::Label(0));
  GI::set(list, 2, e2, false);
  GI::set(list, 2, e1, true);
  EXPECT_TRUE(GI::has(list, 2, e2));
  EXPECT_FALSE(GI::get(list, 2, e2).as<bool>());
  EXPECT_TRUE(GI::truth(list));
  EXPECT_EQ(members(list, 2),
            (std::vector<std::string>{"Demo::Entry(isLocal=false, metric=1, label=1)=true",
                                      "Demo::Entry(isLocal=true, metric=0, label=0)=false"}));
  GenericValue copy = GI::construct("Demo::EntryList", {list});
  EXPECT_TRUE(GI::isEq(copy, list));
  EXPECT_TRUE(GI::del(list, 2, e1).as<bool>());
  EXPECT_FALSE(GI::isEq(copy, list));
  EXPECT_EQ(GI::count(copy, 2), 2u);
}

TEST(GenericIfTest, BuiltinScalarsConvertOnlyWhenTheValueFits) {
  GenericValue u8 = std::uint8_t{200};
  EXPECT_EQ(u8.typeName(), "U8");
  EXPECT_EQ(u8.as<std::int16_t>(), 200);
  EXPECT_THROW(u8.as<std::int8_t>(), Pavo::RangeException);
  EXPECT_EQ(GenericValue(-5).as<std::int64_t>(), -5);
  EXPECT_THROW(GenericValue(-5).as<unsigned>(), Pavo::RangeException);
  EXPECT_THROW(GenericValue(true).as<unsigned>(), Vek::GenericTypeException);
  EXPECT_THROW(GenericValue(1u).as<bool>(), Vek::GenericTypeException);
  EXPECT_TRUE(GenericValue(1u).less(GenericValue(2u)));
  EXPECT_EQ(GenericValue(std::string("x")).strep(), "\"x\"");
  EXPECT_FALSE(GenericValue(0u).truth());
  EXPECT_NE(GenericValue(5u).hash(), GenericValue(6u).hash());
}

}  // namespace
