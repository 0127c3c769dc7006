// Vek::RbTreeMap: an intrusive ordered map of counted members.
//
// Each member is a counted node (a class derived from RbTreeMember) that
// carries its key, its value and the tree links. The map owns its members
// through one counted link each; a removed member is handed back as a
// Pavo::Ptr and lives while anybody holds it. Iterators hold their member too,
// so they survive the removal of that member or of any other: `++` from a
// removed member continues at the first member whose key is greater than the
// removed one's. Iterators must not outlive their map.
//
//   class VekPrefix : public Vek::RbTreeMember<VekPrefix, Prefix, bool>,
//                     public Granule::SlabAllocated<VekPrefix> {
//    public:
//     using RbTreeMember::RbTreeMember;
//     static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Foo::VekPrefix"};
//   };
//   Vek::RbTreeMap<VekPrefix, Prefix, bool> prefixes;
//   prefixes.memberIs(p, true);
//   bool const stored = prefixes.lookup(p);   // false when absent
//   for (auto it = prefixes.iterFrom(p); !it.atEnd(); ++it) use(it->key());
//
// Look-ups walk one root-to-leaf path: an equal key (KeyOps::isEq) ends the
// walk, a smaller key (KeyOps::less) goes left, any other right. Look-ups,
// overwrites and iteration allocate nothing; memberIs allocates one node for
// a new key with `new Node(key, value)`; a key greater than the largest
// member (which the map keeps) is linked after it without a walk, so building
// from an ordered source costs no descents. Erasing relinks the successor node,
// so only the erased member changes. Copying is the user's job (iterate and
// memberIs).
#pragma once

#include <cassert>
#include <cstddef>
#include <utility>

#include "Pavo/Ptr.h"
#include "Vek/KeyOps.h"
#include "Vek/MemberIterator.h"
#include "Vek/RbTreeAlgo.h"

namespace Vek {

// Base of member node classes; Derived is the member class itself.
template <class Derived, class Key, class Value>
class RbTreeMember : public RbTreeNodeBase {
 public:
  RbTreeMember(Key const& key, Value const& value) : key_(key), value_(value) {}

  Key const& key() const noexcept { return key_; }
  Value const& value() const noexcept { return value_; }
  void valueIs(Value const& value) { value_ = value; }

 private:
  Key const key_;  // fixed: the member's place in the tree depends on it
  Value value_;
};

template <class Node, class Key, class Value, class KeyOps = DefaultKeyOps<Key>>
class RbTreeMap {
 public:
  using Iterator = MemberIterator<RbTreeMap, Node>;

  RbTreeMap() noexcept = default;
  RbTreeMap(RbTreeMap const&) = delete;
  RbTreeMap& operator=(RbTreeMap const&) = delete;
  RbTreeMap(RbTreeMap&& o) noexcept
      : root_(std::move(o.root_)),
        last_(std::exchange(o.last_, nullptr)),
        size_(std::exchange(o.size_, 0)) {}
  RbTreeMap& operator=(RbTreeMap&& o) noexcept {
    if (this != &o) {
      deleteAll();
      root_ = std::move(o.root_);
      last_ = std::exchange(o.last_, nullptr);
      size_ = std::exchange(o.size_, 0);
    }
    return *this;
  }
  ~RbTreeMap() { deleteAll(); }

  // Look-ups: the member with an equal key or null (a const map hands out
  // const members), whether there is one, and the value stored under it or
  // Value() when absent (no insertion).
  Node* find(Key const& key) noexcept { return findNode(key); }
  Node const* find(Key const& key) const noexcept { return findNode(key); }
  bool contains(Key const& key) const noexcept { return findNode(key) != nullptr; }
  Value lookup(Key const& key) const {
    Node const* m = findNode(key);
    return m ? m->value() : Value();
  }

  // Overwrites the value of the member with an equal key in place, or inserts
  // a new member and rebalances. Returns the stored member.
  Node* memberIs(Key const& key, Value const& value) {
    auto const [m, inserted] = memberAdd(key, value);
    if (!inserted)
      m->valueIs(value);
    return m;
  }

  // Inserts a new member unless the key is present (one walk from the root).
  // Returns the stored member and whether it was inserted; a present
  // member's value is left as it is.
  // Keys often come in ascending order (built from an ordered walk): a key
  // after the largest member goes right of it, without the walk.
  std::pair<Node*, bool> memberAdd(Key const& key, Value const& value) {
    RbTreeNodeBase* parent = last_;
    bool asLeft = false;
    if (last_ == nullptr || !KeyOps::less(asNode(last_)->key(), key)) {
      parent = nullptr;
      for (RbTreeNodeBase* n = root_.get(); n;) {
        Node* m = asNode(n);
        if (KeyOps::isEq(key, m->key()))
          return {m, false};
        parent = n;
        asLeft = KeyOps::less(key, m->key());
        n = asLeft ? n->left_.get() : n->right_.get();
      }
    }
    Node* created = new Node(key, value);
    RbTreeAlgo::insert(root_, parent, asLeft, Pavo::Ptr<RbTreeNodeBase>::adopt(created));
    if (parent == last_ && !asLeft)
      last_ = created;
    ++size_;
    return {created, true};
  }

  // The removed member, or null when the key is absent.
  Pavo::Ptr<Node> memberDel(Key const& key) {
    Node* m = findNode(key);
    return m ? unlink(m) : Pavo::Ptr<Node>();
  }
  // The removed member; null for end() or a member that is already out.
  Pavo::Ptr<Node> memberDel(Iterator const& it) {
    assert((it.atEnd() || it.map() == this) && "memberDel() with another map's iterator");
    Node* m = it.member();
    return m && m->linked() ? unlink(m) : Pavo::Ptr<Node>();
  }

  // Every member out, in O(n) without recursion; members held elsewhere stay
  // alive and report !linked().
  void deleteAll() noexcept {
    RbTreeAlgo::clear(root_);
    last_ = nullptr;
    size_ = 0;
  }

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // Ascending key order.
  Iterator begin() const noexcept { return Iterator(this, asNode(RbTreeAlgo::first(root_.get()))); }
  Iterator end() const noexcept { return Iterator(this, nullptr); }
  // At the member with an equal key, else at the first greater one, else end.
  Iterator iterFrom(Key const& key) const noexcept {
    Node* found = nullptr;
    RbTreeNodeBase* n = root_.get();
    while (n) {
      Node* m = asNode(n);
      if (KeyOps::isEq(key, m->key()))
        return Iterator(this, m);
      if (KeyOps::less(key, m->key())) {
        found = m;
        n = n->left_.get();
      } else {
        n = n->right_.get();
      }
    }
    return Iterator(this, found);
  }

  // The member after `member`: its in-order successor while linked, else the
  // first member with a greater key, searched from the root.
  Node* following(Node& member) const noexcept {
    return member.linked() ? asNode(RbTreeAlgo::next(&member)) : upperBound(member.key());
  }

  // For tests: red-black rules, parent links, linked flags, the member count,
  // the largest member and strictly ascending keys.
  bool verify() const noexcept {
    std::size_t count = 0;
    if (!RbTreeAlgo::verify(root_.get(), count) || count != size_ ||
        last_ != RbTreeAlgo::last(root_.get()))
      return false;
    Node const* prev = nullptr;
    for (RbTreeNodeBase* n = RbTreeAlgo::first(root_.get()); n; n = RbTreeAlgo::next(n)) {
      Node const* m = asNode(n);
      if (prev && !KeyOps::less(prev->key(), m->key()))
        return false;
      prev = m;
    }
    return true;
  }

 private:
  static Node* asNode(RbTreeNodeBase* n) noexcept { return static_cast<Node*>(n); }

  Node* findNode(Key const& key) const noexcept {
    RbTreeNodeBase* n = root_.get();
    while (n) {
      Key const& k = asNode(n)->key();
      if (KeyOps::isEq(key, k))
        return asNode(n);
      n = KeyOps::less(key, k) ? n->left_.get() : n->right_.get();
    }
    return nullptr;
  }

  // The first member with a key greater than `key`, or null.
  Node* upperBound(Key const& key) const noexcept {
    Node* found = nullptr;
    RbTreeNodeBase* n = root_.get();
    while (n) {
      Node* m = asNode(n);
      if (KeyOps::less(key, m->key())) {
        found = m;
        n = n->left_.get();
      } else {
        n = n->right_.get();
      }
    }
    return found;
  }

  Pavo::Ptr<Node> unlink(Node* m) noexcept {
    if (m == last_)
      last_ = RbTreeAlgo::prev(m);
    --size_;
    return Pavo::Ptr<Node>::adopt(asNode(RbTreeAlgo::erase(root_, m).release()));
  }

  Pavo::Ptr<RbTreeNodeBase> root_;  // the only counted link to the root; its parent_ is null
  RbTreeNodeBase* last_ = nullptr;  // the largest member; null when empty
  std::size_t size_ = 0;            // number of linked members
};

}  // namespace Vek
