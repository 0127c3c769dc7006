// Pavo::Ptr<T>: the counted pointer to a Pavo::Node.
//
//   Pavo::Ptr<Foo> foo = Pavo::Ptr<Foo>::adopt(new Foo);  // takes the creation reference
//   Pavo::Ptr<Foo> other = foo;                           // use count 2
//   Pavo::Ptr<Foo const> view = foo;                      // read-only holder, count 3
//
// Ptr(T*) shares: it adds a use. adopt(T*) takes over the reference a new node
// is born with. Release calls decUseImpl(), which destroys the node at zero.
// Counts follow Pavo::ThreadControl::tsp_ (atomic only while it is on).
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

#include "Pavo/Node.h"

namespace Pavo {

template <class T>
class Ptr {
 public:
  using element_type = T;

  constexpr Ptr() noexcept = default;
  constexpr Ptr(std::nullptr_t) noexcept {}
  explicit Ptr(T* p) noexcept : p_(p) {
    if (p_)
      p_->newUse();
  }
  static Ptr adopt(T* p) noexcept {
    Ptr r;
    r.p_ = p;
    return r;
  }

  Ptr(Ptr const& o) noexcept : Ptr(o.p_) {}
  Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Ptr(Ptr<U> const& o)
  noexcept : Ptr(o.get()) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> Ptr(Ptr<U>&& o)
  noexcept : p_(o.release()) {}

  Ptr& operator=(Ptr const& o) noexcept {
    Ptr(o).swap(*this);
    return *this;
  }
  Ptr& operator=(Ptr&& o) noexcept {
    Ptr(std::move(o)).swap(*this);
    return *this;
  }
  ~Ptr() {
    if (p_)
      p_->decUseImpl();
  }

  T* get() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void reset() noexcept { Ptr().swap(*this); }
  void swap(Ptr& o) noexcept { std::swap(p_, o.p_); }
  // Gives up the reference without releasing it; the caller now owns it.
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }

  template <class U>
  friend bool operator==(Ptr const& a, Ptr<U> const& b) noexcept {
    return a.get() == b.get();
  }
  friend bool operator==(Ptr const& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Allocates and constructs a T, adopting its creation reference.
template <class T, class... Args>
Ptr<T> makePtr(Args&&... args) {
  return Ptr<T>::adopt(new T(std::forward<Args>(args)...));
}

}  // namespace Pavo
