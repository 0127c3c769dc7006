#include <gtest/gtest.h>

#include <string>

#include "InspectTestTypes.h"
#include "Pavo/InspectDsl.h"
#include "Pavo/InspectModule.h"

namespace {

using Pavo::Inspect::AttrKind;
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
  char const* const order[] = {"Demo::Color",     "Demo::Label", "Demo::Entry", "Demo::Span",
                               "Demo::EntryList", "Demo::Child", "Demo::Router"};
  ASSERT_EQ(m->typeCount(), std::size(order));
  for (std::uint32_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(m->type(i)->name(), order[i]);
    EXPECT_EQ(m->type(i)->index(), i);
    EXPECT_EQ(&type(order[i]), m->type(i));
  }
  EXPECT_EQ(m->type(99), nullptr);
  EXPECT_NE(Pavo::ModuleInspectData::typeByName("U32"), nullptr);
  EXPECT_NE(Pavo::ModuleInspectData::typeByName("String"), nullptr);
}

TEST(InspectRegistryTest, EntitiesAnswerTheirRegistration) {
  auto r = Demo::routerFactory(1);
  Pavo::TypeData const td = r->typeData();
  EXPECT_EQ(td.module, &Demo::inspectModule());
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(td), &type("Demo::Router"));
  EXPECT_EQ(Pavo::ModuleInspectData::typeOf(Pavo::TypeData{}), nullptr);
  EXPECT_EQ(type("Demo::Router").kind(), Pavo::Inspect::TypeKind::entity);
  EXPECT_EQ(type("Demo::Entry").kind(), Pavo::Inspect::TypeKind::value);
  EXPECT_EQ(type("Demo::Color").kind(), Pavo::Inspect::TypeKind::enumeration);
}

std::string nameOf(TypeInfo const* t) {
  return t ? t->name() : "-";
}

// Field ids follow declaration order; each attribute knows its kind, its key
// and value types, and whether the value is an entity.
TEST(InspectRegistryTest, AttributesFollowDeclarationOrderWithTheirTypes) {
  struct Want {
    char const* name;
    AttrKind kind;
    char const* key;
    char const* value;
    bool entity;
  };
  Want const router[] = {{"routerId", AttrKind::value, "-", "U32", false},
                         {"owner", AttrKind::counted, "-", "Demo::Child", true},
                         {"viewer", AttrKind::counted, "-", "Demo::Child", true},
                         {"span", AttrKind::value, "-", "Demo::Span", false},
                         {"entries", AttrKind::value, "-", "Demo::EntryList", false},
                         {"flag", AttrKind::orderedCollection, "U32", "bool", false},
                         {"child", AttrKind::hashCollection, "U16", "Demo::Child", true},
                         {"tag", AttrKind::hashCollection, "String", "-", false},
                         {"reset", AttrKind::operation, "-", "-", false},
                         {"sum", AttrKind::operation, "-", "U64", false}};
  TypeInfo const& r = type("Demo::Router");
  ASSERT_EQ(r.attrCount(), std::size(router));
  for (std::size_t i = 0; i < std::size(router); ++i) {
    auto const* a = r.attr(static_cast<Pavo::FieldId>(130 + i));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name(), router[i].name);
    EXPECT_EQ(r.attr(router[i].name), a);
    EXPECT_EQ(a->kind(), router[i].kind) << a->name();
    EXPECT_EQ(nameOf(a->keyType()), router[i].key) << a->name();
    EXPECT_EQ(nameOf(a->valueType()), router[i].value) << a->name();
    EXPECT_EQ(a->valueIsEntity(), router[i].entity) << a->name();
  }
  EXPECT_TRUE(r.attr("tag")->isSet());
  EXPECT_FALSE(r.attr("flag")->isSet());
  EXPECT_EQ(r.attr(Pavo::FieldId{129}), nullptr);
  EXPECT_EQ(r.attr(Pavo::FieldId{140}), nullptr);
  TypeInfo const& e = type("Demo::Entry");
  EXPECT_EQ(e.attr(Pavo::FieldId{2})->name(), "isLocal");
  EXPECT_EQ(e.attr(Pavo::FieldId{4})->name(), "label");
  EXPECT_EQ(e.attr(Pavo::FieldId{5}), nullptr);

  auto const args = r.attr("reset")->args();
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].name, "routerId");
  EXPECT_EQ(args[0].type()->name(), "U32");
  EXPECT_EQ(args[1].name, "owner");
  EXPECT_EQ(args[1].type(), &type("Demo::Child"));
  ASSERT_EQ(r.ctorArgs().size(), 1u);
  EXPECT_EQ(r.ctorArgs()[0].name, "routerId");
  auto const eargs = e.ctorArgs();
  ASSERT_EQ(eargs.size(), 3u);
  EXPECT_EQ(eargs[2].name, "label");
  EXPECT_EQ(eargs[2].type(), &type("Demo::Label"));
}

struct Unregistered {
  bool operator==(Unregistered const&) const = default;
};

TEST(InspectRegistryTest, DuplicatesAndUnregisteredTypesAreRefused) {
  Pavo::ModuleInspectData dup("Test/Inspect");
  EXPECT_THROW(dup.loaded(), Pavo::Exception);

  Pavo::ModuleInspectData other("Test/Other");
  Pavo::Inspect::ValueType<Unregistered>(other, "Demo::Entry");
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

  try {
    Pavo::Inspect::typeOf<Unregistered>();
    FAIL() << "no error for an unregistered type";
  } catch (Pavo::Exception const& e) {
    EXPECT_NE(e.msg().find("Unregistered"), std::string::npos) << e.msg();
  }
}

}  // namespace
