// Cspf::IgpRouterId: a vertex identifier as the IGP names a router, with its
// own hash cached once the identifier is complete.
//
// Byte layout (28 bytes, alignment 4):
//   0..23   the vertex identifier (Cspf::VertexIdentifierBase)
//   24..27  cached own hash: 0 until handleInitialized() stores
//           vertexIdentifier().hash()
// Equality, order, hash and text read only the vertex identifier, so an
// identifier compares equal before and after handleInitialized().
#pragma once

#include <compare>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "Cspf/VertexIdentifier.h"

namespace Cspf {

class IgpRouterId {
 public:
  IgpRouterId() noexcept = default;
  explicit IgpRouterId(VertexIdentifierBase const& vertex) noexcept : vertex_(vertex) {}

  VertexIdentifierBase const& vertexIdentifier() const noexcept { return vertex_; }
  // Finishes the identifier: caches its own hash.
  void handleInitialized() noexcept { ownHash_ = vertex_.hash(); }
  std::uint32_t ownHash() const noexcept { return ownHash_; }

  unsigned hash(unsigned seed) const noexcept { return vertex_.hash(seed); }
  static bool isEq(void const* a, void const* b) noexcept {
    return VertexIdentifierBase::isEq(&static_cast<IgpRouterId const*>(a)->vertex_,
                                      &static_cast<IgpRouterId const*>(b)->vertex_);
  }
  friend bool operator==(IgpRouterId const& a, IgpRouterId const& b) noexcept {
    return a.vertex_ == b.vertex_;
  }
  friend std::strong_ordering operator<=>(IgpRouterId const& a, IgpRouterId const& b) noexcept {
    return a.vertex_ <=> b.vertex_;
  }

  std::string stringValue() const { return vertex_.stringValue(); }
  std::string toString() const { return vertex_.toString(); }
  // Reads what toString() writes, initialised.
  static IgpRouterId read(Vek::CharRange& range);

 private:
  VertexIdentifierBase vertex_;
  std::uint32_t ownHash_ = 0;
};

static_assert(sizeof(IgpRouterId) == 28 && alignof(IgpRouterId) == 4);
static_assert(std::is_trivially_copyable_v<IgpRouterId> && std::is_standard_layout_v<IgpRouterId>);

std::ostream& operator<<(std::ostream& os, IgpRouterId const& id);

}  // namespace Cspf
