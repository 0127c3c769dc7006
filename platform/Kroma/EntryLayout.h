// Kroma::EntryLayout<E>: how a status-table collection stores an entry of
// type E compactly, as its key, a fixed head and only the records in use.
//
// A specialisation (next to the entry type) provides
//   using Head;                       trivially copyable fixed part (no key)
//   using Record;                     trivially copyable record
//   static constexpr std::uint32_t kBound;   records a full value can hold
//   static Head head(E const&);       (or Head const&)
//   static std::uint32_t count(E const&);    the count as stored
//   static Record const* records(E const&);
//   static bool headEq(Head const&, Head const&);
//   static E make(Key const&, Head const&, Record const*, std::uint32_t count);
//       the full value: one copy of the head and `count` records; a count
//       over kBound raises Vek::PodArrayImpl::throwRangeException(kBound, count)
//   static E makeUnchecked(Key const&, Head const&, Record const*,
//                          std::uint32_t copied, std::uint32_t rawCount);
//       a full value that keeps a corrupt count (> kBound) as it is, with
//       `copied` records, so that copying it raises the range error
//
// The primary template serves small trivially copyable entries without
// records (the whole entry is the head); tests use it.
#pragma once

#include <cstdint>
#include <type_traits>

namespace Kroma {

template <class E>
struct EntryLayout {
  static_assert(std::is_trivially_copyable_v<E>, "an entry without records is copied whole");
  using Head = E;
  struct Record {
    std::uint8_t unused;
  };
  static constexpr std::uint32_t kBound = 0;

  static Head const& head(E const& e) noexcept { return e; }
  static std::uint32_t count(E const&) noexcept { return 0; }
  static Record const* records(E const&) noexcept { return nullptr; }
  static bool headEq(Head const& a, Head const& b) noexcept { return E::isEq(&a, &b); }
  template <class K>
  static E make(K const&, Head const& head, Record const*, std::uint32_t) noexcept {
    return head;
  }
  template <class K>
  static E makeUnchecked(K const&, Head const& head, Record const*, std::uint32_t,
                         std::uint32_t) noexcept {
    return head;
  }
};

}  // namespace Kroma
