#include "VekPavo/Inspector.h"

#include <gtest/gtest.h>

#include <string>

#include "InspectTestTypes.h"
#include "support/TrackedNode.h"

namespace {

TEST(InspectorTest, WritesANestedEntityRecursively) {
  TestSupport::TrackerGuard guard;
  auto r = Demo::routerFactory(42);
  r->ownerIs(r->childIs(2));
  r->childIs(9)->colorIs(Demo::Color::green);
  // The hash members must come out sorted, which shows only while the
  // collection holds them out of key order (not in the order they came).
  auto member = r->childCollection().begin();
  ASSERT_EQ(member->key(), 9u) << "the keys' hash order no longer differs from key order";
  EXPECT_EQ(Pavo::Inspect::inspect(*r),
            "Demo::Router\n"
            "  routerId = 42\n"
            "  owner -> Demo::Child\n"
            "    id = 2\n"
            "    color = red\n"
            "    peer -> null\n"
            "  viewer -> Demo::Child\n"
            "    id = 2\n"
            "    color = red\n"
            "    peer -> null\n"
            "  child: 2 members\n"
            "    [2] -> Demo::Child\n"
            "      id = 2\n"
            "      color = red\n"
            "      peer -> null\n"
            "    [9] -> Demo::Child\n"
            "      id = 9\n"
            "      color = green\n"
            "      peer -> null\n");
  r->childDel(2);
  EXPECT_NE(Pavo::Inspect::inspect(*r).find("  child: 1 member\n    [9]"), std::string::npos);
}

TEST(InspectorTest, StopsAtCycles) {
  TestSupport::TrackerGuard guard;
  auto a = Pavo::Ptr<Demo::Child>::adopt(new Demo::Child(1));
  auto b = Pavo::Ptr<Demo::Child>::adopt(new Demo::Child(2));
  a->peerIs(b);
  b->peerIs(a);
  EXPECT_EQ(Pavo::Inspect::inspect(*a),
            "Demo::Child\n"
            "  id = 1\n"
            "  color = red\n"
            "  peer -> Demo::Child\n"
            "    id = 2\n"
            "    color = red\n"
            "    peer -> Demo::Child (cycle)\n");
  b->peerIs(nullptr);
}

TEST(InspectorTest, UnregisteredEntityIsNamedNotOpened) {
  TestSupport::TrackerGuard guard;
  auto n = Pavo::Ptr<TestSupport::TrackedNode>::adopt(new TestSupport::TrackedNode(1));
  EXPECT_EQ(Pavo::Inspect::inspect(*n), "entity (not registered)\n");
}

}  // namespace
