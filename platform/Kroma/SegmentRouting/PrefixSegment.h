// Kroma::SegmentRouting prefix-segment entries of the status table: the
// info a routing protocol publishes for one prefix segment, keyed by prefix
// (PrefixSegment) or by prefix and algorithm (PrefixSegmentWithAlgo).
//
// PrefixSegmentRecord (24 bytes; opaque to the mappers, which never read it):
//   0..3 SID value, 4 SID flags, 5 algorithm, 6..23 reserved
// PrefixSegmentInfo (2444 bytes, alignment 4):
//   0..7     not read (reserved0)
//   8..31    originator (Mpls::RouterId)
//   32       flags: kFlagMapToOriginator (0x04) asks to map the prefix to
//            its originator; kFlagDoNotMap (0x10) forbids it, even with 0x04
//   33..35   padding, zero
//   36..39   not read (reserved1)
//   40..43   record count
//   44..2443 up to 100 records (Vek::PodArray<PrefixSegmentRecord, 100>)
// PrefixSegment = key Vantre::IpGenPrefix (0..19) + info (20..2463);
// PrefixSegmentWithAlgo = key PrefixAlgoKey (0..23) + info (24..2467).
//
// Built from typed values (what a routing agent writes):
//   PrefixSegment(prefix, originator, PrefixSegmentInfo::kFlagMapToOriginator,
//                 {PrefixSegmentRecord::of(sid)})
//
// Copies move the fixed head and `count` records; a count over 100 (only
// from shared memory or countIsUnchecked) makes the copy raise
// Vek::PodArrayImpl::throwRangeException(100, count). Equality compares
// every head byte and the meaningful records. The default entry has an
// all-zero key and a zero info; an entry is true when it differs from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "Kroma/EntryLayout.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/PodArray.h"

namespace Kroma::SegmentRouting {

struct PrefixSegmentRecord {
  std::uint32_t sidValue = 0;
  std::uint8_t sidFlags = 0;
  std::uint8_t algorithm = 0;
  std::uint8_t reserved[18] = {};

  // The record of `sid` (value and flag byte) for `algo`.
  static PrefixSegmentRecord of(Mpls::SegmentRouting::SegmentIdentifier const& sid,
                                std::uint8_t algo = 0) noexcept {
    PrefixSegmentRecord r;
    r.sidValue = sid.value();
    r.sidFlags = sid.flag();
    r.algorithm = algo;
    return r;
  }
  Mpls::SegmentRouting::SegmentIdentifier sid() const noexcept { return {sidValue, sidFlags}; }
};
static_assert(sizeof(PrefixSegmentRecord) == 24);
static_assert(std::has_unique_object_representations_v<PrefixSegmentRecord>);

class PrefixSegmentInfo {
 public:
  static constexpr std::uint8_t kFlagMapToOriginator = 0x04;
  static constexpr std::uint8_t kFlagDoNotMap = 0x10;
  static constexpr std::uint32_t kMaxRecords = 100;
  using Records = Vek::PodArray<PrefixSegmentRecord, kMaxRecords>;

  // The fixed head (bytes 0..39): what the compact table stores besides the
  // key and the records in use.
  struct Head {
    std::uint8_t reserved0[8] = {};
    Mpls::RouterId originator;
    std::uint8_t flags = 0;
    std::uint8_t padding[3] = {};
    std::uint8_t reserved1[4] = {};

    friend bool operator==(Head const& a, Head const& b) noexcept {
      return std::memcmp(&a, &b, sizeof(Head)) == 0;
    }
  };

  PrefixSegmentInfo() noexcept = default;
  PrefixSegmentInfo(Mpls::RouterId const& originator, std::uint8_t flags) noexcept {
    head_.originator = originator;
    head_.flags = flags;
  }
  // The originator, the flags and the records, in order; more than 100
  // records raise the range error.
  PrefixSegmentInfo(Mpls::RouterId const& originator, std::uint8_t flags,
                    std::initializer_list<PrefixSegmentRecord> records)
      : PrefixSegmentInfo(originator, flags) {
    records_.assign(records.begin(), static_cast<std::uint32_t>(records.size()));
  }
  // The head and `count` records; a count over 100 raises the range error.
  PrefixSegmentInfo(Head const& head, PrefixSegmentRecord const* records, std::uint32_t count)
      : head_(head) {
    records_.assign(records, count);
  }

  Head const& head() const noexcept { return head_; }
  Mpls::RouterId const& originator() const noexcept { return head_.originator; }
  std::uint8_t flags() const noexcept { return head_.flags; }
  // What a node-segment mapper makes of the flags: map the prefix to its
  // originator (0x04 set, 0x10 clear).
  bool mapsToOriginator() const noexcept {
    return (head_.flags & (kFlagMapToOriginator | kFlagDoNotMap)) == kFlagMapToOriginator;
  }
  Records const& records() const noexcept { return records_; }
  Records& records() noexcept { return records_; }

  void originatorIs(Mpls::RouterId const& originator) noexcept { head_.originator = originator; }
  void flagsIs(std::uint8_t flags) noexcept { head_.flags = flags; }

  friend bool operator==(PrefixSegmentInfo const& a, PrefixSegmentInfo const& b) noexcept {
    return a.head_ == b.head_ && a.records_ == b.records_;
  }

 private:
  static constexpr std::size_t kHeadSize = 40;

  Head head_;
  Records records_;

  friend struct PrefixSegmentLayout;
};

// An entry: its key and the info. K is Vantre::IpGenPrefix or PrefixAlgoKey.
template <class K>
class PrefixSegmentEntry {
 public:
  using Key = K;

  PrefixSegmentEntry() noexcept = default;
  PrefixSegmentEntry(K const& key, PrefixSegmentInfo const& info) : key_(key), info_(info) {}
  // The key, the originator, the flags and the records; more than 100
  // records raise the range error.
  PrefixSegmentEntry(K const& key, Mpls::RouterId const& originator, std::uint8_t flags,
                     std::initializer_list<PrefixSegmentRecord> records = {})
      : key_(key), info_(originator, flags, records) {}
  // Built from its parts (see Kroma::EntryLayout): one copy of the head and
  // of `count` records; a count over 100 raises the range error.
  PrefixSegmentEntry(K const& key, PrefixSegmentInfo::Head const& head,
                     PrefixSegmentRecord const* records, std::uint32_t count)
      : key_(key), info_(head, records, count) {}

  K const& key() const noexcept { return key_; }
  PrefixSegmentInfo const& info() const noexcept { return info_; }
  PrefixSegmentInfo& info() noexcept { return info_; }

  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<PrefixSegmentEntry const*>(a);
    auto const& y = *static_cast<PrefixSegmentEntry const*>(b);
    return K::isEq(&x.key_, &y.key_) && x.info_ == y.info_;
  }
  friend bool operator==(PrefixSegmentEntry const& a, PrefixSegmentEntry const& b) noexcept {
    return isEq(&a, &b);
  }
  // True when the entry differs from the default entry.
  explicit operator bool() const noexcept {
    static PrefixSegmentEntry const defaultEntry{};
    return !isEq(this, &defaultEntry);
  }

 private:
  K key_;
  PrefixSegmentInfo info_;
};

class PrefixSegment : public PrefixSegmentEntry<Vantre::IpGenPrefix> {
 public:
  using PrefixSegmentEntry::PrefixSegmentEntry;
};

class PrefixSegmentWithAlgo : public PrefixSegmentEntry<Mpls::SegmentRouting::PrefixAlgoKey> {
 public:
  using PrefixSegmentEntry::PrefixSegmentEntry;
};

struct PrefixSegmentLayout {
  static_assert(offsetof(PrefixSegmentInfo::Head, originator) == 8);
  static_assert(offsetof(PrefixSegmentInfo::Head, flags) == 32);
  static_assert(offsetof(PrefixSegmentInfo::Head, reserved1) == 36);
  static_assert(sizeof(PrefixSegmentInfo::Head) == PrefixSegmentInfo::kHeadSize);
  static_assert(offsetof(PrefixSegmentInfo, records_) == PrefixSegmentInfo::kHeadSize);
};
static_assert(std::is_trivially_copyable_v<PrefixSegmentInfo::Head> &&
              std::has_unique_object_representations_v<PrefixSegmentInfo::Head>);
static_assert(sizeof(PrefixSegmentInfo) == 2444 && alignof(PrefixSegmentInfo) == 4);
static_assert(sizeof(PrefixSegment) == 2464 && std::is_standard_layout_v<PrefixSegment>);
static_assert(sizeof(PrefixSegmentWithAlgo) == 2468 &&
              std::is_standard_layout_v<PrefixSegmentWithAlgo>);

}  // namespace Kroma::SegmentRouting

namespace Kroma {

// How the status table stores prefix-segment entries compactly: the key,
// the 40-byte head and only the records in use.
template <class E>
requires std::is_base_of_v<SegmentRouting::PrefixSegmentEntry<typename E::Key>, E>
struct EntryLayout<E> {
  using Head = SegmentRouting::PrefixSegmentInfo::Head;
  using Record = SegmentRouting::PrefixSegmentRecord;
  static constexpr std::uint32_t kBound = SegmentRouting::PrefixSegmentInfo::kMaxRecords;

  static Head const& head(E const& e) noexcept { return e.info().head(); }
  static std::uint32_t count(E const& e) noexcept { return e.info().records().count(); }
  static Record const* records(E const& e) noexcept { return e.info().records().begin(); }
  static bool headEq(Head const& a, Head const& b) noexcept { return a == b; }
  // The full value; a count over kBound raises the range error.
  static E make(typename E::Key const& key, Head const& head, Record const* records,
                std::uint32_t count) {
    return E(key, head, records, count);
  }
  // A full value that keeps a corrupt count as it is (its copy raises).
  static E makeUnchecked(typename E::Key const& key, Head const& head, Record const* records,
                         std::uint32_t count, std::uint32_t rawCount) {
    E e(key, head, records, count);
    e.info().records().countIsUnchecked(rawCount);
    return e;
  }
};

}  // namespace Kroma
