// Test types for the registration, generic interface, text form and inspector
// tests: small values and entities declared through the DSL in
// InspectTestTypes.cpp (module "Test/Inspect").
//
// FakeHashMap stands in for a hash collection with the agreed API subset the
// DSL uses (member, size, begin/end, ->key(), ->value()); it iterates in
// insertion order, so the inspector's sorting of hash members shows.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "Granule/Slab.h"
#include "Pavo/InspectModule.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AllocTrack.h"
#include "Vek/CharRange.h"
#include "Vek/RbTreeMap.h"

namespace Demo {

Pavo::ModuleInspectData& inspectModule();

enum class Color : std::uint8_t { red = 1, green = 2 };

// A 20-bit label with its own text form: the decimal number.
class Label {
 public:
  static constexpr std::uint32_t kMax = 1048575;
  Label() = default;
  explicit Label(std::uint32_t v) : value_(v) {}
  // Raises Pavo::RangeException beyond kMax.
  explicit Label(Vek::CharRange& range);
  std::uint32_t value() const { return value_; }
  std::uint32_t hash(std::uint32_t seed) const;
  friend auto operator<=>(Label const&, Label const&) = default;

 private:
  std::uint32_t value_ = 0;
};

class Entry {
 public:
  Entry() = default;
  Entry(bool isLocal, unsigned metric, Label label)
      : isLocal_(isLocal), metric_(metric), label_(label) {}
  explicit Entry(Vek::CharRange& range);
  bool isLocal() const { return isLocal_; }
  unsigned metric() const { return metric_; }
  Label label() const { return label_; }
  static bool isEq(void const* a, void const* b);
  std::strong_ordering operator<=>(Entry const& o) const;
  bool operator==(Entry const& o) const { return isEq(this, &o); }
  std::uint32_t hash(std::uint32_t seed) const;

 private:
  bool isLocal_ = false;
  unsigned metric_ = 0;
  Label label_;
};

// Read through the generic reader (no reader of its own).
class Span {
 public:
  Span() = default;
  Span(std::uint16_t lo, std::uint16_t hi) : lo_(lo), hi_(hi) {}
  std::uint16_t lo() const { return lo_; }
  std::uint16_t hi() const { return hi_; }
  bool operator==(Span const&) const = default;
  bool operator<(Span const& o) const { return lo_ != o.lo_ ? lo_ < o.lo_ : hi_ < o.hi_; }

 private:
  std::uint16_t lo_ = 0;
  std::uint16_t hi_ = 0;
};

// A value holding an ordered collection; declared non-hashable.
class EntryList {
 public:
  class VekEntry : public Vek::RbTreeMember<VekEntry, Entry, bool>,
                   public Granule::SlabAllocated<VekEntry> {
   public:
    using RbTreeMember::RbTreeMember;
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Demo::EntryList::VekEntry"};
  };
  using Map = Vek::RbTreeMap<VekEntry, Entry, bool>;

  EntryList() = default;
  EntryList(EntryList const& o);
  EntryList& operator=(EntryList const& o);
  Map const& entryCollection() const { return entries_; }
  void entryIs(Entry const& e, bool v) & { entries_.memberIs(e, v); }
  bool entryDel(Entry const& e) &;
  bool entryDel(Map::Iterator const& it) &;
  bool operator==(EntryList const& o) const;
  explicit operator bool() const { return !entries_.empty(); }

 private:
  Map entries_;
};

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
  class VekFlag : public Vek::RbTreeMember<VekFlag, std::uint32_t, bool>,
                  public Granule::SlabAllocated<VekFlag> {
   public:
    using RbTreeMember::RbTreeMember;
    static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Demo::Router::VekFlag"};
  };
  using FlagMap = Vek::RbTreeMap<VekFlag, std::uint32_t, bool>;
  struct HN_Child : Pavo::Node {
    explicit HN_Child(Pavo::Ptr<Child> c) : child(std::move(c)) {}
    std::uint16_t key() const { return child->id(); }
    Pavo::Ptr<Child> const& value() const { return child; }
    Pavo::Ptr<Child> child;
  };
  struct HN_Tag : Pavo::Node {
    explicit HN_Tag(std::string t) : tag(std::move(t)) {}
    std::string const& key() const { return tag; }
    std::string tag;
  };

  explicit Router(std::uint32_t routerId) : routerId_(routerId) {}
  ~Router() override;
  std::uint32_t routerId() const { return routerId_; }
  Pavo::Ptr<Child> owner() const { return owner_; }
  Pavo::Ptr<Child const> viewer() const { return owner_; }
  Span span() const { return span_; }
  EntryList entries() const { return entries_; }

  FlagMap const& flagCollection() const { return flags_; }
  void flagIs(std::uint32_t const& k, bool v);
  bool flagDel(std::uint32_t const& k);
  bool flagDel(FlagMap::Iterator const& it);

  FakeHashMap<HN_Child, std::uint16_t> const& childCollection() const { return children_; }
  Pavo::Ptr<Child> childIs(std::uint16_t id);
  Pavo::Ptr<Child> childDel(std::uint16_t id);

  FakeHashMap<HN_Tag, std::string> const& tagCollection() const { return tags_; }
  void tagIs(std::string const& t);
  bool tagDel(std::string const& t);

  void reset(std::uint32_t routerId, Pavo::Ptr<Child> owner) {
    routerId_ = routerId;
    owner_ = std::move(owner);
  }
  std::uint64_t sum(std::uint32_t a, std::uint16_t b) const { return std::uint64_t{a} + b; }
  void spanIs(Span s) { span_ = s; }
  void entriesIs(EntryList const& e) { entries_ = e; }

  Pavo::Publisher* publisher() const override { return &publisher_; }
  Pavo::TypeData typeData() const override;

 private:
  std::uint32_t routerId_;
  Pavo::Ptr<Child> owner_;
  Span span_;
  EntryList entries_;
  FlagMap flags_;
  FakeHashMap<HN_Child, std::uint16_t> children_;
  FakeHashMap<HN_Tag, std::string> tags_;
  mutable Pavo::Publisher publisher_;
};

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId);

}  // namespace Demo
