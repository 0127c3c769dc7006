#include <gtest/gtest.h>

#include <string>

#include "InspectTestTypes.h"
#include "VekPavo/InspectDsl.h"
#include "VekPavo/InspectModule.h"
#include "support/ThrowsWith.h"

namespace {

using Pavo::Inspect::TypeInfo;

TypeInfo const& type(char const* name) {
  TypeInfo const* t = Pavo::ModuleInspectData::typeByName(name);
  EXPECT_NE(t, nullptr) << name;
  return *t;
}

TEST(InspectRegistryTest, ModulesAndTypesAreFoundByName) {
  Pavo::ModuleInspectData const* m = Pavo::ModuleInspectData::module("Test/Inspect");
  ASSERT_EQ(m, &Demo::inspectModule());
  EXPECT_EQ(Pavo::ModuleInspectData::module("Test/Nothing"), nullptr);
  EXPECT_EQ(Pavo::ModuleInspectData::typeByName("Demo::Nothing"), nullptr);
  // Type indexes follow the order of declaration in the module.
  char const* const order[] = {"Demo::Color", "Demo::Child", "Demo::Router"};
  ASSERT_EQ(m->typeCount(), std::size(order));
  for (std::uint32_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(m->type(i)->name(), order[i]);
    EXPECT_EQ(m->type(i)->index(), i);
    EXPECT_EQ(&type(order[i]), m->type(i));
  }
  EXPECT_EQ(m->type(99), nullptr);
  EXPECT_NE(Pavo::ModuleInspectData::typeByName("String"), nullptr);
  // Entities answer their registration.
  auto r = Demo::routerFactory(1);
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(r->typeData()), &type("Demo::Router"));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(Pavo::TypeData{}), nullptr);
  EXPECT_EQ(type("Demo::Router").kind(), Pavo::Inspect::TypeKind::entity);
  EXPECT_EQ(type("Demo::Color").kind(), Pavo::Inspect::TypeKind::enumeration);
}

struct Unregistered {
  bool operator==(Unregistered const&) const = default;
};

TEST(InspectRegistryTest, DuplicatesAndUnregisteredTypesAreRefused) {
  Pavo::ModuleInspectData dup("Test/Inspect");
  EXPECT_THROW(dup.loaded(), Pavo::Exception);

  Pavo::ModuleInspectData other("Test/Other");
  Pavo::Inspect::ValueType<Unregistered>(other, "Demo::Child");
  EXPECT_THROW(other.loaded(), Pavo::Exception);
  Pavo::Inspect::TypeSlot<Unregistered>::info = nullptr;

  // A declaration may name its index; free indexes hold no type and a taken
  // one is refused.
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

}  // namespace
