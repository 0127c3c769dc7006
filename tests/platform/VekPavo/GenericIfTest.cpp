#include "VekPavo/GenericIf.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "InspectTestTypes.h"
#include "VekPavo/InspectModule.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using Vek::GenericValue;
namespace GI = Vek::GenericIf;

// Values, counted pointers and operations; the keyed attributes of the
// library's entities go through the generic interface in their own model test.
TEST(GenericIfTest, ReadsValueAndCountedAttributesAndInvokes) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(7);
  r->ownerIs(r->childIs(3));
  GenericValue g = r;
  EXPECT_EQ(GI::read(g, 130).as<unsigned>(), 7u);
  GenericValue owner = GI::read(g, 131);
  EXPECT_EQ(owner.as<Pavo::Ptr<Demo::Child>>().get(), r->owner().get());
  EXPECT_EQ(GI::read(owner, 130).as<std::uint16_t>(), 3u);
  // A read-only pointer reads but hands out no writable one.
  GenericValue viewer = GI::read(g, 132);
  EXPECT_EQ(viewer.as<Pavo::Ptr<Demo::Child const>>().get(), r->owner().get());
  EXPECT_THROW(viewer.as<Pavo::Ptr<Demo::Child>>(), Vek::GenericTypeException);
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { GI::set(viewer, 130, 1u, 1u); }, {"read-only"}));
  EXPECT_EQ(GI::invoke(g, 134, {4000000000u, std::uint16_t{7}}).as<std::uint64_t>(), 4000000007u);
  EXPECT_EQ(GI::invoke(g, 134, {1, 65535u}).as<std::uint64_t>(), 65536u);  // at the maxima
  r->ownerIs(nullptr);
  EXPECT_TRUE(GI::read(g, 131).holdsEntity());
  EXPECT_FALSE(GI::read(g, 131).truth());
}

// Every refusal names the type, and the field id and attribute where there is one.
TEST(GenericIfTest, RefusalsNameTypeAndField) {
  TestSupport::TrackerGuard guard;
  GenericValue g = Demo::routerFactory(1);
  GenericValue null = GenericValue::ofNode(nullptr, g.type());
  struct Case {
    std::function<void()> call;
    std::initializer_list<std::string_view> parts;
  };
  Case const cases[] = {
      {[&] { GI::invoke(g, 134, {GenericValue(1u)}); },
       {"Demo::Router", "134", "sum", "2 argument"}},
      {[&] {
         GI::invoke(g, 134, {1u, 2u, 3u});
       },
       {"Demo::Router", "134", "2 argument"}},
      {[&] {
         GI::invoke(g, 134, {GenericValue(true), 1u});
       },
       {"Demo::Router", "134", "a", "expected U32, got bool"}},
      {[&] {
         GI::invoke(g, 134, {GenericValue(1u), GenericValue(70000u)});
       },
       {"Demo::Router", "134", "b", "does not fit U16"}},
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
  };
  for (Case const& tc : cases)
    EXPECT_TRUE(throwsWith<Pavo::Exception>(tc.call, tc.parts)) << *tc.parts.begin();
}

}  // namespace
