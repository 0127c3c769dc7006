// Cspf::PathKey: names one CSPF path: its destination vertex and a path id.
//
// Byte layout (28 bytes, alignment 4):
//   0..23   destination (Cspf::VertexIdentifierBase)
//   24..27  pathId
// hash() is the key's own hash, without a seed: destination.hash() XOR
// pathId (collections hand it over together with their constant). Order:
// destination, then pathId. Text: "10.0.0.1 path 7".
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "Cspf/VertexIdentifier.h"
#include "Vek/Hash.h"

namespace Cspf {

class PathKey {
 public:
  PathKey() noexcept = default;
  PathKey(VertexIdentifierBase const& destination, std::uint32_t pathId) noexcept
      : destination_(destination), pathId_(pathId) {}

  VertexIdentifierBase const& destination() const noexcept { return destination_; }
  std::uint32_t pathId() const noexcept { return pathId_; }

  unsigned hash() const noexcept { return destination_.hash() ^ pathId_; }
  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(destination_.hash(seed));
    h.hashMix<4>(pathId_);
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    auto const& x = *static_cast<PathKey const*>(a);
    auto const& y = *static_cast<PathKey const*>(b);
    return x.pathId_ == y.pathId_ && x.destination_ == y.destination_;
  }
  friend bool operator==(PathKey const& a, PathKey const& b) noexcept { return isEq(&a, &b); }
  friend std::strong_ordering operator<=>(PathKey const& a, PathKey const& b) noexcept {
    if (auto c = a.destination_ <=> b.destination_; c != 0)
      return c;
    return a.pathId_ <=> b.pathId_;
  }

  std::string toString() const;
  // Reads what toString() writes.
  static PathKey read(Vek::CharRange& range);

 private:
  VertexIdentifierBase destination_;
  std::uint32_t pathId_ = 0;
};

static_assert(sizeof(PathKey) == 28 && alignof(PathKey) == 4);
static_assert(std::is_trivially_copyable_v<PathKey> && std::is_standard_layout_v<PathKey>);

std::ostream& operator<<(std::ostream& os, PathKey const& key);

}  // namespace Cspf
