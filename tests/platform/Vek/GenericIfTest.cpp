#include "Vek/GenericIf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../Pavo/InspectTestTypes.h"
#include "Pavo/InspectModule.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using Vek::GenericValue;
namespace GI = Vek::GenericIf;

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
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { GI::set(viewer, 130, 1u, 1u); }, {"read-only"}));
  EXPECT_EQ(GI::invoke(g, 137, {4000000000u, std::uint16_t{7}}).as<std::uint64_t>(), 4000000007u);
  r->reset(0, nullptr);
  EXPECT_TRUE(GI::read(g, 131).holdsEntity());
  EXPECT_FALSE(GI::read(g, 131).truth());
}

// Ordered collection of bool, hash collection of entities: every
// change goes through the owner's mutators, which publish effective changes.
TEST(GenericIfTest, CollectionsChangeThroughTheOwnersMutators) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(1);
  Recorder rec;
  r->publisher()->subscriberAdd(&rec.sub, false);
  GenericValue g = r;
  GI::set(g, 134, 9u, true);
  GI::set(g, 134, 4, false);  // a signed int converts when it fits
  GI::set(g, 134, 9u, true);  // unchanged: nothing published
  EXPECT_EQ(rec.fields, (std::vector<Pavo::FieldId>{134, 134}));
  EXPECT_EQ(GI::count(g, 134), 2u);
  EXPECT_TRUE(GI::has(g, 134, 4u));
  EXPECT_FALSE(GI::has(g, 134, 5u));
  EXPECT_FALSE(GI::get(g, 134, 5u).as<bool>());  // absent reads as false
  EXPECT_EQ(members(g, 134), (std::vector<std::string>{"4=false", "9=true"}));
  EXPECT_TRUE(GI::del(g, 134, 9u).as<bool>());
  EXPECT_FALSE(GI::del(g, 134, 9u).as<bool>());
  EXPECT_EQ(rec.fields.size(), 3u);
  r->publisher()->subscriberRemove(&rec.sub);
  // A visitor may delete the member it stands on.
  for (unsigned k : {1u, 2u, 3u})
    r->flagIs(k, true);
  std::vector<unsigned> visited;
  GI::iterate(g, 134, [&](GenericValue const& k, GenericValue const&) {
    visited.push_back(k.as<unsigned>());
    GI::del(g, 134, k);
  });
  EXPECT_EQ(visited, (std::vector<unsigned>{1, 2, 3, 4}));
  EXPECT_EQ(GI::count(g, 134), 0u);

  auto child = GI::set(g, 135, 5u, GenericValue()).as<Pavo::Ptr<Demo::Child>>();
  EXPECT_EQ(child->id(), 5u);
  EXPECT_EQ(GI::get(g, 135, 5u).node(), child.get());
  EXPECT_EQ(GI::get(g, 135, 6u).node(), nullptr);
  EXPECT_EQ(GI::get(g, 135, 6u).typeName(), "Demo::Child");
  EXPECT_EQ(GI::del(g, 135, 5u).node(), child.get());
  EXPECT_EQ(GI::count(g, 135), 0u);
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
      {[&] { GI::invoke(g, 136, {GenericValue(1u)}); },
       {"Demo::Router", "136", "reset", "2 argument"}},
      {[&] {
         GI::invoke(g, 136, {GenericValue(true), c});
       },
       {"Demo::Router", "136", "routerId", "expected U32, got bool"}},
      {[&] {
         GI::invoke(g, 137, {GenericValue(1u), GenericValue(70000u)});
       },
       {"Demo::Router", "137", "b", "does not fit U16"}},
      {[&] { GI::construct("Demo::Router", {}); }, {"Demo::Router", "1 argument"}},
      {[&] { GI::construct("Demo::Child", {}); }, {"Demo::Child", "no generic"}},
      {[&] { GI::construct("Demo::Nope", {}); }, {"Demo::Nope"}},
      {[&] {
         GI::construct("Demo::Span", {true, 1u});
       },
       {"Demo::Span", "lo", "expected U16, got bool"}},
      {[&] { GI::read(g, 138); }, {"Demo::Router", "field id 138"}},
      {[&] { GI::read(g, 134); }, {"Demo::Router field 134 (flag)", "read"}},
      {[&] { GI::invoke(g, 134); }, {"Demo::Router field 134", "invoke"}},
      {[&] { GI::set(g, 134, "x", true); },
       {"Demo::Router field 134 (flag)", "key", "expected U32, got String"}},
      {[&] { GI::set(g, 134, 1u, 3u); },
       {"Demo::Router field 134 (flag)", "value", "expected bool, got U32"}},
      {[&] { GI::set(g, 134, -1, true); }, {"field 134", "does not fit U32"}},
      {[&] { GI::read(null, 130); }, {"Demo::Router field 130", "null"}},
      {[&] { GI::read(GenericValue(), 130); }, {"no registered type"}},
  };
  for (Case const& tc : cases)
    EXPECT_TRUE(throwsWith<Pavo::Exception>(tc.call, tc.parts)) << *tc.parts.begin();
}

}  // namespace
