#include "Vek/RbTreeAlgo.h"

#include <cassert>
#include <utility>

namespace Vek {

RbTreeNodeBase::~RbTreeNodeBase() {
  auto release = [](Pavo::Ptr<RbTreeNodeBase>& child) {
    if (!child)
      return;
    child->parent_ = nullptr;
    child->linked_ = false;
    child.reset();
  };
  release(left_);
  release(right_);
}

RbTreeAlgo::Base* RbTreeAlgo::first(Base* n) noexcept {
  if (!n)
    return nullptr;
  while (n->left_)
    n = n->left_.get();
  return n;
}

RbTreeAlgo::Base* RbTreeAlgo::last(Base* n) noexcept {
  if (!n)
    return nullptr;
  while (n->right_)
    n = n->right_.get();
  return n;
}

RbTreeAlgo::Base* RbTreeAlgo::next(Base* n) noexcept {
  assert(n->linked_ && "next() of a node that left its tree");
  if (n->right_)
    return first(n->right_.get());
  Base* p = n->parent_;
  while (p && n == p->right_.get()) {
    n = p;
    p = p->parent_;
  }
  return p;
}

RbTreeAlgo::Base* RbTreeAlgo::prev(Base* n) noexcept {
  assert(n->linked_ && "prev() of a node that left its tree");
  if (n->left_)
    return last(n->left_.get());
  Base* p = n->parent_;
  while (p && n == p->left_.get()) {
    n = p;
    p = p->parent_;
  }
  return p;
}

RbTreeAlgo::Link& RbTreeAlgo::linkTo(Link& root, Base* n) noexcept {
  Base* p = n->parent_;
  if (!p)
    return root;
  return p->left_.get() == n ? p->left_ : p->right_;
}

// x's right child y takes x's place; x becomes y's left child.
void RbTreeAlgo::rotateLeft(Link& root, Base* x) noexcept {
  Link& xLink = linkTo(root, x);
  Link y = std::move(x->right_);
  x->right_ = std::move(y->left_);
  if (x->right_)
    x->right_->parent_ = x;
  y->parent_ = x->parent_;
  y->left_ = std::move(xLink);
  x->parent_ = y.get();
  xLink = std::move(y);
}

void RbTreeAlgo::rotateRight(Link& root, Base* x) noexcept {
  Link& xLink = linkTo(root, x);
  Link y = std::move(x->left_);
  x->left_ = std::move(y->right_);
  if (x->left_)
    x->left_->parent_ = x;
  y->parent_ = x->parent_;
  y->right_ = std::move(xLink);
  x->parent_ = y.get();
  xLink = std::move(y);
}

void RbTreeAlgo::insert(Link& root, Base* parent, bool asLeft, Link node) noexcept {
  assert(node && !node->linked_ && !node->left_ && !node->right_ && "insert() of a used node");
  Base* z = node.get();
  z->parent_ = parent;
  z->red_ = true;
  z->linked_ = true;
  if (!parent) {
    assert(!root && "insert() of a root into a non-empty tree");
    root = std::move(node);
  } else {
    Link& slot = asLeft ? parent->left_ : parent->right_;
    assert(!slot && "insert() at an occupied place");
    slot = std::move(node);
  }
  while (z->parent_ && z->parent_->red_) {
    Base* p = z->parent_;
    Base* g = p->parent_;  // exists: a red node is never the root
    if (p == g->left_.get()) {
      Base* u = g->right_.get();
      if (isRed(u)) {
        p->red_ = false;
        u->red_ = false;
        g->red_ = true;
        z = g;
        continue;
      }
      if (z == p->right_.get()) {
        z = p;
        rotateLeft(root, z);
        p = z->parent_;
      }
      p->red_ = false;
      g->red_ = true;
      rotateRight(root, g);
    } else {
      Base* u = g->left_.get();
      if (isRed(u)) {
        p->red_ = false;
        u->red_ = false;
        g->red_ = true;
        z = g;
        continue;
      }
      if (z == p->left_.get()) {
        z = p;
        rotateRight(root, z);
        p = z->parent_;
      }
      p->red_ = false;
      g->red_ = true;
      rotateLeft(root, g);
    }
  }
  root->red_ = false;
}

RbTreeAlgo::Link RbTreeAlgo::erase(Link& root, Base* z) noexcept {
  assert(z->linked_ && "erase() of a node that left its tree");
  Link& zLink = linkTo(root, z);
  Link held = std::move(zLink);
  Base* x;        // the node that moved up into the removed black's place (may be null)
  Base* xParent;  // its parent, known even when x is null
  bool removedBlack;
  if (!z->left_ || !z->right_) {
    Link child = std::move(z->left_ ? z->left_ : z->right_);
    x = child.get();
    xParent = z->parent_;
    if (x)
      x->parent_ = xParent;
    removedBlack = !z->red_;
    zLink = std::move(child);
  } else {
    // The successor y has no left child; it is relinked into z's place.
    Base* y = first(z->right_.get());
    Link yHeld;
    x = y->right_.get();
    if (y->parent_ == z) {
      yHeld = std::move(z->right_);
      xParent = y;
    } else {
      xParent = y->parent_;
      yHeld = std::move(xParent->left_);
      xParent->left_ = std::move(y->right_);
      if (x)
        x->parent_ = xParent;
      y->right_ = std::move(z->right_);
      y->right_->parent_ = y;
    }
    y->left_ = std::move(z->left_);
    y->left_->parent_ = y;
    y->parent_ = z->parent_;
    removedBlack = !y->red_;
    y->red_ = z->red_;
    zLink = std::move(yHeld);
  }
  if (removedBlack)
    eraseFixup(root, x, xParent);
  z->parent_ = nullptr;
  z->red_ = false;
  z->linked_ = false;
  return held;
}

// Restores equal black heights after a black node left the path through
// xParent; x carries the extra black.
void RbTreeAlgo::eraseFixup(Link& root, Base* x, Base* xParent) noexcept {
  while (x != root.get() && !isRed(x)) {
    if (x == xParent->left_.get()) {
      Base* w = xParent->right_.get();  // exists: x's side lost a black
      if (w->red_) {
        w->red_ = false;
        xParent->red_ = true;
        rotateLeft(root, xParent);
        w = xParent->right_.get();
      }
      if (!isRed(w->left_.get()) && !isRed(w->right_.get())) {
        w->red_ = true;
        x = xParent;
        xParent = x->parent_;
        continue;
      }
      if (!isRed(w->right_.get())) {
        w->left_->red_ = false;
        w->red_ = true;
        rotateRight(root, w);
        w = xParent->right_.get();
      }
      w->red_ = xParent->red_;
      xParent->red_ = false;
      w->right_->red_ = false;
      rotateLeft(root, xParent);
    } else {
      Base* w = xParent->left_.get();
      if (w->red_) {
        w->red_ = false;
        xParent->red_ = true;
        rotateRight(root, xParent);
        w = xParent->left_.get();
      }
      if (!isRed(w->left_.get()) && !isRed(w->right_.get())) {
        w->red_ = true;
        x = xParent;
        xParent = x->parent_;
        continue;
      }
      if (!isRed(w->left_.get())) {
        w->right_->red_ = false;
        w->red_ = true;
        rotateLeft(root, w);
        w = xParent->left_.get();
      }
      w->red_ = xParent->red_;
      xParent->red_ = false;
      w->left_->red_ = false;
      rotateRight(root, xParent);
    }
    x = root.get();
    break;
  }
  if (x)
    x->red_ = false;
}

void RbTreeAlgo::clear(Link& root) noexcept {
  Link held = std::move(root);
  Base* n = held.get();
  while (n) {
    if (n->left_) {
      n = n->left_.get();
    } else if (n->right_) {
      n = n->right_.get();
    } else {
      // A leaf by now: unlink it and drop the tree's link to it.
      Base* p = n->parent_;
      n->parent_ = nullptr;
      n->red_ = false;
      n->linked_ = false;
      Link& link = !p ? held : (p->left_.get() == n ? p->left_ : p->right_);
      link.reset();
      n = p;
    }
  }
}

bool RbTreeAlgo::verify(Base const* root, std::size_t& count) noexcept {
  std::size_t n = 0;
  if (root && root->red_)
    return false;
  if (verifySubtree(root, nullptr, n) < 0)
    return false;
  count = n;
  return true;
}

int RbTreeAlgo::verifySubtree(Base const* n, Base const* parent, std::size_t& count) noexcept {
  if (!n)
    return 1;
  if (n->parent_ != parent || !n->linked_ || n->useCount() == 0)
    return -1;
  if (n->red_ && ((n->left_ && n->left_->red_) || (n->right_ && n->right_->red_)))
    return -1;
  ++count;
  int const l = verifySubtree(n->left_.get(), n, count);
  int const r = verifySubtree(n->right_.get(), n, count);
  if (l < 0 || r < 0 || l != r)
    return -1;
  return l + (n->red_ ? 0 : 1);
}

}  // namespace Vek
