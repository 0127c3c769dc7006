// Test types for the registration, generic interface, text form and inspector
// tests: the shapes no registered library type has (an enumeration, entities
// that point at each other, operations), declared through the DSL in
// InspectTestTypes.cpp (module "Test/Inspect").
//
// Router's `child` is the platform's hash collection under a hash without
// the process seed, so its iteration order is the same in every process and
// differs from key order for the keys the tests use: the inspector's sorting
// of hash members shows.
#pragma once

#include <cstdint>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/Hash.h"
#include "Vek/KeyOps.h"
#include "VekPavo/InspectModule.h"

namespace Demo {

Pavo::ModuleInspectData& inspectModule();

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
  Pavo::TypeData typeData() const override;

 private:
  std::uint16_t id_;
  Color color_ = Color::red;
  Pavo::Ptr<Child> peer_;
};

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
  ~Router() override;
  std::uint32_t routerId() const { return routerId_; }
  Pavo::Ptr<Child> owner() const { return owner_; }
  Pavo::Ptr<Child const> viewer() const { return owner_; }

  ChildCollection const& childCollection() const { return children_; }
  Pavo::Ptr<Child> childIs(std::uint16_t id);
  Pavo::Ptr<Child> childDel(std::uint16_t id);

  void ownerIs(Pavo::Ptr<Child> owner) { owner_ = std::move(owner); }
  std::uint64_t sum(std::uint32_t a, std::uint16_t b) const { return std::uint64_t{a} + b; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  std::uint32_t routerId_;
  Pavo::Ptr<Child> owner_;
  mutable Pavo::Publisher publisher_;
  ChildCollection children_;
};

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId);

}  // namespace Demo
