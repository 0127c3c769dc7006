// Subscription: a typed, scoped subscription of a callable to one attribute
// of a notifying entity, for agents that read the library's output maps.
//
//   Subscription<RouterToNodeSegment, Vantre::IpGenPrefix, bool> watch(
//       router, RouterToNodeSegment::kPrefixField,
//       [](Vantre::IpGenPrefix const& prefix, bool const* prior) { ... },
//       [] { ... });  // optional: the router entity is gone
//
// The callable runs inside the entity's publication, for changes of that one
// field only, with the changed key and the prior value (null for a new key;
// for a set, the removed key). Construction checks the field against the
// entity's type registration: it must be a collection whose key type is Key
// and whose value type is Prior (a set's: Key; a collection of child
// entities': Pavo::Ptr<Child>); otherwise it raises Pavo::Exception naming the
// type, the field and both sides.
//
// Lifetime, both ways:
//   - destroying (or reset()) the Subscription unsubscribes it; it never
//     calls the callable afterwards, even inside a publication in progress;
//   - the Subscription does not keep the entity alive. When the entity is
//     destroyed first, the optional second callable is told once, and the
//     Subscription turns inactive (entity() is null); destroying it later is
//     safe. That callable runs inside the entity's destruction: it must not
//     throw or touch the entity.
// A Subscription is neither copied nor moved: the publisher knows its address.
// Hold it in a std::optional or a unique_ptr to replace it.
#pragma once

#include <functional>
#include <type_traits>
#include <utility>

#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Pavo/ScopedSubscriber.h"
#include "VekPavo/InspectTypes.h"

namespace SegmentRouting::Mappers {

// The untyped part: the subscriber record, the entity it watches and the
// check against the registration.
class SubscriptionBase {
 public:
  SubscriptionBase(SubscriptionBase const&) = delete;
  SubscriptionBase& operator=(SubscriptionBase const&) = delete;

  // The watched entity; null once reset() or the entity is gone.
  Pavo::Node* node() const noexcept { return record_.subscribed() ? node_ : nullptr; }
  bool active() const noexcept { return record_.subscribed(); }
  Pavo::FieldId fieldId() const noexcept { return fieldId_; }
  // Unsubscribes now; the callables are not called any more.
  void reset() noexcept;

 protected:
  // What the registration must say of the field.
  struct Expected {
    Pavo::Inspect::TypeInfo const* key;
    Pavo::Inspect::TypeInfo const* prior;
    bool priorIsPtr;
  };
  using DeliverFn = void (*)(SubscriptionBase& self, void const* key, void const* prior);

  SubscriptionBase(Pavo::Node* node, Pavo::FieldId fieldId, Expected const& expected,
                   DeliverFn deliver, std::function<void()> onGone);
  ~SubscriptionBase();

 private:
  static void dispatch(Pavo::Publisher* publisher, Pavo::Subscriber* subscriber,
                       Pavo::FieldId fieldId, void const* key, void const* prior);
  static void gone(Pavo::Publisher* publisher, Pavo::Subscriber* subscriber) noexcept;
  using Record = Pavo::ScopedSubscriber<SubscriptionBase, &SubscriptionBase::dispatch,
                                        &SubscriptionBase::gone>;

  Record record_{*this};
  // Meaningful while record_ is subscribed.
  Pavo::Node* node_;
  Pavo::FieldId fieldId_;
  DeliverFn deliver_;
  std::function<void()> onGone_;
};

template <class Entity, class Key, class Prior>
class Subscription : public SubscriptionBase {
 public:
  using OnChange = std::function<void(Key const& key, Prior const* prior)>;

  Subscription(Pavo::Ptr<Entity> const& entity, Pavo::FieldId fieldId, OnChange onChange,
               std::function<void()> onGone = {})
      : SubscriptionBase(const_cast<std::remove_const_t<Entity>*>(entity.get()), fieldId,
                         Expected{Pavo::Inspect::typeOf<Key>(), Pavo::Inspect::typeOf<Prior>(),
                                  !std::is_void_v<typename Pavo::Inspect::PtrTarget<Prior>::type>},
                         &deliver, std::move(onGone)),
        onChange_(std::move(onChange)) {}

  Entity* entity() const noexcept { return static_cast<Entity*>(node()); }

 private:
  static void deliver(SubscriptionBase& self, void const* key, void const* prior) {
    static_cast<Subscription&>(self).onChange_(*static_cast<Key const*>(key),
                                               static_cast<Prior const*>(prior));
  }

  OnChange onChange_;
};

}  // namespace SegmentRouting::Mappers
