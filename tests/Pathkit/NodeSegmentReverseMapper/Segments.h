// Builders for the node-segment tests: prefixes, router ids and prefix
// segment infos from small numbers, so that a test names "prefix 3 of
// ipv4" or "router 2" instead of spelling addresses.
//
// Everything here is a plain value; nothing is shared or allocated on a slab.
#pragma once

#include <array>
#include <cstdint>

#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Mpls/RouterId.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"

namespace NodeSegTest {

inline constexpr std::uint8_t kMap = Kroma::SegmentRouting::PrefixSegmentInfo::kFlagMapToOriginator;
inline constexpr std::uint8_t kDoNotMap = Kroma::SegmentRouting::PrefixSegmentInfo::kFlagDoNotMap;

// Host prefix number `i` of the family: 10.0.<i/256>.<i%256>/32 or 2001:db8::<i>/128.
inline Vantre::IpGenPrefix hostPrefix(Vantre::AddressFamily af, unsigned i) {
  if (af == Vantre::AddressFamily::ipv4)
    return Vantre::IpGenPrefix::ipv4(0x0A000000u + i, 32);
  std::array<std::uint8_t, 16> a{0x20, 0x01, 0x0d, 0xb8};
  a[12] = static_cast<std::uint8_t>(i >> 24);
  a[13] = static_cast<std::uint8_t>(i >> 16);
  a[14] = static_cast<std::uint8_t>(i >> 8);
  a[15] = static_cast<std::uint8_t>(i);
  return Vantre::IpGenPrefix::ipv6(a, 128);
}

// Router number `i` (from 1): IPv4 router id 192.0.2.<i>.
inline Mpls::RouterId router(unsigned i) {
  return Mpls::RouterId::ipv4(0xC0000200u + i);
}

inline Kroma::SegmentRouting::PrefixSegmentInfo info(Mpls::RouterId const& originator,
                                                     std::uint8_t flags, unsigned records = 1,
                                                     std::uint32_t sid = 16000) {
  Kroma::SegmentRouting::PrefixSegmentInfo out(originator, flags);
  for (unsigned r = 0; r < records; ++r) {
    Kroma::SegmentRouting::PrefixSegmentRecord rec;
    rec.sidValue = sid + r;
    rec.sidFlags = 0x40;
    out.records().push(rec);
  }
  return out;
}

}  // namespace NodeSegTest
