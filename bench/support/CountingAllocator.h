// A std allocator that counts the bytes it holds as the C library would size
// them (request + 8, rounded up to 16, at least 32), so that a plain
// standard-library baseline's memory can be set beside the slab's.
//
//   std::set<int, std::less<int>, Bench::Counting<int>> s;
//   std::size_t const before = Bench::plainBytes;  ... Bench::plainBytes - before
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>

namespace Bench {

// Bytes held by every Counting allocator of the program.
inline std::size_t plainBytes = 0;

inline std::size_t chunkOf(std::size_t request) {
  return std::max<std::size_t>(32, (request + 8 + 15) / 16 * 16);
}

template <class T>
struct Counting {
  using value_type = T;
  Counting() = default;
  template <class U>
  Counting(Counting<U> const&) noexcept {}  // NOLINT: rebinding is implicit
  T* allocate(std::size_t n) {
    plainBytes += chunkOf(n * sizeof(T));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) noexcept {
    plainBytes -= chunkOf(n * sizeof(T));
    std::allocator<T>().deallocate(p, n);
  }
  template <class U>
  bool operator==(Counting<U> const&) const noexcept {
    return true;
  }
};

}  // namespace Bench
