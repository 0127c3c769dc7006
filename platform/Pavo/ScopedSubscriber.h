// Pavo::ScopedSubscriber: the subscriber record of an object that follows one
// publisher, and the one way back from a record to the object that owns it.
//
//   class Watcher {
//    public:
//     explicit Watcher(Pavo::Node& entity) { record_.subscribe(*entity.publisher()); }
//     ~Watcher() { record_.unsubscribe(); }
//
//    private:
//     static void changed(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId fieldId,
//                         void const* key, void const* prior) {
//       Record::ownerOf(s).count_++;
//     }
//     using Record = Pavo::ScopedSubscriber<Watcher, &Watcher::changed>;
//     Record record_{*this};
//     int count_ = 0;
//   };
//
// The record is a member of its owner and points at it. Its dispatch function
// and the owner's optional gone function are template arguments; the record
// installs the dispatch function and a gone function of its own kind, so a
// record that either is handed is one of this kind: ownerOf() checks that (an
// assertion, in debug builds) before it casts down from the framework's
// record, which assumes nothing of the owner's layout.
//
// One publisher at a time; the record remembers it, so unsubscribe() needs no
// argument and does nothing when not subscribed. When the publisher goes
// first, the record is marked unsubscribed, then the owner's gone function,
// if any, runs (it may destroy the owner, record included). So subscribed()
// is true exactly while the publisher holds the record.
//
// Invariant: a record is destroyed unsubscribed. Destroying one that is still
// subscribed would leave the publisher a dangling pointer: debug builds stop
// on an assertion; other builds unsubscribe it there.
#pragma once

#include <cassert>

#include "Pavo/Publisher.h"

namespace Pavo {

template <class Owner, DispatchFn Dispatch, GoneFn Gone = nullptr>
class ScopedSubscriber : private Subscriber {
 public:
  explicit ScopedSubscriber(Owner& owner) noexcept
      : Subscriber{Dispatch, &publisherGone}, owner_(&owner) {}
  ScopedSubscriber(ScopedSubscriber const&) = delete;
  ScopedSubscriber& operator=(ScopedSubscriber const&) = delete;
  ~ScopedSubscriber() {
    assert(publisher_ == nullptr && "a subscriber record destroyed while still subscribed");
    unsubscribe();
  }

  // Subscribes to `publisher`, unless subscribed already (to any publisher).
  void subscribe(Publisher& publisher) {
    if (publisher_ != nullptr)
      return;
    publisher.subscriberAdd(this, false);
    publisher_ = &publisher;
  }
  void unsubscribe() noexcept {
    if (publisher_ == nullptr)
      return;
    publisher_->subscriberRemove(this);
    publisher_ = nullptr;
  }
  bool subscribed() const noexcept { return publisher_ != nullptr; }
  Publisher* publisher() const noexcept { return publisher_; }

  // The owner of `record`, a record of this kind (checked in debug builds).
  static Owner& ownerOf(Subscriber* record) noexcept { return *recordOf(record).owner_; }

 private:
  static ScopedSubscriber& recordOf(Subscriber* record) noexcept {
    assert(record != nullptr && record->dispatch == Dispatch && record->gone == &publisherGone &&
           "a subscriber record of another kind");
    return *static_cast<ScopedSubscriber*>(record);
  }
  static void publisherGone(Publisher* publisher, Subscriber* record) noexcept {
    recordOf(record).publisher_ = nullptr;  // the publisher has dropped it already
    if constexpr (Gone != nullptr)
      Gone(publisher, record);
  }

  Owner* owner_;
  // Null while not subscribed.
  Publisher* publisher_ = nullptr;
};

}  // namespace Pavo
