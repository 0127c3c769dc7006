// Vek attribute hash collections: the hash collections that an entity keeps
// as its attributes, with the framework's rules for changing them and for
// publishing each change on the owner's publisher.
//
//   AttrHashSet<Member, KeyOps, Field>    keys
//   AttrHashMap<Member, KeyOps, Field>    key -> value (e.g. a flag per key)
//   AttrChildMap<Member, KeyOps, Field>   key -> Pavo::Ptr<Child>: children kept
//                                         under their own key attribute, created
//                                         by the map from a key or handed in
//
// Members are slab-allocated node classes derived from Vek::HashSetMember or
// Vek::HashMapMember, each with its own allocation tracker; AttrSetMember and
// AttrMapMember make one from the tracker's name, AttrChildMember one that
// reads its key from the child through a key functor:
//
//   using HN_Child = Vek::AttrMapMember<"Ns::Owner::HN_Child", RouterId, Pavo::Ptr<Child>>;
//   Vek::AttrChildMap<HN_Child, Vek::SeededKeyOps<RouterId, 297630782u>, 131> child_;
//   Pavo::Ptr<Child> childIs(RouterId const& r) { return child_.childIs(r, &publisher_); }
//
//   using HN_Peer = Vek::AttrChildMember<"Ns::Owner::HN_Peer", Peer, PeerKeyFunktor>;
//   void peerIs(Pavo::Ptr<Peer> const& p) { peer_.childIs(p, "Ns::Owner", &publisher_); }
//
// Publication: every mutator takes the owner's publisher, or kNoPublisher for
// an owner that does not notify (then nothing is ever published). Each
// effective change is made first and then published, once, as
// publishChangeRecursive(Field, &key, prior, key equality), where prior is
// null for a new key, the replaced or removed value in a map (the removed
// child's Ptr in a child map), and the removed key in a set. The changed
// member stays alive until its publication is done, even when a subscriber
// removes it meanwhile.
//
// Removing all: delEach removes member by member in iteration order, each
// removal published; delAll does that only when somebody subscribes, and
// otherwise empties the collection in one step (so does deleteAll, always).
// Look-ups and publication allocate nothing.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Pavo/IsEq.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/Errors.h"
#include "Vek/HashMap2018.h"
#include "Vek/KeyOps.h"

namespace Vek {

// The publisher argument of an owner that does not notify.
inline constexpr Pavo::Publisher* kNoPublisher = nullptr;

// A type name as a template argument: `AttrSetMember<"Ns::Owner::HN_Key", Key>`.
template <std::size_t N>
struct TypeName {
  constexpr TypeName(char const (&name)[N]) { std::copy_n(name, N, chars); }  // NOLINT: implicit
  char chars[N];
};

// Member classes whose allocations are tracked under `Name`.
template <TypeName Name, class Key>
class AttrSetMember final : public HashSetMember<AttrSetMember<Name, Key>, Key>,
                            public Granule::SlabAllocated<AttrSetMember<Name, Key>> {
 public:
  static inline AllocTrackTypeInfo memAllocationTracker_{Name.chars};
  using HashSetMember<AttrSetMember, Key>::HashSetMember;
};
template <TypeName Name, class Key, class Value>
class AttrMapMember final : public HashMapMember<AttrMapMember<Name, Key, Value>, Key, Value>,
                            public Granule::SlabAllocated<AttrMapMember<Name, Key, Value>> {
 public:
  static inline AllocTrackTypeInfo memAllocationTracker_{Name.chars};
  using HashMapMember<AttrMapMember, Key, Value>::HashMapMember;
};

// A member of a child map that keeps only the child and reads its key from
// it, KeyFunktor()(child), so the key can never disagree with the child. The
// child may be exchanged for another with the same key.
template <TypeName Name, class Child, class KeyFunktor>
class AttrChildMember final
    : public HashMember<AttrChildMember<Name, Child, KeyFunktor>>,
      public Granule::SlabAllocated<AttrChildMember<Name, Child, KeyFunktor>> {
 public:
  using Key = std::remove_cvref_t<std::invoke_result_t<KeyFunktor, Child const&>>;
  static inline AllocTrackTypeInfo memAllocationTracker_{Name.chars};

  explicit AttrChildMember(Pavo::Ptr<Child> child) noexcept : value_(std::move(child)) {}
  static Key keyOf(Child const& child) { return KeyFunktor()(child); }
  Key key() const { return keyOf(*value_); }
  Pavo::Ptr<Child> const& value() const noexcept { return value_; }
  Pavo::Ptr<Child> valueExchange(Pavo::Ptr<Child> child) noexcept {
    assert(child && keyOf(*child) == key() && "a member keeps its key: the child must match");
    return std::exchange(value_, std::move(child));
  }

 private:
  Pavo::Ptr<Child> value_;  // never null
};

template <class Member>
using MemberKey = std::remove_cvref_t<decltype(std::declval<Member const&>().key())>;

// What the three collections share: publication and removal. The hash map
// is a private base: what it offers besides is reading (look-ups, walks,
// hashOf) and deleteAll, so no change can skip its publication.
template <class Member, class KeyOps, Pavo::FieldId Field>
class AttrHashCollection : private HashMap2018<Member, MemberKey<Member>, KeyOps> {
  using Map = HashMap2018<Member, MemberKey<Member>, KeyOps>;

 public:
  using Key = MemberKey<Member>;
  using Iterator = typename Map::Iterator;
  static constexpr Pavo::FieldId kField = Field;

  using Map::begin;
  using Map::bucketCount;
  using Map::contains;
  using Map::deleteAll;
  using Map::empty;
  using Map::end;
  using Map::find;
  using Map::following;
  using Map::hashOf;
  using Map::isEq;
  using Map::iterFrom;
  using Map::size;

  // The key equality handed to subscribers: the key type's own where it has
  // one, else the shared one of plain keys (operator==, as DefaultKeyOps).
  static constexpr Pavo::IsEqFn kKeyIsEq = []() -> Pavo::IsEqFn {
    if constexpr (HasStaticIsEq<Key>) {
      return &Key::isEq;
    } else {
      return &Pavo::Util::IsEq<Key>::isEq;
    }
  }();

  // Publishes Field for `key`; with no publisher, nothing.
  static void publish(Pavo::Publisher* publisher, Key const& key, void const* prior) {
    if (publisher)
      publisher->publishChangeRecursive(Field, &key, prior, kKeyIsEq);
  }

  // Removes the member and publishes its removal; null (nothing published)
  // when absent. The member is handed back unlinked.
  Pavo::Ptr<Member> del(Key const& key, Pavo::Publisher* publisher) {
    return del(key, this->hashOf(key), publisher);
  }
  // The same with the key's hash already known (hashOf(key)).
  Pavo::Ptr<Member> del(Key const& key, std::uint32_t hash, Pavo::Publisher* publisher) {
    Pavo::Ptr<Member> removed = this->memberDel(key, hash);
    if (removed)
      publish(publisher, removed->key(), priorOf(*removed));
    return removed;
  }

  // Removes every member through del, in iteration order; each removed
  // member is released before the next removal.
  void delEach(Pavo::Publisher* publisher) {
    // The iterator survives the removal of its member and moves on to the
    // next member still present.
    for (auto it = this->begin(); !it.atEnd(); ++it)
      del(it->key(), publisher);
  }

  // delEach when somebody subscribes, else one step without publication.
  void delAll(Pavo::Publisher* publisher) {
    if (publisher && publisher->hasSubscribers())
      delEach(publisher);
    else
      this->deleteAll();
  }

 protected:
  // For the collections' own mutators, which publish what they change.
  using Map::memberDel;
  using Map::memberIs;

  // Publishes a change of the linked member `m`, keeping it alive meanwhile.
  static void publishChange(Pavo::Publisher* publisher, Member* m, void const* prior) {
    if (!publisher)
      return;
    Pavo::Ptr<Member> const held(m);
    publish(publisher, held->key(), prior);
  }

 private:
  static void const* priorOf(Member const& m) {
    if constexpr (requires { m.value(); }) {
      return &m.value();
    } else {
      return &m.key();
    }
  }
};

template <class Member, class KeyOps, Pavo::FieldId Field>
class AttrHashSet : public AttrHashCollection<Member, KeyOps, Field> {
 public:
  using Key = MemberKey<Member>;

  // Adds an absent key and publishes it; a present key changes nothing.
  // Returns whether the key was added.
  bool keyIs(Key const& key, Pavo::Publisher* publisher) {
    std::uint32_t const hash = this->hashOf(key);
    if (this->contains(key, hash))
      return false;
    auto [m, inserted] = this->memberIs(Pavo::makePtr<Member>(key), hash);
    this->publishChange(publisher, m, nullptr);
    return true;
  }

  // Whether the key was a member; its removal is published.
  bool keyDel(Key const& key, Pavo::Publisher* publisher) {
    return this->del(key, publisher) != nullptr;
  }
};

template <class Member, class KeyOps, Pavo::FieldId Field>
class AttrHashMap : public AttrHashCollection<Member, KeyOps, Field> {
 public:
  using Key = MemberKey<Member>;
  using Value = std::remove_cvref_t<decltype(std::declval<Member const&>().value())>;

  // The stored value; a default Value (false, a null Ptr) when absent.
  Value lookup(Key const& key) const {
    Member const* m = this->find(key);
    return m ? m->value() : Value();
  }

  // Stores a copy of `value` under `key`. An equal stored value (for a Ptr:
  // the same object) changes nothing; another one is exchanged for the copy,
  // published with the old value as prior and dropped after; an absent key is
  // added (whatever the value) and published without prior.
  void valueIs(Key const& key, Value const& value, Pavo::Publisher* publisher) {
    std::uint32_t const hash = this->hashOf(key);
    if (Member* m = this->find(key, hash)) {
      if (m->value() == value)
        return;
      Value const prior = m->valueExchange(Value(value));
      this->publishChange(publisher, m, &prior);
      return;
    }
    auto [m, inserted] = this->memberIs(memberOf(key, Value(value)), hash);
    this->publishChange(publisher, m, nullptr);
  }
  // The same, taking the caller's value over instead of copying it.
  void valueIs(Key const& key, Value&& value, Pavo::Publisher* publisher) {
    valueIs(key, this->hashOf(key), std::move(value), publisher);
  }
  // The same with the key's hash already known (hashOf(key)). An absent key
  // is filed in `spare` (a member valueDel handed back) when it is of this
  // key and nobody else holds it, instead of in a new member.
  void valueIs(Key const& key, std::uint32_t hash, Value&& value, Pavo::Publisher* publisher,
               Pavo::Ptr<Member> spare = nullptr) {
    if (Member* m = this->find(key, hash)) {
      if (m->value() == value)
        return;
      Value const prior = m->valueExchange(std::move(value));
      this->publishChange(publisher, m, &prior);
      return;
    }
    if (spare && !spare->linked() && spare->useCount() == 1 && KeyOps::isEq(spare->key(), key))
      spare->valueIs(std::move(value));
    else
      spare = memberOf(key, std::move(value));
    auto [m, inserted] = this->memberIs(std::move(spare), hash);
    this->publishChange(publisher, m, nullptr);
  }

  // Removes the member and publishes its removal with its value as prior.
  // Returns that value (moved out when nobody else holds the member); a
  // default Value (nothing published) when absent.
  Value valueDel(Key const& key, Pavo::Publisher* publisher) {
    return valueDel(key, this->hashOf(key), publisher);
  }
  // With `spare` given, a member nobody else holds is handed back there, for
  // the key's next valueIs to file again instead of making a new one.
  Value valueDel(Key const& key, std::uint32_t hash, Pavo::Publisher* publisher,
                 Pavo::Ptr<Member>* spare = nullptr) {
    Pavo::Ptr<Member> removed = this->del(key, hash, publisher);
    if (!removed)
      return Value();
    if constexpr (requires { removed->valueTake(); }) {
      if (removed->useCount() == 1) {
        Value value = removed->valueTake();
        if (spare)
          *spare = std::move(removed);
        return value;
      }
    }
    return removed->value();
  }

 protected:
  // A new member: the key stored beside the value (Member(key, value)), or
  // read from the child (Member(child)).
  static Pavo::Ptr<Member> memberOf(Key const& key, Value&& value) {
    if constexpr (std::is_constructible_v<Member, Value>) {
      return Pavo::makePtr<Member>(std::move(value));
    } else {
      return Pavo::makePtr<Member>(key, std::move(value));
    }
  }
};

// Value is Pavo::Ptr<Child>; a child keeps its key as its own attribute, so
// it is always stored under it. A member either stores the key beside the
// child (Member(key, child)) or reads it from the child (Member(child), as
// AttrChildMember), which saves the key's copy.
template <class Member, class KeyOps, Pavo::FieldId Field>
class AttrChildMap : public AttrHashMap<Member, KeyOps, Field> {
 public:
  using Key = MemberKey<Member>;
  using ChildPtr = typename AttrHashMap<Member, KeyOps, Field>::Value;
  using Child = typename ChildPtr::element_type;

  // The child stored under `key`. When absent, a new Child(key) is stored
  // (the map's reference the only one while the addition is published) and
  // handed back.
  ChildPtr childIs(Key const& key, Pavo::Publisher* publisher) {
    std::uint32_t const hash = this->hashOf(key);
    if (Member* m = this->find(key, hash))
      return m->value();
    auto [m, inserted] = this->memberIs(this->memberOf(key, Pavo::makePtr<Child>(key)), hash);
    Pavo::Ptr<Member> const held(m);
    this->publish(publisher, held->key(), nullptr);
    return held->value();
  }

  // Stores the given child under its own key (Member::keyOf), by identity:
  // the very same child changes nothing, another one under that key replaces
  // it (published with the old one as prior, which is released after). A
  // null child raises the mutator's null-pointer error for `ownerType` and
  // Field; nothing changes and no reference is taken.
  void childIs(ChildPtr const& child, char const* ownerType, Pavo::Publisher* publisher) {
    if (!child)
      throwMutatorArgNullPointerException(ownerType, Field);
    this->valueIs(Member::keyOf(*child), child, publisher);
  }
};

}  // namespace Vek
