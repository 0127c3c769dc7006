#include <gtest/gtest.h>

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

TEST(InspectRegistryTest, FieldIdsFollowDeclarationOrder) {
  struct Want {
    char const* name;
    AttrKind kind;
  };
  Want const router[] = {{"routerId", AttrKind::value},       {"owner", AttrKind::counted},
                         {"viewer", AttrKind::counted},       {"span", AttrKind::value},
                         {"entries", AttrKind::value},        {"flag", AttrKind::orderedCollection},
                         {"child", AttrKind::hashCollection}, {"tag", AttrKind::hashCollection},
                         {"reset", AttrKind::operation},      {"sum", AttrKind::operation}};
  TypeInfo const& r = type("Demo::Router");
  ASSERT_EQ(r.attrCount(), std::size(router));
  for (std::size_t i = 0; i < std::size(router); ++i) {
    auto const* a = r.attr(static_cast<Pavo::FieldId>(130 + i));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->name(), router[i].name);
    EXPECT_EQ(a->kind(), router[i].kind) << a->name();
    EXPECT_EQ(r.attr(router[i].name), a);
  }
  EXPECT_EQ(r.attr(Pavo::FieldId{129}), nullptr);
  EXPECT_EQ(r.attr(Pavo::FieldId{140}), nullptr);

  TypeInfo const& e = type("Demo::Entry");
  EXPECT_EQ(e.attr(Pavo::FieldId{2})->name(), "isLocal");
  EXPECT_EQ(e.attr(Pavo::FieldId{3})->name(), "metric");
  EXPECT_EQ(e.attr(Pavo::FieldId{4})->name(), "label");
  EXPECT_EQ(e.attr(Pavo::FieldId{5}), nullptr);
}

TEST(InspectRegistryTest, AttributesKnowTheirKeyValueAndArgumentTypes) {
  TypeInfo const& r = type("Demo::Router");
  EXPECT_EQ(r.attr("routerId")->valueType()->name(), "U32");
  EXPECT_EQ(r.attr("owner")->valueType(), &type("Demo::Child"));
  EXPECT_TRUE(r.attr("owner")->valueIsEntity());
  EXPECT_EQ(r.attr("span")->valueType(), &type("Demo::Span"));
  auto const* flag = r.attr("flag");
  EXPECT_EQ(flag->keyType()->name(), "U32");
  EXPECT_EQ(flag->valueType()->name(), "bool");
  EXPECT_FALSE(flag->isSet());
  auto const* child = r.attr("child");
  EXPECT_EQ(child->keyType()->name(), "U16");
  EXPECT_EQ(child->valueType(), &type("Demo::Child"));
  EXPECT_TRUE(child->valueIsEntity());
  EXPECT_TRUE(r.attr("tag")->isSet());
  EXPECT_EQ(r.attr("tag")->valueType(), nullptr);
  EXPECT_EQ(r.attr("tag")->keyType()->name(), "String");

  auto const args = r.attr("reset")->args();
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0].name, "routerId");
  EXPECT_EQ(args[0].type()->name(), "U32");
  EXPECT_EQ(args[1].name, "owner");
  EXPECT_EQ(args[1].type(), &type("Demo::Child"));
  EXPECT_EQ(r.attr("reset")->valueType(), nullptr);
  EXPECT_EQ(r.attr("sum")->valueType()->name(), "U64");

  ASSERT_EQ(r.ctorArgs().size(), 1u);
  EXPECT_EQ(r.ctorArgs()[0].name, "routerId");
  auto const eargs = type("Demo::Entry").ctorArgs();
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

  try {
    Pavo::Inspect::typeOf<Unregistered>();
    FAIL() << "no error for an unregistered type";
  } catch (Pavo::Exception const& e) {
    EXPECT_NE(e.msg().find("Unregistered"), std::string::npos) << e.msg();
  }
}

}  // namespace
