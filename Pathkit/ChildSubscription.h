// ChildSubscription: a Subscription to the child entity that a parent holds
// under one key, kept whether or not that child exists: it attaches when the
// child appears in the parent (or at once, when it is there), detaches when
// the child leaves the parent, and attaches again to the next child under the
// key. For an agent that watches a map the mapper has not made yet, such as
// algorithm 0's routers before anything is mapped:
//
//   ChildSubscription<&RouterToNodeSegmentMapPerAlgo::routerToNodeSegmentMap,
//                     Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>>
//       routers(out, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField, 0,
//               RouterToNodeSegmentMap::kPrefixMapField,
//               [](Mpls::RouterId const& router, Pavo::Ptr<RouterToNodeSegment> const* prior) {},
//               [](RouterToNodeSegmentMap* map) {});  // optional: attached / detached (null)
//
// Lookup is the parent's const look-up of a child by key (a member function
// returning Pavo::Ptr<Child>, null when absent); it names the parent, the key
// and the child types. `parentField` is the parent's collection of those
// children, `field` the child's collection to watch with Key and Prior as in
// Subscription. Both are checked against the type registration when the
// ChildSubscription is made, whether or not the child exists then: a
// disagreement raises Pavo::Exception naming the type, the field and both
// sides, as Subscription does.
//
// Delivery: onChange as in Subscription, for the attached child only. A child
// that appears is empty (the mappers create maps before filling them), so
// its members arrive as changes; a child that is there at construction is
// attached without its present members being replayed. onChild is told the
// child at each attachment and null at each detachment: the child left the
// parent or was destroyed, or the parent was destroyed. Neither is told of
// the ChildSubscription's own reset() or destruction. The callables run
// inside the entities' publications and must not destroy the
// ChildSubscription.
//
// Lifetime: holds no entity alive. When the parent goes, it detaches and
// turns inactive. Neither copied nor moved (the publishers know its address).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "Pathkit/SubscribedField.h"
#include "Pathkit/Subscription.h"
#include "Pavo/Ptr.h"

namespace SegmentRouting::Mappers {

// What a child look-up member function names: the parent, the child's key
// and the child.
template <class Lookup>
struct ChildLookup;
template <class P, class K, class C>
struct ChildLookup<Pavo::Ptr<C> (P::*)(K) const> {
  using Parent = P;
  using Key = std::remove_cvref_t<K>;
  using Child = C;
};

template <auto Lookup, class Key, class Prior>
class ChildSubscription {
  using Names = ChildLookup<decltype(Lookup)>;

 public:
  using Parent = typename Names::Parent;
  using ChildKey = typename Names::Key;
  using Child = typename Names::Child;
  using OnChange = typename Subscription<Child, Key, Prior>::OnChange;
  using OnChild = std::function<void(Child* child)>;

  ChildSubscription(Pavo::Ptr<Parent> const& parent, Pavo::FieldId parentField, ChildKey key,
                    Pavo::FieldId field, OnChange onChange, OnChild onChild = {})
      : key_(std::move(key)),
        field_(field),
        onChange_(std::move(onChange)),
        onChild_(std::move(onChild)),
        parent_(
            parent, parentField,
            [this](ChildKey const& changed, Pavo::Ptr<Child> const*) {
              if (changed == key_)
                sync();
            },
            [this] { detach(true); }) {
    Pavo::Inspect::TypeInfo const& child = *Pavo::Inspect::typeOf<Child>();
    subscribedFieldCheck("ChildSubscription to " + child.name() + " field " + std::to_string(field),
                         child, field, Pavo::Inspect::typeOf<Key>(), Pavo::Inspect::typeOf<Prior>(),
                         !std::is_void_v<typename Pavo::Inspect::PtrTarget<Prior>::type>);
    sync();
  }
  ChildSubscription(ChildSubscription const&) = delete;
  ChildSubscription& operator=(ChildSubscription const&) = delete;

  // The parent; null once reset() or the parent is gone.
  Parent* parent() const noexcept { return parent_.entity(); }
  bool active() const noexcept { return parent_.active(); }
  // The attached child; null while there is none.
  Child* child() const noexcept { return child_ ? child_->entity() : nullptr; }
  // Unsubscribes from both now; nothing is told any more.
  void reset() noexcept {
    detach(false);
    parent_.reset();
  }

 private:
  // Attaches to the parent's present child under the key, if another than
  // the attached one.
  void sync() {
    Parent const* parent = parent_.entity();
    Pavo::Ptr<Child> const now = parent ? std::invoke(Lookup, *parent, key_) : nullptr;
    if (now.get() == child())
      return;
    detach(true);
    if (now == nullptr)
      return;
    child_.emplace(
        now, field_, [this](Key const& changed, Prior const* prior) { onChange_(changed, prior); },
        [this] {
          // The child is being destroyed: only tell; child_ stays, inactive,
          // until the next sync() or detach() replaces it.
          if (onChild_)
            onChild_(nullptr);
        });
    if (onChild_)
      onChild_(now.get());
  }
  void detach(bool tell) {
    bool const attached = child() != nullptr;
    child_.reset();
    if (attached && tell && onChild_)
      onChild_(nullptr);
  }

  ChildKey key_;
  Pavo::FieldId field_;
  OnChange onChange_;
  OnChild onChild_;
  // Declared after the callables it calls, and before the child's: the
  // child's subscription goes first.
  Subscription<Parent, ChildKey, Pavo::Ptr<Child>> parent_;
  std::optional<Subscription<Child, Key, Prior>> child_;
};

}  // namespace SegmentRouting::Mappers
