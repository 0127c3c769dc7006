#include "Pavo/Node.h"

#include <cassert>

namespace Pavo {

Node::~Node() {
  nodeFlagSet(kNotificationActive, false);
}

void Node::lastUserGone() {
  delete this;
}

Publisher* Node::publisher() const {
  return nullptr;
}

TypeData Node::typeData() const {
  return TypeData{};
}

void Node::decUseImpl() const noexcept {
  std::uint32_t left;
  if (ThreadControl::tsp_) {
    std::uint32_t const before = useCount_.fetch_sub(1, std::memory_order_acq_rel);
    assert(before > 0 && "released a node that has no users");
    left = before - 1;
  } else {
    std::uint32_t const before = useCount_.load(std::memory_order_relaxed);
    assert(before > 0 && "released a node that has no users");
    left = before - 1;
    useCount_.store(left, std::memory_order_relaxed);
  }
  if (left == 0) {
    const_cast<Node*>(this)->lastUserGone();
  }
}

}  // namespace Pavo
