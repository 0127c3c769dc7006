// Cspf::VertexIdentifierBase: names one vertex of the CSPF topology, a
// router (by IPv4 router id or IS-IS system id) or an IS-IS pseudonode.
//
// Byte layout (24 bytes, alignment 1):
//   0      vertexType: 0 none/empty, 1 IPv4 router id, 2 IS-IS system id,
//          3 IS-IS pseudonode
//   1      length of the data: 0, 4, 6 and 7 for the four types
//   2..23  data, zero-padded: the IPv4 address (network order), the system
//          id, or the system id followed by the pseudonode id
// The constructors keep the padding zero. Identifiers copied in as raw
// bytes (link descriptions read from the status table) are taken as they
// are: equality and order compare all 24 bytes (type, length, data), the
// hash reads type, length and the first `length` data bytes, and every
// reader clamps the length to 22.
//
// stringValue(): "" for the empty identifier, "10.0.0.1", "1921.6800.1001",
// "1921.6800.1001.02"; toString() is the same but "empty" for the empty one.
// parse() reads either form back. stringValueIn() writes the stringValue()
// text into a caller's buffer, for trace points that must not allocate.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "Routing/Isis/SystemId.h"
#include "Vek/Hash.h"

namespace Cspf {

class VertexIdentifierBase {
 public:
  static constexpr std::uint8_t kTypeNone = 0;
  static constexpr std::uint8_t kTypeIpv4RouterId = 1;
  static constexpr std::uint8_t kTypeIsisSystemId = 2;
  static constexpr std::uint8_t kTypeIsisPseudonode = 3;
  static constexpr std::size_t kDataSize = 22;
  static constexpr char const* kTypeName = "Cspf::VertexIdentifierBase";

  // The empty identifier (type 0, no data).
  VertexIdentifierBase() noexcept = default;
  // Type and raw data, e.g. VertexIdentifierBase(0, ""). The data length
  // must be the type's (0, 4, 6, 7); types above 3 and other lengths raise
  // Pavo::RangeException.
  VertexIdentifierBase(std::uint8_t vertexType, std::string_view data);
  explicit VertexIdentifierBase(Routing::Isis::SystemId const& systemId) noexcept;
  VertexIdentifierBase(Routing::Isis::SystemId const& systemId, std::uint8_t pseudonodeId) noexcept;
  // `address` in host order.
  static VertexIdentifierBase fromIpv4RouterId(std::uint32_t address) noexcept;

  std::uint8_t vertexType() const noexcept { return vertexType_; }
  std::uint8_t length() const noexcept { return length_ <= kDataSize ? length_ : kDataSize; }
  std::span<std::uint8_t const> data() const noexcept { return {data_, length()}; }
  bool isEmpty() const noexcept { return vertexType_ == kTypeNone && length_ == 0; }

  // The identifier's own hash, without a seed: hash(0).
  unsigned hash() const noexcept { return hash(0); }
  unsigned hash(unsigned seed) const noexcept {
    Vek::Hash h(seed);
    h.hashMix<1>(vertexType_);
    h.hashMix<1>(length_);
    h.hashBytes(data_, length());
    return h.result();
  }
  static bool isEq(void const* a, void const* b) noexcept {
    return std::memcmp(a, b, sizeof(VertexIdentifierBase)) == 0;
  }
  friend bool operator==(VertexIdentifierBase const& a, VertexIdentifierBase const& b) noexcept {
    return isEq(&a, &b);
  }
  friend std::strong_ordering operator<=>(VertexIdentifierBase const& a,
                                          VertexIdentifierBase const& b) noexcept {
    int const c = std::memcmp(&a, &b, sizeof(VertexIdentifierBase));
    return c < 0   ? std::strong_ordering::less
           : c > 0 ? std::strong_ordering::greater
                   : std::strong_ordering::equal;
  }

  // Longest stringValue(): raw bytes of an unknown type, "type255:" and 22
  // bytes in hex.
  static constexpr std::size_t kStringValueMax = 8 + 2 * kDataSize;
  using StringValueBuffer = char[kStringValueMax];

  std::string stringValue() const;
  // The stringValue() text, written into `buffer`; the view points into it.
  std::string_view stringValueIn(StringValueBuffer& buffer) const noexcept;
  std::string toString() const;
  // Reads one identifier in either text form, up to the next blank.
  static VertexIdentifierBase read(Vek::CharRange& range);
  // Reads a stringValue() or toString() text; malformed text or an octet
  // over 255 raises Vek::DeserializeException.
  static VertexIdentifierBase parse(std::string_view text);

 private:
  std::uint8_t vertexType_ = kTypeNone;
  std::uint8_t length_ = 0;
  std::uint8_t data_[kDataSize] = {};
};

static_assert(sizeof(VertexIdentifierBase) == 24 && alignof(VertexIdentifierBase) == 1);
static_assert(std::is_trivially_copyable_v<VertexIdentifierBase> &&
              std::is_standard_layout_v<VertexIdentifierBase>);

std::ostream& operator<<(std::ostream& os, VertexIdentifierBase const& id);

}  // namespace Cspf
