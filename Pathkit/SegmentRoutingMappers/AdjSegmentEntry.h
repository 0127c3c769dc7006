// AdjSegmentEntry: one adjacency segment seen on a link — whether the
// adjacency is local, its metric and its segment identifier.
//
// A plain value (16 bytes, nothing on the heap). It is the key of
// AdjSegmentList and the member of AdjSegmentSet, so its equality, order and
// hash are part of their contract:
//   - equality and order look at isLocal, then metric, then sid, and stop at
//     the first difference; they agree (`a <=> b == 0` exactly when isEq);
//   - order: isLocal false before true, metric unsigned ascending, then the
//     identifier's own order (its value ascending, a set flag before a clear
//     one);
//   - hash(seed) mixes isLocal (1 byte), metric (4) and sid.hash(0) (4).
// None of them allocates.
//
// Text (the module's standard value form; see "Vek/CharRange.h"):
//   SegmentRouting::Mappers::AdjSegmentEntry(isLocal=true, metric=10, sid=16001/0x40)
// A malformed sid fails with an error naming `sid` and the position.
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>

#include "Mpls/SegmentRouting/SegmentIdentifier.h"

namespace Vek {
class CharRange;
}  // namespace Vek

namespace SegmentRouting::Mappers {

class AdjSegmentEntry {
 public:
  static constexpr char const* kTypeName = "SegmentRouting::Mappers::AdjSegmentEntry";

  AdjSegmentEntry() noexcept = default;
  AdjSegmentEntry(bool isLocal, unsigned metric,
                  Mpls::SegmentRouting::SegmentIdentifier sid) noexcept
      : isLocal_(isLocal), metric_(metric), sid_(sid) {}
  // Reads one entry in the text form from the range's position.
  explicit AdjSegmentEntry(Vek::CharRange& range);

  bool isLocal() const noexcept { return isLocal_; }
  unsigned metric() const noexcept { return metric_; }
  Mpls::SegmentRouting::SegmentIdentifier sid() const noexcept { return sid_; }

  static bool isEq(void const* a, void const* b) noexcept {
    if (a == b)
      return true;
    auto const& x = *static_cast<AdjSegmentEntry const*>(a);
    auto const& y = *static_cast<AdjSegmentEntry const*>(b);
    return x.isLocal_ == y.isLocal_ && x.metric_ == y.metric_ &&
           Mpls::SegmentRouting::SegmentIdentifier::isEq(&x.sid_, &y.sid_);
  }
  friend bool operator==(AdjSegmentEntry const& a, AdjSegmentEntry const& b) noexcept {
    return isEq(&a, &b);
  }
  std::strong_ordering operator<=>(AdjSegmentEntry const& other) const noexcept {
    if (this == &other)
      return std::strong_ordering::equal;
    if (auto c = isLocal_ <=> other.isLocal_; c != 0)
      return c;
    if (auto c = metric_ <=> other.metric_; c != 0)
      return c;
    return sid_ <=> other.sid_;
  }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<1>(isLocal_);
    h.hashMix<4>(metric_);
    h.hashMix<4>(sid_.hash(0));
    return h.result();
  }

  // True when any attribute differs from its default.
  explicit operator bool() const noexcept { return isLocal_ || metric_ != 0 || !sid_.isZero(); }

 private:
  bool isLocal_ = false;
  std::uint32_t metric_ = 0;
  Mpls::SegmentRouting::SegmentIdentifier sid_;
};

std::ostream& operator<<(std::ostream& os, AdjSegmentEntry const& entry);

}  // namespace SegmentRouting::Mappers
