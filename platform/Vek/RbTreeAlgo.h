// Vek red-black tree node links and the key-free algorithms on them.
//
// RbTreeNodeBase is the part of every ordered-collection member that the tree
// itself uses: two counted child links, a raw parent link, the colour and the
// linked flag. RbTreeAlgo works on these links only; it never sees a key, so
// it is compiled once here and Vek::RbTreeMap (Vek/RbTreeMap.h) stays a thin
// template that searches by key and calls in.
//
// Ownership: the tree owns each node through exactly one counted link, the
// parent's left_/right_ or the collection's root. The parent link is raw; it
// is valid exactly while the node is linked. A node that leaves its tree has
// no children, no parent and linked() false, and lives on while anybody holds
// it. Rotations and erasure move counted links (never copying them), so no
// count changes while the tree is rebalanced.
#pragma once

#include <cstddef>

#include "Pavo/Node.h"
#include "Pavo/Ptr.h"

namespace Vek {

template <class Node, class Key, class Value, class KeyOps>
class RbTreeMap;

class RbTreeNodeBase : public Pavo::Node {
 public:
  // Whether the node is still in its tree.
  bool linked() const noexcept { return linked_; }

 protected:
  RbTreeNodeBase() noexcept = default;
  // Releases the child links; children that live on are marked unlinked.
  // Recursion depth is the tree height.
  ~RbTreeNodeBase() override;

 private:
  friend class RbTreeAlgo;
  template <class Node, class Key, class Value, class KeyOps>
  friend class RbTreeMap;

  // Invariant while linked: children's parent_ is this; the tree holds the
  // only link to this node that counts as structure (others hold it as users).
  Pavo::Ptr<RbTreeNodeBase> left_;
  Pavo::Ptr<RbTreeNodeBase> right_;
  RbTreeNodeBase* parent_ = nullptr;  // null for the root and for unlinked nodes
  bool red_ = false;
  bool linked_ = false;
};

// Each function takes the collection's root link; complexities are for a tree
// of n nodes.
class RbTreeAlgo {
 public:
  using Base = RbTreeNodeBase;
  using Link = Pavo::Ptr<RbTreeNodeBase>;

  // Smallest / largest node below `n`, or null for an empty subtree. O(log n).
  static Base* first(Base* n) noexcept;
  static Base* last(Base* n) noexcept;
  // In-order neighbours of a linked node; null past the ends. Amortised O(1).
  static Base* next(Base* n) noexcept;
  static Base* prev(Base* n) noexcept;
  // Child links, for trees that search by key outside RbTreeMap.
  static Base* leftOf(Base const* n) noexcept { return n->left_.get(); }
  static Base* rightOf(Base const* n) noexcept { return n->right_.get(); }

  // Links `node` (new, unlinked, childless) as the left or right child of
  // `parent`, or as the root when `parent` is null (then the tree must be
  // empty), and rebalances. The caller has found the place by key. O(log n).
  static void insert(Link& root, Base* parent, bool asLeft, Link node) noexcept;

  // Unlinks `node` and hands back the tree's link to it. When it has two
  // children its successor takes its place in the tree (with its colour), so
  // no other node changes identity or contents. O(log n).
  static Link erase(Link& root, Base* node) noexcept;

  // Unlinks every node and releases the tree's links, leaf first, so neither
  // this nor the node destructors recurse. Nodes held elsewhere survive as
  // unlinked, childless nodes. O(n).
  static void clear(Link& root) noexcept;

  // Checks the red-black rules, parent links and linked flags below `root`.
  // On success stores the node count in `count`. Recursion depth is the height.
  static bool verify(Base const* root, std::size_t& count) noexcept;

 private:
  static bool isRed(Base const* n) noexcept { return n && n->red_; }
  static Link& linkTo(Link& root, Base* n) noexcept;
  static void rotateLeft(Link& root, Base* x) noexcept;
  static void rotateRight(Link& root, Base* x) noexcept;
  static void eraseFixup(Link& root, Base* x, Base* xParent) noexcept;
  // Black height of the subtree, or -1 when a rule is broken.
  static int verifySubtree(Base const* n, Base const* parent, std::size_t& count) noexcept;
};

}  // namespace Vek
