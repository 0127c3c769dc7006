// Vek::PodArray<T, N>: a bounded array laid out as in shared memory: a
// 32-bit count followed by room for N records of a trivially copyable T.
//
// Layout: bytes 0..3 the count, then N records of sizeof(T) (aligned for T).
// Only the first count() records are meaningful. Copies move exactly
// count() records; the tail of the target is left as it was and never read,
// so it needs no zeroing. A default array has count 0 and an untouched tail
// (never initialised, whatever T's default member initialisers say).
//
// Bounds:
//   - copying an array whose count exceeds N raises
//     Vek::PodArrayImpl::throwRangeException(N, count) and leaves the target
//     untouched; such counts come only from shared memory written by others
//     or from countIsUnchecked();
//   - operator[] checks the index against the count (and N), and
//     raises Pavo::RangeException naming index and count;
//   - begin()/end() and equality read at most N records whatever the count.
// Equality compares the counts and then the meaningful records bytewise,
// which is why T must have a unique object representation (no padding).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "Vek/Errors.h"

namespace Vek {

// Raises Pavo::RangeException: `index` is not below `count`.
[[noreturn]] void throwPodArrayIndexException(std::uint32_t index, std::uint32_t count);

template <class T, std::uint32_t N>
class PodArray {
  static_assert(std::is_trivially_copyable_v<T>, "records are copied as bytes");
  static_assert(std::has_unique_object_representations_v<T>, "records are compared as bytes");

 public:
  static constexpr std::uint32_t kBound = N;

  PodArray() noexcept {}
  PodArray(PodArray const& other) : count_(checkedCount(other.count_)) {
    std::memcpy(storage_.records, other.storage_.records, std::size_t{count_} * sizeof(T));
  }
  PodArray& operator=(PodArray const& other) {
    std::uint32_t const count = checkedCount(other.count_);
    std::memmove(storage_.records, other.storage_.records, std::size_t{count} * sizeof(T));
    count_ = count;
    return *this;
  }

  std::uint32_t count() const noexcept { return count_; }
  bool empty() const noexcept { return count_ == 0; }

  T const& operator[](std::uint32_t index) const { return storage_.records[checkedIndex(index)]; }
  T& operator[](std::uint32_t index) { return storage_.records[checkedIndex(index)]; }

  // Replaces the records by `count` records read from `records` (which must
  // not overlap this array); a count over N raises throwRangeException(N,
  // count) and leaves the array untouched. The copy of stores that keep
  // records elsewhere (Kroma's compact entries).
  void assign(T const* records, std::uint32_t count) {
    checkedCount(count);
    if (count != 0)
      std::memcpy(storage_.records, records, std::size_t{count} * sizeof(T));
    count_ = count;
  }

  T const* begin() const noexcept { return storage_.records; }
  T const* end() const noexcept { return storage_.records + readable(); }

  // Appends one record; a full array raises throwRangeException(N, N + 1).
  void push(T const& record) {
    if (count_ >= N)
      PodArrayImpl::throwRangeException(N, count_ + 1);
    storage_.records[count_++] = record;
  }
  void clear() noexcept { count_ = 0; }
  // Stores a count as it is, without checking it against N: the way tests
  // and tools write the corrupt entries that readers must survive.
  void countIsUnchecked(std::uint32_t count) noexcept { count_ = count; }

// g++ cannot see that no record past the count is read here (the tail is
// deliberately never initialised) and warns about the memcmp.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
  friend bool operator==(PodArray const& a, PodArray const& b) noexcept {
    std::uint32_t const n = a.readable();
    return a.count_ == b.count_ && (n == 0 || std::memcmp(a.storage_.records, b.storage_.records,
                                                          std::size_t{n} * sizeof(T)) == 0);
  }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

 private:
  static std::uint32_t checkedCount(std::uint32_t count) {
    if (count > N)
      PodArrayImpl::throwRangeException(N, count);
    return count;
  }
  std::uint32_t checkedIndex(std::uint32_t index) const {
    if (index >= readable())
      throwPodArrayIndexException(index, count_);
    return index;
  }
  std::uint32_t readable() const noexcept {
    return count_ < N ? count_ : N;
  }

  std::uint32_t count_ = 0;
  // Records past count_ are indeterminate and never read. The union keeps
  // them so: a record type with default member initialisers would otherwise
  // have all N records initialised by every construction.
  union Storage {
    Storage() noexcept {}
    T records[N];
  } storage_;
};

}  // namespace Vek
