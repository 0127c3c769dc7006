// Vek::HashMap2018: the intrusive hash map (or set) of counted member nodes.
//
// Members are Pavo::Node subclasses that derive from HashMember<Self>, which
// carries the member's cached full hash and its bucket-chain link; the key
// comes from the member's own key() (stored, or derived from its value).
//
//   struct HN_Link : Vek::HashSetMember<HN_Link, LinkKey>,
//                    Granule::SlabAllocated<HN_Link> {
//     using HashSetMember::HashSetMember;
//     static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Ns::HN_Link"};
//   };
//   Vek::HashMap2018<HN_Link, LinkKey, Vek::SeededKeyOps<LinkKey, 3187245051u>> set;
//   set.memberIs(Pavo::makePtr<HN_Link>(key));
//
// Ownership: chain links are raw pointers; the map holds exactly one counted
// reference on each linked member, taken by memberIs and handed back (or
// released) by memberDel and deleteAll. A member is in at most one map at a
// time; a removed member is unlinked and lives while anybody holds it.
//
// Order: the bucket of a hash is its top bits, and each chain is kept sorted
// by (hash, KeyOps::less). Iteration therefore runs in ascending (hash, key)
// order whatever the capacity and history, so two maps with equal members
// iterate alike. Doubling splits every chain at one point, with no compares.
//
// Iterators hold a counted reference to their member and survive the removal
// of that member or of any other, growth and deleteAll: `++` from a removed
// member resumes at the first member after the removed one's (hash, key).
// Iterators must not outlive their map. Look-ups, iteration and removal
// allocate nothing; insertion allocates only the bucket array (lazily, and
// when it doubles at load factor 1).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "Pavo/Exception.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Vek/MemberIterator.h"

namespace Vek {

template <class Node, class Key, class KeyOps>
class HashMap2018;

// The links a hash map keeps in each member. Nothing here knows the key.
class HashLink {
 public:
  // Whether the member currently belongs to a map.
  bool linked() const noexcept { return linked_; }
  // The full hash its map filed it under (hashOf(key)); kept after removal,
  // so a caller filing the key again in a map of the same kind need not hash it.
  std::uint32_t filedHash() const noexcept { return hash_; }

 protected:
  HashLink() noexcept = default;
  HashLink(HashLink const&) = delete;
  HashLink& operator=(HashLink const&) = delete;
  ~HashLink() { assert(!linked_ && "a linked member is owned by its map and cannot die"); }

 private:
  friend class HashMapImpl;
  template <class, class, class>
  friend class HashMap2018;

  HashLink* next_ = nullptr;  // next in the bucket chain; null when last or unlinked
  std::uint32_t hash_ = 0;    // full hash; kept after removal so iteration can resume
  bool linked_ = false;
};

// Type-independent part of every HashMap2018: the bucket array, its growth
// and the walks that need only hashes. Invariant: each chain is sorted by
// (hash, key); every hash in bucket i has top bits i; size_ counts the links.
class HashMapImpl {
 public:
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  // Buckets allocated; 0 until the first insertion.
  std::size_t bucketCount() const noexcept {
    return buckets_ ? std::size_t{1} << (32 - shift_) : 0;
  }
  // Buckets for `members` at once (the load factor stays at most 1 until
  // then), for a build that knows how many members it brings. Never shrinks.
  void reserve(std::size_t members);

 protected:
  // Two buckets: most maps are set values of one to four members.
  static constexpr unsigned kInitialShift = 31;

  HashMapImpl() noexcept = default;
  HashMapImpl(HashMapImpl&& other) noexcept { steal(other); }
  HashMapImpl(HashMapImpl const&) = delete;
  HashMapImpl& operator=(HashMapImpl const&) = delete;
  ~HashMapImpl() { assert(size_ == 0 && "the typed map empties itself first"); }

  std::size_t bucketOf(std::uint32_t hash) const noexcept { return hash >> shift_; }
  // Head of the chain a hash belongs to; null when there are no buckets.
  HashLink* chainOf(std::uint32_t hash) const noexcept {
    return buckets_ ? buckets_[bucketOf(hash)] : nullptr;
  }
  // Slot of the chain head for `hash`, allocating the buckets on first use.
  HashLink** slotFor(std::uint32_t hash);
  // Head of the first non-empty bucket at or after `bucket`.
  HashLink* firstFrom(std::size_t bucket) const noexcept;
  HashLink* first() const noexcept { return firstFrom(0); }
  HashLink* nextOf(HashLink const* link) const noexcept {
    return link->next_ ? link->next_ : firstFrom(bucketOf(link->hash_) + 1);
  }
  // The slot pointing at `link`, or null when `link` is not in this map.
  HashLink** slotOf(HashLink const* link) const noexcept;

  // Puts `link` at `slot` (its sorted place in its chain) and grows at load factor 1.
  void linkAt(HashLink** slot, HashLink* link, std::uint32_t hash) noexcept;
  // Takes the link at `slot` out of its chain; returns it unlinked.
  HashLink* unlinkAt(HashLink** slot) noexcept;
  // Empties the map and frees the buckets; returns the former members, unlinked
  // already, as one list through next_, for the typed map to release.
  HashLink* detachAll() noexcept;
  void steal(HashMapImpl& other) noexcept;

  static HashLink*& nextRef(HashLink* link) noexcept { return link->next_; }
  static std::uint32_t hashOfLink(HashLink const* link) noexcept { return link->hash_; }

 private:
  void grow() noexcept;

  HashLink** buckets_ = nullptr;  // 2^(32 - shift_) chain heads, or null while never filled
  std::size_t size_ = 0;
  unsigned shift_ = kInitialShift;  // bucket = hash >> shift_
};

// Base of member node classes. Derived provides `key()`.
template <class Derived>
class HashMember : public Pavo::Node, public HashLink {
 protected:
  HashMember() noexcept = default;
};

// Member of a map: an immutable key and a value.
template <class Derived, class Key, class Value>
class HashMapMember : public HashMember<Derived> {
 public:
  HashMapMember(Key const& key, Value const& value) : key_(key), value_(value) {}
  HashMapMember(Key const& key, Value&& value) : key_(key), value_(std::move(value)) {}
  Key const& key() const noexcept { return key_; }
  Value const& value() const noexcept { return value_; }
  void valueIs(Value const& value) { value_ = value; }
  void valueIs(Value&& value) noexcept(std::is_nothrow_move_assignable_v<Value>) {
    value_ = std::move(value);
  }
  // Puts `value` in place and hands back the former value, moved out.
  Value valueExchange(Value value) noexcept(std::is_nothrow_move_assignable_v<Value>) {
    return std::exchange(value_, std::move(value));
  }
  // Moves the value out, for a removed member that nobody else reads.
  Value valueTake() noexcept(std::is_nothrow_move_constructible_v<Value>) {
    return std::move(value_);
  }

 private:
  Key const key_;  // never changes: the member's place in its map depends on it
  Value value_;
};

// Member of a set: an immutable key.
template <class Derived, class Key>
class HashSetMember : public HashMember<Derived> {
 public:
  explicit HashSetMember(Key const& key) : key_(key) {}
  Key const& key() const noexcept { return key_; }

 private:
  Key const key_;
};

template <class Node, class Key, class KeyOps>
class HashMap2018 : public HashMapImpl {
 public:
  using Iterator = MemberIterator<HashMap2018, Node>;

  HashMap2018() noexcept {
    static_assert(std::is_base_of_v<HashMember<Node>, Node>, "members derive from HashMember");
  }
  HashMap2018(HashMap2018&& other) noexcept = default;
  HashMap2018& operator=(HashMap2018&& other) noexcept {
    if (this != &other) {
      deleteAll();
      steal(other);
    }
    return *this;
  }
  ~HashMap2018() { deleteAll(); }

  static std::uint32_t hashOf(Key const& key) { return KeyOps::hash(key); }

  // Look-ups: the member with an equal key or null (a const map hands out
  // const members), and whether there is one; also with the key's hash
  // already known (hashOf(key)).
  Node* find(Key const& key) { return findNode(key, hashOf(key)); }
  Node* find(Key const& key, std::uint32_t hash) { return findNode(key, hash); }
  Node const* find(Key const& key) const { return findNode(key, hashOf(key)); }
  Node const* find(Key const& key, std::uint32_t hash) const { return findNode(key, hash); }
  bool contains(Key const& key) const { return findNode(key, hashOf(key)) != nullptr; }
  bool contains(Key const& key, std::uint32_t hash) const { return findNode(key, hash) != nullptr; }

  // Inserts `node` unless its key is present. Returns the stored member and
  // whether `node` was inserted; a refused node is released with the Ptr.
  // Throws Pavo::NullPointerException for null, Pavo::Exception for a node
  // that is already in a map.
  std::pair<Node*, bool> memberIs(Pavo::Ptr<Node> node) {
    if (!node)
      throw Pavo::NullPointerException("Vek::HashMap2018::memberIs: null member");
    std::uint32_t const hash = hashOf(node->key());
    return memberIs(std::move(node), hash);
  }
  std::pair<Node*, bool> memberIs(Pavo::Ptr<Node> node, std::uint32_t hash) {
    if (!node)
      throw Pavo::NullPointerException("Vek::HashMap2018::memberIs: null member");
    if (static_cast<HashLink*>(node.get())->linked_) {
      throw Pavo::Exception("Vek::HashMap2018::memberIs: member already belongs to a map");
    }
    auto const& key = node->key();
    HashLink** slot = slotFor(hash);
    while (*slot && hashOfLink(*slot) < hash)
      slot = &nextRef(*slot);
    for (; *slot && hashOfLink(*slot) == hash; slot = &nextRef(*slot)) {
      Node* const present = nodeOf(*slot);
      auto const& k = present->key();
      if (KeyOps::isEq(k, key))
        return {present, false};
      if (KeyOps::less(key, k))
        break;
    }
    Node* const raw = node.release();  // the map's reference from here on
    linkAt(slot, raw, hash);
    return {raw, true};
  }

  // Removes the member; hands it back unlinked with the map's reference. Null when absent.
  Pavo::Ptr<Node> memberDel(Key const& key) { return memberDel(key, hashOf(key)); }
  Pavo::Ptr<Node> memberDel(Key const& key, std::uint32_t hash) {
    if (HashLink** slot = slotOfKey(key, hash))
      return Pavo::Ptr<Node>::adopt(nodeOf(unlinkAt(slot)));
    return nullptr;
  }
  // Removes the iterator's member if it is still in this map; end() removes nothing.
  Pavo::Ptr<Node> memberDel(Iterator const& it) {
    assert((it.atEnd() || it.map() == this) && "iterator of another map");
    if (it.atEnd())
      return nullptr;
    if (HashLink** slot = slotOf(it.member())) {
      return Pavo::Ptr<Node>::adopt(nodeOf(unlinkAt(slot)));
    }
    return nullptr;
  }

  // Takes every member out (each is unlinked before any is released, so a
  // destructor that reads this map sees it empty) and frees the buckets.
  void deleteAll() noexcept {
    if (bucketCount() == 0)
      return;  // never filled, or moved from: nothing to take out
    HashLink* link = detachAll();
    while (link) {
      HashLink* const next = std::exchange(nextRef(link), nullptr);
      nodeOf(link)->decUseImpl();
      link = next;
    }
  }

  Iterator begin() const noexcept { return Iterator(this, nodeOrNull(first())); }
  Iterator end() const noexcept { return Iterator(); }
  // At `key`, else at the first member after it in iteration order, else end().
  Iterator iterFrom(Key const& key) const {
    return Iterator(this, nodeOrNull(bound(hashOf(key), key, true)));
  }

  // The member after `member` in iteration order: its chain or bucket
  // successor while linked, else the first member after its (hash, key).
  Node* following(Node& member) const noexcept {
    HashLink const* link = &member;
    return nodeOrNull(link->linked_ ? nextOf(link) : bound(link->hash_, member.key(), false));
  }

  // Same member count and `eq(Node const&, Node const&)` for each pair in
  // iteration order. Takes no references.
  template <class MemberEq>
  bool isEq(HashMap2018 const& other, MemberEq eq) const {
    if (this == &other)
      return true;
    if (size() != other.size())
      return false;
    for (HashLink *a = first(), *b = other.first(); a; a = nextOf(a), b = other.nextOf(b)) {
      if (!eq(static_cast<Node const&>(*nodeOf(a)), static_cast<Node const&>(*nodeOf(b)))) {
        return false;
      }
    }
    return true;
  }

 private:
  static Node* nodeOf(HashLink* link) noexcept {
    return static_cast<Node*>(static_cast<HashMember<Node>*>(link));
  }
  static Node* nodeOrNull(HashLink* link) noexcept { return link ? nodeOf(link) : nullptr; }

  Node* findNode(Key const& key, std::uint32_t hash) const {
    HashLink* link = chainOf(hash);
    while (link && hashOfLink(link) < hash)
      link = nextRef(link);
    for (; link && hashOfLink(link) == hash; link = nextRef(link)) {
      Node* const node = nodeOf(link);
      auto const& k = node->key();
      if (KeyOps::isEq(k, key))
        return node;
      if (KeyOps::less(key, k))
        break;
    }
    return nullptr;
  }

  // Slot pointing at the member with `key`, or null.
  HashLink** slotOfKey(Key const& key, std::uint32_t hash) {
    if (!chainOf(hash))
      return nullptr;
    HashLink** slot = slotFor(hash);
    while (*slot && hashOfLink(*slot) < hash)
      slot = &nextRef(*slot);
    for (; *slot && hashOfLink(*slot) == hash; slot = &nextRef(*slot)) {
      auto const& k = nodeOf(*slot)->key();
      if (KeyOps::isEq(k, key))
        return slot;
      if (KeyOps::less(key, k))
        break;
    }
    return nullptr;
  }

  // First member at or after (hash, key) when `inclusive`, else strictly after.
  HashLink* bound(std::uint32_t hash, Key const& key, bool inclusive) const {
    if (bucketCount() == 0)
      return nullptr;
    HashLink* link = chainOf(hash);
    while (link && hashOfLink(link) < hash)
      link = nextRef(link);
    for (; link && hashOfLink(link) == hash; link = nextRef(link)) {
      auto const& k = nodeOf(link)->key();
      if (inclusive ? !KeyOps::less(k, key) : KeyOps::less(key, k))
        return link;
    }
    return link ? link : firstFrom(bucketOf(hash) + 1);
  }
};

}  // namespace Vek
