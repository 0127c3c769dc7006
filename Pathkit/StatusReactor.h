// StatusReactor: what both mappers are as reactors of the status table, and
// the skeleton they share.
//
// A mapper derives from StatusReactor<Mapper, Output> (which derives from
// Pavo::Node) and supplies
//   static constexpr char const* kReactorName;   // "NodeSegmentReverseMapper"
//   static constexpr char const* kOutputNeed;    // "an output map (routerToNodeSegmentMapPerAlgo)"
//   static std::array<StatusHandler, N> const kStatusHandlers;  // field id -> handler
//   void handleInitialized();   // the start-up build
//   void doCleanup();           // empties what it filed
// and gets:
//   - construction: the address family, the table and the output held, a
//     null table or output refused with Pavo::NullPointerException
//     ("<kReactorName> needs a status table (srStatus)", "... needs
//     <kOutputNeed>"), and create(), the static creator's body (allocate,
//     construct, then turn notifications on);
//   - typeData() from the mapper's registration;
//   - the subscription kept inside it, the notification-active and zombie
//     flags, and the dispatch function:
//   - srStatusDispatch drops every call while the zombie flag is set and
//     hands the key to the handler kStatusHandlers names for the low 16 bits
//     of the field id (Kroma::SegmentRouting::Status's ids); other ids are
//     ignored;
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
#include <string>

#include "Kroma/SegmentRouting/Status.h"
#include "Pavo/Exception.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"
#include "Pavo/ScopedSubscriber.h"
#include "Pavo/TypeData.h"
#include "Vantre/AddressFamily.h"

namespace SegmentRouting::Mappers {

template <class Derived, class Output>
class StatusReactor : public Pavo::Node {
 public:
  using StatusPtr = Pavo::Ptr<Kroma::SegmentRouting::Status const>;

  // One row of a mapper's dispatch table: a status-table field id and the
  // change handler that takes its key.
  struct StatusHandler {
    Pavo::FieldId fieldId;
    void (*handle)(Derived& reactor, void const* key);
  };
  // The row for `Handle`, a handler `void (Derived::*)(Key const&)`.
  template <auto Handle>
  static constexpr StatusHandler on(Pavo::FieldId fieldId) noexcept {
    return {fieldId, [](Derived& reactor, void const* key) {
              (reactor.*Handle)(*static_cast<KeyOf<decltype(Handle)> const*>(key));
            }};
  }

  Vantre::AddressFamily af() const { return af_; }
  StatusPtr const& srStatus() const { return srStatus_; }

  // Turns reacting to the table on or off (subscribing or unsubscribing),
  // with the zombie flag set for the duration of the change.
  void hasNotificationActiveIs(bool active) {
    if (nodeFlag(kNotificationActive) == active)
      return;
    nodeFlagSet(kNotificationActive, active);
    bool const zombie = nodeFlag(kZombie);
    nodeFlagSet(kZombie, true);
    if (srStatus_) {
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
    Pavo::FieldId const field = fieldId & 0xFFFFu;
    for (StatusHandler const& row : Derived::kStatusHandlers) {
      if (row.fieldId == field) {
        row.handle(reactor.self(), key);
        return;
      }
    }
  }
  bool subscribed() const { return subscriber_.subscribed(); }

  Pavo::TypeData typeData() const override { return Pavo::Inspect::typeDataOf<Derived>(); }

 protected:
  // Both are read from the first moment on; refusing them here keeps a
  // caller's mistake from becoming a null dereference in the build.
  StatusReactor(Vantre::AddressFamily af, StatusPtr const& srStatus,
                Pavo::Ptr<Output> const& output)
      : af_(af), srStatus_(srStatus), output_(output) {
    if (!srStatus_) {
      throw Pavo::NullPointerException(std::string(Derived::kReactorName) +
                                       " needs a status table (srStatus)");
    }
    if (!output_)
      throw Pavo::NullPointerException(std::string(Derived::kReactorName) + " needs " +
                                       Derived::kOutputNeed);
  }
  StatusReactor(StatusReactor const&) = delete;
  StatusReactor& operator=(StatusReactor const&) = delete;
  ~StatusReactor() override = default;

  // The static creator: allocates and constructs a mapper, then turns its
  // notifications on.
  static Pavo::Ptr<Derived> create(Vantre::AddressFamily af, StatusPtr const& srStatus,
                                   Pavo::Ptr<Output> const& output) {
    auto reactor = Pavo::Ptr<Derived>::adopt(new Derived(af, srStatus, output));
    reactor->hasNotificationActiveIs(true);
    return reactor;
  }

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
  // subscription that is still there. The table and the output are released
  // after the mapper's own members, by this base.
  void retire() {
    hasNotificationActiveIs(false);
    self().doCleanup();
    vekDoZombieReactors(true);
    if (subscribed())
      unsubscribe();
  }

  // subscribe() needs a status table (srStatus_ not null).
  void subscribe() { subscriber_.subscribe(*srStatus_->publisher()); }
  void unsubscribe() { subscriber_.unsubscribe(); }

  Vantre::AddressFamily const af_;
  StatusPtr srStatus_;
  Pavo::Ptr<Output> output_;

 private:
  template <class Handle>
  struct KeyOfHandler;
  template <class Key>
  struct KeyOfHandler<void (Derived::*)(Key const&)> {
    using type = Key;
  };
  template <class Handle>
  using KeyOf = typename KeyOfHandler<Handle>::type;

  using Record = Pavo::ScopedSubscriber<StatusReactor, &StatusReactor::srStatusDispatch>;

  Derived& self() noexcept { return static_cast<Derived&>(*this); }

  Record subscriber_{*this};
};

}  // namespace SegmentRouting::Mappers
