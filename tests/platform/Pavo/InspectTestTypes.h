// Test types for the registration, generic interface, text form and inspector
// tests: the shapes no registered library type has (an enumeration, entities
// that point at each other, operations), declared through the DSL in
// InspectTestTypes.cpp (module "Test/Inspect").
//
// FakeHashMap stands in for a hash collection with the agreed API subset the
// DSL uses (member, size, begin/end, ->key(), ->value()); it iterates in
// insertion order, so the inspector's sorting of hash members shows.
#pragma once

#include <cstdint>
#include <vector>

#include "Granule/Slab.h"
#include "Pavo/InspectModule.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AllocTrack.h"

namespace Demo {

Pavo::ModuleInspectData& inspectModule();

enum class Color : std::uint8_t { red = 1, green = 2 };

template <class Node, class Key>
class FakeHashMap {
 public:
  class Iterator {
   public:
    Node& operator*() const { return *(*v_)[i_]; }
    Node* operator->() const { return (*v_)[i_].get(); }
    Iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator==(Iterator const& o) const { return i_ == o.i_; }

   private:
    friend class FakeHashMap;
    Iterator(std::vector<Pavo::Ptr<Node>> const* v, std::size_t i) : v_(v), i_(i) {}
    std::vector<Pavo::Ptr<Node>> const* v_;
    std::size_t i_;
  };

  Node* member(Key const& k) const {
    for (auto const& n : v_) {
      if (n->key() == k)
        return n.get();
    }
    return nullptr;
  }
  void memberIs(Pavo::Ptr<Node> n) { v_.push_back(std::move(n)); }
  Pavo::Ptr<Node> memberDel(Key const& k) {
    for (auto it = v_.begin(); it != v_.end(); ++it) {
      if ((*it)->key() == k) {
        Pavo::Ptr<Node> n = *it;
        v_.erase(it);
        return n;
      }
    }
    return {};
  }
  std::size_t size() const { return v_.size(); }
  Iterator begin() const { return Iterator(&v_, 0); }
  Iterator end() const { return Iterator(&v_, v_.size()); }

 private:
  std::vector<Pavo::Ptr<Node>> v_;
};

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
  struct HN_Child : Pavo::Node {
    explicit HN_Child(Pavo::Ptr<Child> c) : child(std::move(c)) {}
    std::uint16_t key() const { return child->id(); }
    Pavo::Ptr<Child> const& value() const { return child; }
    Pavo::Ptr<Child> child;
  };

  explicit Router(std::uint32_t routerId) : routerId_(routerId) {}
  ~Router() override;
  std::uint32_t routerId() const { return routerId_; }
  Pavo::Ptr<Child> owner() const { return owner_; }
  Pavo::Ptr<Child const> viewer() const { return owner_; }

  FakeHashMap<HN_Child, std::uint16_t> const& childCollection() const { return children_; }
  Pavo::Ptr<Child> childIs(std::uint16_t id);
  Pavo::Ptr<Child> childDel(std::uint16_t id);

  void ownerIs(Pavo::Ptr<Child> owner) { owner_ = std::move(owner); }
  std::uint64_t sum(std::uint32_t a, std::uint16_t b) const { return std::uint64_t{a} + b; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  std::uint32_t routerId_;
  Pavo::Ptr<Child> owner_;
  FakeHashMap<HN_Child, std::uint16_t> children_;
  mutable Pavo::Publisher publisher_;
};

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId);

}  // namespace Demo
