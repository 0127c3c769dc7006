// Pavo::Publisher and Pavo::Subscriber: change notification.
//
// A notifying entity owns one Publisher. After each effective change it calls
//   publishChangeRecursive(fieldId, key, prior, isEq)
// and every subscriber's dispatch function runs, synchronously, with
//   (publisher, subscriber, fieldId, key, prior).
// `key` points at the changed key, `prior` at the value that was replaced or
// removed (null for a new key); both live only for the call. `isEq` is the
// key type's equality; a dispatch function that compares keys without knowing
// their type asks for it with keyIsEq().
//
// A Subscriber is a record owned by the subscribing object (usually a member
// of it, so the dispatch function recovers its owner from the record: see
// Pavo::ScopedSubscriber, "Pavo/ScopedSubscriber.h"). Its first word is its
// dispatch function. The publisher stores pointers only.
//
// The publisher going away (its entity destroyed while records are still
// subscribed): each such record whose `gone` function was set when it was
// added is told once (no other record is touched, so those may be gone),
// last subscribed first, with the record already removed, so its owner must
// not unsubscribe it any more. `gone` must not throw, must not touch the
// dying entity, and must not subscribe anything to this publisher; it may
// unsubscribe other records from it. A record without `gone` is dropped
// silently: its owner must not outlive the publisher subscribed.
//
// Changes to the subscriber list during a publication (the policy):
//   - a subscriber removed during a publication is not called by it any more,
//     if it has not been called yet; its slot is emptied and the list is
//     compacted when the outermost publication ends;
//   - a subscriber added during a publication is not called by it; it sees
//     the next publication;
//   - a publication started from inside a dispatch (nested) runs in full
//     before the outer one continues, under the same two rules;
//   - if the publisher itself is destroyed from inside a dispatch (a
//     subscriber dropped the last reference to the entity), every publication
//     in progress on it stops at once;
//   - an exception thrown by a dispatch function ends the publication and
//     leaves publishChangeRecursive; the publisher stays consistent.
// No subscriber is ever skipped or called twice because of such a change.
// Publishing allocates nothing; adding a subscriber may grow the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Pavo {

using FieldId = std::uint32_t;
using IsEqFn = bool (*)(void const*, void const*);

class Publisher;
struct Subscriber;

using DispatchFn = void (*)(Publisher* publisher, Subscriber* subscriber, FieldId fieldId,
                            void const* key, void const* prior);
using GoneFn = void (*)(Publisher* publisher, Subscriber* subscriber) noexcept;

struct Subscriber {
  // Null while the record is not subscribed anywhere.
  DispatchFn dispatch = nullptr;
  // Optional: called when the publisher is destroyed with this record subscribed.
  GoneFn gone = nullptr;
};

class Publisher {
 public:
  Publisher() = default;
  Publisher(Publisher const&) = delete;
  Publisher& operator=(Publisher const&) = delete;
  ~Publisher();

  // Adds the record; adding a record that is already subscribed does nothing.
  // `recursive` is part of the framework's signature: this publisher delivers
  // each change to each subscriber exactly once whatever its value.
  void subscriberAdd(Subscriber* subscriber, bool recursive);
  // Removes the record; removing one that is not subscribed does nothing.
  void subscriberRemove(Subscriber* subscriber);
  bool subscriberHas(Subscriber const* subscriber) const;
  bool hasSubscribers() const noexcept { return live_ != 0; }
  std::size_t subscriberCount() const noexcept { return live_; }

  void publishChangeRecursive(FieldId fieldId, void const* key, void const* prior, IsEqFn isEq);
  // The key equality of the innermost publication in progress; null outside one.
  IsEqFn keyIsEq() const noexcept;

 private:
  struct Frame;
  void compact();

  // Null slots are subscribers removed during a publication.
  std::vector<Subscriber*> subs_;
  std::size_t live_ = 0;
  // Innermost publication in progress on this publisher, or null.
  Frame* frame_ = nullptr;
  // The subscribed records that have a `gone` function, in subscription order.
  std::vector<Subscriber*> watchers_;
};

}  // namespace Pavo
