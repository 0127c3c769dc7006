// Vek::MemberIterator: the iterator of the intrusive collections.
//
// It holds a counted reference to the member it stands on, so the member
// stays readable after its removal, and asks its collection for the member
// that follows: the next one in order while the member is linked, else the
// first one after the removed member's place, found again by key. So an
// iterator survives the deletion of its own member and of any other. The
// collection provides
//   Node* following(Node& member) const;   // null past the end
// Iterators must not outlive their collection.
#pragma once

#include "Pavo/Ptr.h"

namespace Vek {

template <class Map, class Node>
class MemberIterator {
 public:
  MemberIterator() noexcept = default;
  MemberIterator(Map const* map, Node* member) noexcept : map_(map), member_(member) {}

  Node& operator*() const noexcept { return *member_; }
  Node* operator->() const noexcept { return member_.get(); }
  Node* member() const noexcept { return member_.get(); }
  bool atEnd() const noexcept { return !member_; }
  Map const* map() const noexcept { return map_; }
  bool operator==(MemberIterator const& o) const noexcept { return member_ == o.member_; }

  // At the end: stays there.
  MemberIterator& operator++() noexcept {
    if (member_)
      member_ = Pavo::Ptr<Node>(map_->following(*member_));
    return *this;
  }

 private:
  Map const* map_ = nullptr;
  Pavo::Ptr<Node> member_;  // null at the end; keeps a removed member readable
};

}  // namespace Vek
