// Cspf::LinkKey: identifies one directed link of the CSPF topology; and
// Cspf::LinkDescription, the 84-byte leading part of it that the status
// table's adjacency-segment neighbour records carry as they are.
//
// LinkDescription layout (84 bytes, alignment 4, no padding):
//   0..23   firstVertex (Cspf::VertexIdentifierBase), the local end
//   24..27  vertexKind; kKindRemoteBySystemId (2): the remote end is
//           named by the neighbour's IS-IS system id
//   28..51  secondVertex (Cspf::VertexIdentifierBase)
//   52..55  linkId, the local interface id
//   56..59  remoteLinkId
//   60..75  localAddress, 16 bytes (an IPv4 address in bytes 60..63)
//   76..83  reserved
// LinkKey layout (112 bytes): the description, then lastVertex
// (Cspf::IgpRouterId, 84..111; its cached hash at 108..111).
//
// Equality, hash and order read bytes 0..107: the whole description as it
// was written (reserved bytes included) and the last vertex identifier,
// never the last vertex's cached hash. Order is bytewise over those bytes.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <span>
#include <string>
#include <type_traits>

#include "Cspf/IgpRouterId.h"
#include "Cspf/VertexIdentifier.h"
#include "Vek/Hash.h"

namespace Cspf {

struct LinkDescription {
  static constexpr std::uint32_t kKindRemoteBySystemId = 2;

  // "1921.6800.1001 -> 1921.6800.1002 kind 2 link 5/6 local 10.0.0.1" (the
  // reserved bytes are not shown; read() leaves them zero).
  std::string toString() const;
  static LinkDescription read(Vek::CharRange& range);

  VertexIdentifierBase firstVertex;
  std::uint32_t vertexKind = 0;
  VertexIdentifierBase secondVertex;
  std::uint32_t linkId = 0;
  std::uint32_t remoteLinkId = 0;
  std::uint8_t localAddress[16] = {};
  std::uint8_t reserved[8] = {};
};

static_assert(sizeof(LinkDescription) == 84 && alignof(LinkDescription) == 4);
static_assert(offsetof(LinkDescription, vertexKind) == 24);
static_assert(offsetof(LinkDescription, secondVertex) == 28);
static_assert(offsetof(LinkDescription, linkId) == 52);
static_assert(offsetof(LinkDescription, remoteLinkId) == 56);
static_assert(offsetof(LinkDescription, localAddress) == 60);
static_assert(offsetof(LinkDescription, reserved) == 76);
static_assert(std::has_unique_object_representations_v<LinkDescription>);

class LinkKey {
 public:
  static constexpr std::size_t kDescriptionSize = 84;
  static_assert(sizeof(LinkDescription) == kDescriptionSize);

  LinkKey() noexcept = default;
  LinkKey(LinkDescription const& description, IgpRouterId const& lastVertex) noexcept
      : description_(description), lastVertex_(lastVertex) {}
  // The description as raw bytes, e.g. the leading part of a status-table
  // neighbour record.
  static LinkKey fromDescriptionBytes(std::span<std::uint8_t const, kDescriptionSize> bytes,
                                      IgpRouterId const& lastVertex) noexcept {
    LinkKey k;
    std::memcpy(&k.description_, bytes.data(), kDescriptionSize);
    k.lastVertex_ = lastVertex;
    return k;
  }

  LinkDescription const& description() const noexcept { return description_; }
  VertexIdentifierBase const& firstVertex() const noexcept { return description_.firstVertex; }
  std::uint32_t vertexKind() const noexcept { return description_.vertexKind; }
  VertexIdentifierBase const& secondVertex() const noexcept { return description_.secondVertex; }
  std::uint32_t linkId() const noexcept { return description_.linkId; }
  std::uint32_t remoteLinkId() const noexcept { return description_.remoteLinkId; }
  std::span<std::uint8_t const, 16> localAddress() const noexcept {
    return description_.localAddress;
  }
  IgpRouterId const& lastVertex() const noexcept { return lastVertex_; }

  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashBytes(&description_, kDescriptionSize);
    h.hashBytes(&lastVertex_.vertexIdentifier(), sizeof(VertexIdentifierBase));
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    return std::memcmp(a, b, kComparedSize) == 0;
  }
  friend bool operator==(LinkKey const& a, LinkKey const& b) noexcept { return isEq(&a, &b); }
  friend std::strong_ordering operator<=>(LinkKey const& a, LinkKey const& b) noexcept {
    int const c = std::memcmp(&a, &b, kComparedSize);
    return c < 0   ? std::strong_ordering::less
           : c > 0 ? std::strong_ordering::greater
                   : std::strong_ordering::equal;
  }

  // "1921.6800.1001 -> 1921.6800.1002 kind 2 link 5/6 local 10.0.0.1 last
  // 1921.6800.1002" (empty identifiers as "empty"; the local address as IPv4
  // when its bytes 4..15 are zero, else as IPv6).
  std::string toString() const;
  // Reads what toString() writes.
  static LinkKey read(Vek::CharRange& range);

 private:
  // Bytes 0..107: the description and the last vertex identifier.
  static constexpr std::size_t kComparedSize = kDescriptionSize + sizeof(VertexIdentifierBase);

  LinkDescription description_;
  IgpRouterId lastVertex_;
};

static_assert(sizeof(LinkKey) == 112 && alignof(LinkKey) == 4);
static_assert(std::is_trivially_copyable_v<LinkKey> && std::is_standard_layout_v<LinkKey>);

std::ostream& operator<<(std::ostream& os, LinkKey const& key);

}  // namespace Cspf
