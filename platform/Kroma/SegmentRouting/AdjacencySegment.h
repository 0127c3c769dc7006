// Kroma::SegmentRouting adjacency-segment entries of the status table: the
// key (a SID and the advertising router), the neighbour records, the index
// type that addresses them, and the entry.
//
// AdjacencySegmentKey (32 bytes, alignment 4):
//   0..3 SID value, 4 SID flag, 5..7 zero, 8..31 router (Mpls::RouterId)
//   Order: SID value, SID flag, router (each ascending). Text:
//   "sid 16001/0x40 router 10.0.0.1:0".
// AdjacencySegmentNeighbor (116 bytes, alignment 4):
//   0..83    link description (Cspf::LinkDescription, the leading part of a
//            Cspf::LinkKey)
//   84..107  neighbour router (Mpls::RouterId)
//   108..111 metric
//   112      protocol instance
//   113..115 unused
// AdjacencySegment (59432 bytes, alignment 4):
//   0..31 key, 32 flags (not read by the mappers), 33..35 zero,
//   36..39 record count, 40.. up to 512 neighbour records
//   Copies move `count` records; a count over 512 makes the copy raise
//   Vek::PodArrayImpl::throwRangeException(512, count). True when it
//   differs from the entry built from the all-zero key.
// Text forms (read() reads them back):
//   record: "<link description> neighbor 1921.6800.1002 metric 10 proto 0"
//   entry:  "sid 16001/0x40 router 10.0.0.1:0 flags 0 neighbors [<record>; <record>]"
// AdjSegmentNbrIdx: a record index 0..511, checked when it is made.
//
// Built from typed values, without the layouts (what a routing agent writes):
//   AdjacencyLink link{local, remote, 1, 1, Vantre::IpGenPrefix("10.0.12.1/32"),
//                      LinkKind::remoteBySystemId};
//   AdjacencySegment entry(AdjacencySegmentKey(sid, router),
//                          {AdjacencySegmentNeighbor(link, neighbor, 10, 1)});
// and read back the same way: record.linkParts(), record.neighbor, ...
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iosfwd>
#include <string>

#include "Cspf/LinkKey.h"
#include "Kroma/EntryLayout.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "Vantre/IpGenPrefix.h"
#include "Vek/Hash.h"
#include "Vek/PodArray.h"

namespace Kroma::SegmentRouting {

class AdjacencySegmentKey {
 public:
  AdjacencySegmentKey() noexcept = default;
  AdjacencySegmentKey(Mpls::SegmentRouting::SegmentIdentifier const& sid,
                      Mpls::RouterId const& routerId) noexcept
      : sidValue_(sid.value()), sidFlag_(sid.flag()), routerId_(routerId) {}

  std::uint32_t sidValue() const noexcept { return sidValue_; }
  std::uint8_t sidFlag() const noexcept { return sidFlag_; }
  Mpls::SegmentRouting::SegmentIdentifier sid() const noexcept { return {sidValue_, sidFlag_}; }
  Mpls::RouterId const& routerId() const noexcept { return routerId_; }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(routerId_.hash(seed));
    h.hashMix<4>(sidValue_);
    h.hashMix<1>(sidFlag_);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<AdjacencySegmentKey const*>(a);
    auto const& y = *static_cast<AdjacencySegmentKey const*>(b);
    return x.sidValue_ == y.sidValue_ && x.sidFlag_ == y.sidFlag_ && x.routerId_ == y.routerId_;
  }
  friend bool operator==(AdjacencySegmentKey const& a, AdjacencySegmentKey const& b) noexcept {
    return isEq(&a, &b);
  }
  friend std::strong_ordering operator<=>(AdjacencySegmentKey const& a,
                                          AdjacencySegmentKey const& b) noexcept {
    if (auto c = a.sidValue_ <=> b.sidValue_; c != 0)
      return c;
    if (auto c = a.sidFlag_ <=> b.sidFlag_; c != 0)
      return c;
    return a.routerId_ <=> b.routerId_;
  }

  std::string toString() const;
  // Reads what toString() writes.
  static AdjacencySegmentKey read(Vek::CharRange& range);

 private:
  std::uint32_t sidValue_ = 0;
  std::uint8_t sidFlag_ = 0;
  [[maybe_unused]] std::uint8_t padding_[3] = {};
  Mpls::RouterId routerId_;

  friend struct AdjacencySegmentLayout;
};

std::ostream& operator<<(std::ostream& os, AdjacencySegmentKey const& key);

class AdjSegmentNbrIdx {
 public:
  static constexpr std::uint32_t min = 0;
  static constexpr std::uint32_t max = 511;

  // Raises Pavo::RangeException for a value outside min..max.
  explicit AdjSegmentNbrIdx(std::int64_t value);

  std::uint32_t value() const noexcept { return value_; }
  // Steps to the next index; stepping past max raises like the constructor.
  AdjSegmentNbrIdx& operator++();

  friend bool operator==(AdjSegmentNbrIdx, AdjSegmentNbrIdx) noexcept = default;
  friend std::strong_ordering operator<=>(AdjSegmentNbrIdx, AdjSegmentNbrIdx) noexcept = default;

 private:
  std::uint32_t value_;
};

// How the link key of a record names the link's far end (the description's
// vertex kind). The mapper reads no other kind: any other value is `plain`.
enum class LinkKind : std::uint32_t {
  plain = 0,  // the link key's last vertex is the empty identifier
  // The last vertex is the neighbour router's IS-IS system id.
  remoteBySystemId = Cspf::LinkDescription::kKindRemoteBySystemId,
};

// The link of a neighbour record as typed parts: what an IGP agent knows of
// one adjacency. description() lays it out as the record carries it; of()
// reads a description back. The local address is kept as its 16 address
// bytes (an IPv4 address in the first 4): of() reads them as IPv4 (/32)
// when the last 12 are zero, as IPv6 (/128) otherwise, and all zero as no
// address (the default prefix). The prefix length is not kept.
struct AdjacencyLink {
  Cspf::VertexIdentifierBase local;   // this router's end
  Cspf::VertexIdentifierBase remote;  // the neighbour's end (router or pseudonode)
  std::uint32_t localInterfaceId = 0;
  std::uint32_t remoteInterfaceId = 0;
  Vantre::IpGenPrefix localAddress;  // e.g. 10.0.12.1/32; default: none
  LinkKind kind = LinkKind::plain;

  Cspf::LinkDescription description() const noexcept;
  static AdjacencyLink of(Cspf::LinkDescription const& description);
  friend bool operator==(AdjacencyLink const&, AdjacencyLink const&) noexcept = default;
};

struct AdjacencySegmentNeighbor {
  AdjacencySegmentNeighbor() noexcept = default;
  // One record from typed values: the link, the neighbour router, the
  // adjacency's metric and the protocol instance it belongs to.
  AdjacencySegmentNeighbor(AdjacencyLink const& parts, Mpls::RouterId const& router,
                           std::uint32_t cost, std::uint8_t instance) noexcept
      : AdjacencySegmentNeighbor(parts.description(), router, cost, instance) {}
  AdjacencySegmentNeighbor(Cspf::LinkDescription const& description, Mpls::RouterId const& router,
                           std::uint32_t cost, std::uint8_t instance) noexcept
      : link(description), neighbor(router), metric(cost), protoInstance(instance) {}

  AdjacencyLink linkParts() const { return AdjacencyLink::of(link); }

  Cspf::LinkDescription link;
  Mpls::RouterId neighbor;
  std::uint32_t metric = 0;
  std::uint8_t protoInstance = 0;
  std::uint8_t unused[3] = {};

  std::string toString() const;
  static AdjacencySegmentNeighbor read(Vek::CharRange& range);
  friend bool operator==(AdjacencySegmentNeighbor const& a,
                         AdjacencySegmentNeighbor const& b) noexcept {
    return std::memcmp(&a, &b, sizeof(AdjacencySegmentNeighbor)) == 0;
  }
};
static_assert(sizeof(AdjacencySegmentNeighbor) == 116 && alignof(AdjacencySegmentNeighbor) == 4);
static_assert(offsetof(AdjacencySegmentNeighbor, neighbor) == 84);
static_assert(offsetof(AdjacencySegmentNeighbor, metric) == 108);
static_assert(offsetof(AdjacencySegmentNeighbor, protoInstance) == 112);
static_assert(std::has_unique_object_representations_v<AdjacencySegmentNeighbor>);

class AdjacencySegment {
 public:
  static constexpr std::uint32_t kMaxNeighbors = AdjSegmentNbrIdx::max + 1;
  using Neighbors = Vek::PodArray<AdjacencySegmentNeighbor, kMaxNeighbors>;

  // The fixed head besides the key (bytes 32..35), as the compact table
  // stores it.
  struct Head {
    std::uint8_t flags = 0;
    std::uint8_t padding[3] = {};
    friend bool operator==(Head const&, Head const&) noexcept = default;
  };

  AdjacencySegment() noexcept = default;
  explicit AdjacencySegment(AdjacencySegmentKey const& key, std::uint8_t flags = 0) noexcept
      : key_(key), flags_(flags) {}
  // The key and its neighbour records, in order; `flags` is the entry's own
  // byte, which the mappers do not read. More than 512 records raise the
  // range error.
  AdjacencySegment(AdjacencySegmentKey const& key,
                   std::initializer_list<AdjacencySegmentNeighbor> records, std::uint8_t flags = 0)
      : key_(key), flags_(flags) {
    neighbors_.assign(records.begin(), static_cast<std::uint32_t>(records.size()));
  }
  // Built from its parts: the key, the head and `count` neighbour records; a
  // count over 512 raises the range error.
  AdjacencySegment(AdjacencySegmentKey const& key, Head const& head,
                   AdjacencySegmentNeighbor const* records, std::uint32_t count)
      : key_(key), flags_(head.flags) {
    neighbors_.assign(records, count);
  }

  Head head() const noexcept { return Head{flags_, {}}; }

  AdjacencySegmentKey const& key() const noexcept { return key_; }
  std::uint8_t flags() const noexcept { return flags_; }
  std::uint32_t count() const noexcept { return neighbors_.count(); }
  // The record at `idx`; an index not below the count raises
  // Pavo::RangeException.
  AdjacencySegmentNeighbor const& neighbor(AdjSegmentNbrIdx idx) const {
    return neighbors_[idx.value()];
  }
  Neighbors const& neighbors() const noexcept { return neighbors_; }
  Neighbors& neighbors() noexcept { return neighbors_; }

  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<AdjacencySegment const*>(a);
    auto const& y = *static_cast<AdjacencySegment const*>(b);
    return x.key_ == y.key_ && x.flags_ == y.flags_ && x.neighbors_ == y.neighbors_;
  }
  friend bool operator==(AdjacencySegment const& a, AdjacencySegment const& b) noexcept {
    return isEq(&a, &b);
  }
  explicit operator bool() const noexcept {
    return !(key_ == AdjacencySegmentKey() && flags_ == 0 && neighbors_.empty());
  }

  std::string toString() const;
  static AdjacencySegment read(Vek::CharRange& range);

 private:
  AdjacencySegmentKey key_;
  std::uint8_t flags_ = 0;
  [[maybe_unused]] std::uint8_t padding_[3] = {};
  Neighbors neighbors_;

  friend struct AdjacencySegmentLayout;
};

struct AdjacencySegmentLayout {
  static_assert(offsetof(AdjacencySegmentKey, sidFlag_) == 4);
  static_assert(offsetof(AdjacencySegmentKey, routerId_) == 8);
  static_assert(offsetof(AdjacencySegment, flags_) == 32);
  static_assert(offsetof(AdjacencySegment, neighbors_) == 36);
};
static_assert(sizeof(AdjacencySegmentKey) == 32 && alignof(AdjacencySegmentKey) == 4);
static_assert(std::is_trivially_copyable_v<AdjacencySegmentKey> &&
              std::is_standard_layout_v<AdjacencySegmentKey>);
static_assert(sizeof(AdjacencySegment) == 36 + 4 + 512 * 116);
static_assert(std::is_standard_layout_v<AdjacencySegment>);

}  // namespace Kroma::SegmentRouting

namespace Kroma {

// How the status table stores adjacency segments compactly: the key, the
// flags and only the neighbour records in use.
template <>
struct EntryLayout<SegmentRouting::AdjacencySegment> {
  using E = SegmentRouting::AdjacencySegment;
  using Head = E::Head;
  using Record = SegmentRouting::AdjacencySegmentNeighbor;
  static constexpr std::uint32_t kBound = E::kMaxNeighbors;

  static Head head(E const& e) noexcept { return e.head(); }
  static std::uint32_t count(E const& e) noexcept { return e.neighbors().count(); }
  static Record const* records(E const& e) noexcept { return e.neighbors().begin(); }
  static bool headEq(Head const& a, Head const& b) noexcept { return a == b; }
  static E make(SegmentRouting::AdjacencySegmentKey const& key, Head const& head,
                Record const* records, std::uint32_t count) {
    return E(key, head, records, count);
  }
  static E makeUnchecked(SegmentRouting::AdjacencySegmentKey const& key, Head const& head,
                         Record const* records, std::uint32_t count, std::uint32_t rawCount) {
    E e(key, head, records, count);
    e.neighbors().countIsUnchecked(rawCount);
    return e;
  }
};

}  // namespace Kroma
