// Pavo::Node: the base of every counted entity.
//
// A node is born with a use count of 1, owned by whoever created it; that
// first reference is adopted by a Pavo::Ptr (Ptr<T>::adopt). Each further
// Ptr adds one, each release calls decUseImpl(), and the release that brings
// the count to zero calls lastUserGone(), which by default deletes the node
// through its virtual (deleting) destructor. Slab-allocated entities route
// that delete back to their slab through their class operator delete.
//
// Node flags live in the upper bits of one word; the framework uses
//   kNotificationActive (0x20000000): the entity is reacting to notifications;
//   kZombie             (0x40000000): notifications must be ignored.
// Destructors of notifying entities clear kNotificationActive first.
//
// Virtual slots, in order: destructor, deleting destructor, lastUserGone(),
// publisher(), typeData(). Reactors add vekDoZombieReactors(bool).
#pragma once

#include <atomic>
#include <cstdint>

#include "Pavo/ThreadControl.h"
#include "Pavo/TypeData.h"

namespace Pavo {

class Publisher;

class Node {
 public:
  static constexpr std::uint32_t kNotificationActive = 0x20000000u;
  static constexpr std::uint32_t kZombie = 0x40000000u;

  Node(Node const&) = delete;
  Node& operator=(Node const&) = delete;

  virtual ~Node();
  // Called once, when the use count drops to zero. Default: delete this.
  virtual void lastUserGone();
  // The entity's publisher; null for entities that do not notify.
  virtual Publisher* publisher() const;
  // Registered module and type index; the generic node type by default.
  virtual TypeData typeData() const;

  // Reference counting; const so that Ptr<T const> can hold a node.
  void newUse() const noexcept {
    if (ThreadControl::tsp_) {
      useCount_.fetch_add(1, std::memory_order_relaxed);
    } else {
      useCount_.store(useCount_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
  }
  void decUseImpl() const noexcept;
  std::uint32_t useCount() const noexcept { return useCount_.load(std::memory_order_relaxed); }

  bool nodeFlag(std::uint32_t flag) const noexcept { return (flags_ & flag) != 0; }
  void nodeFlagSet(std::uint32_t flag, bool on) noexcept {
    flags_ = on ? (flags_ | flag) : (flags_ & ~flag);
  }

 protected:
  Node() noexcept = default;

 private:
  // Starts at 1: the creator's reference.
  mutable std::atomic<std::uint32_t> useCount_{1};
  std::uint32_t flags_ = 0;
};

}  // namespace Pavo
