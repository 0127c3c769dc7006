// StatusReactor: what both mappers are as reactors of the status table.
//
// A mapper derives from StatusReactor<Mapper> (which derives from
// Pavo::Node) and supplies
//   Pavo::Ptr<Kroma::SegmentRouting::Status const> const& srStatus() const;
//   void statusChanged(std::uint16_t fieldId, void const* key);   // its handlers
//   void handleInitialized();   // the start-up build
//   void doCleanup();           // empties what it filed
// and gets the subscription kept inside it, the notification-active and
// zombie flags, and the dispatch function:
//   - srStatusDispatch drops every call while the zombie flag is set and
//     hands the low 16 bits of the field id and the key to statusChanged;
//   - hasNotificationActiveIs(on) subscribes or unsubscribes (when the table
//     is not null) with the zombie flag set for the duration of the change;
//   - vekDoZombieReactors(z) sets the zombie flag to z.
// The subscriber record (a Pavo::ScopedSubscriber) lives inside the reactor,
// so the dispatch function finds its reactor from the record; the table's
// publisher stores only the record's address. The reactor must unsubscribe
// before it goes (its destructor does, through retire()): one destroyed while
// still subscribed stops on the record's assertion in debug builds.
#pragma once

#include <cstdint>

#include "Kroma/SegmentRouting/Status.h"
#include "Pavo/Node.h"
#include "Pavo/Publisher.h"
#include "Pavo/ScopedSubscriber.h"

namespace SegmentRouting::Mappers {

template <class Derived>
class StatusReactor : public Pavo::Node {
 public:
  // Turns reacting to the table on or off (subscribing or unsubscribing),
  // with the zombie flag set for the duration of the change.
  void hasNotificationActiveIs(bool active) {
    if (nodeFlag(kNotificationActive) == active)
      return;
    nodeFlagSet(kNotificationActive, active);
    bool const zombie = nodeFlag(kZombie);
    nodeFlagSet(kZombie, true);
    if (self().srStatus()) {
      if (active && !subscribed()) {
        subscribe();
      } else if (!active && subscribed()) {
        unsubscribe();
      }
    }
    nodeFlagSet(kZombie, zombie);
  }
  virtual void vekDoZombieReactors(bool zombie) {
    if (nodeFlag(kZombie) != zombie)
      nodeFlagSet(kZombie, zombie);
  }
  // The subscriber record's dispatch function.
  static void srStatusDispatch(Pavo::Publisher*, Pavo::Subscriber* subscriber,
                               Pavo::FieldId fieldId, void const* key, void const*) {
    StatusReactor& reactor = Record::ownerOf(subscriber);
    if (reactor.nodeFlag(kZombie))
      return;
    reactor.self().statusChanged(static_cast<std::uint16_t>(fieldId & 0xFFFFu), key);
  }
  bool subscribed() const { return subscriber_.subscribed(); }

 protected:
  StatusReactor() = default;
  StatusReactor(StatusReactor const&) = delete;
  StatusReactor& operator=(StatusReactor const&) = delete;
  ~StatusReactor() override = default;

  // The end of a reactor's construction: subscribes, then runs the start-up
  // build; if the build throws, the subscription goes and the exception
  // passes on.
  void subscribeAndBuild() {
    subscribe();
    try {
      self().handleInitialized();
    } catch (...) {
      if (subscribed())
        unsubscribe();
      throw;
    }
  }
  // The start of a reactor's destruction: stops reacting, empties what it
  // filed (each removal published), sets the zombie flag and drops a
  // subscription that is still there.
  void retire() {
    hasNotificationActiveIs(false);
    self().doCleanup();
    vekDoZombieReactors(true);
    if (subscribed())
      unsubscribe();
  }

  // subscribe() needs a status table (srStatus() not null).
  void subscribe() { subscriber_.subscribe(*self().srStatus()->publisher()); }
  void unsubscribe() { subscriber_.unsubscribe(); }

 private:
  using Record = Pavo::ScopedSubscriber<StatusReactor, &StatusReactor::srStatusDispatch>;

  Derived& self() noexcept { return static_cast<Derived&>(*this); }

  Record subscriber_{*this};
};

}  // namespace SegmentRouting::Mappers
