// Vek attribute hash collections: the hash collections that an entity keeps
// as its attributes, with the framework's rules for changing them and for
// publishing each change on the owner's publisher.
//
//   AttrHashSet<Member, KeyOps, Field>    keys
//   AttrHashMap<Member, KeyOps, Field>    key -> value (e.g. a flag per key)
//   AttrChildMap<Member, KeyOps, Field>   key -> Pavo::Ptr<Child>: children that
//                                         the map creates from a key and keeps
//                                         under it (their own key attribute)
//
// Members are slab-allocated node classes derived from Vek::HashSetMember or
// Vek::HashMapMember, each with its own allocation tracker; AttrSetMember and
// AttrMapMember make one from the tracker's name:
//
//   using HN_Child = Vek::AttrMapMember<"Ns::Owner::HN_Child", RouterId, Pavo::Ptr<Child>>;
//   Vek::AttrChildMap<HN_Child, Vek::SeededKeyOps<RouterId, 297630782u>, 131> child_;
//   Pavo::Ptr<Child> childIs(RouterId const& r) { return child_.childIs(r, &publisher_); }
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
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "Granule/Slab.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Vek/AllocTrack.h"
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

template <class Member>
using MemberKey = std::remove_cvref_t<decltype(std::declval<Member const&>().key())>;

// What the three collections share: publication and removal.
template <class Member, class KeyOps, Pavo::FieldId Field>
class AttrHashCollection : public HashMap2018<Member, MemberKey<Member>, KeyOps> {
 public:
  using Key = MemberKey<Member>;
  static constexpr Pavo::FieldId kField = Field;

  // The key equality handed to subscribers: the key type's own where it has
  // one, else the collection's.
  static constexpr Pavo::IsEqFn kKeyIsEq = []() -> Pavo::IsEqFn {
    if constexpr (HasStaticIsEq<Key>) {
      return &Key::isEq;
    } else {
      return [](void const* a, void const* b) {
        return KeyOps::isEq(*static_cast<Key const*>(a), *static_cast<Key const*>(b));
      };
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
    Pavo::Ptr<Member> removed = this->memberDel(key);
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
    if (this->memberHas(key, hash))
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
  Value value(Key const& key) const {
    Member const* m = this->member(key);
    return m ? m->value() : Value();
  }

  // Stores `value` under `key`. An equal stored value changes nothing; another
  // one is replaced and published with the old value as prior; an absent key
  // is added (whatever the value) and published without prior.
  void valueIs(Key const& key, Value const& value, Pavo::Publisher* publisher) {
    std::uint32_t const hash = this->hashOf(key);
    if (Member* m = this->member(key, hash)) {
      if (m->value() == value)
        return;
      Value const prior = m->value();
      m->valueIs(value);
      this->publishChange(publisher, m, &prior);
      return;
    }
    auto [m, inserted] = this->memberIs(Pavo::makePtr<Member>(key, value), hash);
    this->publishChange(publisher, m, nullptr);
  }

  // Removes the member and publishes its removal with its value as prior.
  // Returns that value; a default Value (nothing published) when absent.
  Value valueDel(Key const& key, Pavo::Publisher* publisher) {
    Pavo::Ptr<Member> const removed = this->del(key, publisher);
    return removed ? removed->value() : Value();
  }
};

// Value is Pavo::Ptr<Child>; Child is constructed from the key alone and
// keeps it as its own key attribute, so a child is always stored under it.
// A member either stores the key beside the child (Member(key, child)) or
// reads it from the child (Member(child)), which saves the key's copy.
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
    if (Member* m = this->member(key, hash))
      return m->value();
    auto [m, inserted] = this->memberIs(memberOf(key, Pavo::makePtr<Child>(key)), hash);
    Pavo::Ptr<Member> const held(m);
    this->publish(publisher, held->key(), nullptr);
    return held->value();
  }

 private:
  static Pavo::Ptr<Member> memberOf(Key const& key, ChildPtr child) {
    if constexpr (std::is_constructible_v<Member, ChildPtr>) {
      return Pavo::makePtr<Member>(std::move(child));
    } else {
      return Pavo::makePtr<Member>(key, std::move(child));
    }
  }
};

}  // namespace Vek
