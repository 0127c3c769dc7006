// VekPavo outside types: the registration of the value types that come from
// the platform's value libraries (Vantre, Mpls, Routing, Cspf, Kroma) and of
// the segment-routing status table, so that the generic interface can box,
// compare, hash, name, write and read them.
//
// One module, "VekPavo/OutsideTypes", owned by OutsideTypes.cpp and loaded by
// its static initialiser. Its type indexes follow this table:
//
//   0  Vantre::AddressFamily                          "ipv4", "af(7)"
//   1  Vantre::IpGenPrefix                            "10.0.0.0/8", "2001:db8::/32"
//   2  Routing::Isis::SystemId                        "1921.6800.1001"
//   3  Mpls::RouterId                                 "10.0.0.1:0", "1921.6800.1001:5"
//   4  Mpls::SegmentRouting::PrefixAlgoKey            "10.0.0.1/32 algo 128"
//   5  Mpls::SegmentRouting::SegmentIdentifier        "16001/0x40"
//   6  Cspf::VertexIdentifierBase                     "10.0.0.1", "empty"
//   7  Cspf::IgpRouterId                              as the vertex identifier
//   8  Cspf::LinkKey                                  "A -> B kind 2 link 5/6 local L last B"
//   9  Cspf::PathKey                                  "10.0.0.1 path 7"
//   10 Cspf::Lfa::PqIdx                               "17"
//   11 Kroma::SegmentRouting::AdjacencySegmentKey     "sid 16001/0x40 router 10.0.0.1:0"
//   12 Kroma::SegmentRouting::PrefixSegment           values key, originator, flags
//   13 Kroma::SegmentRouting::PrefixSegmentWithAlgo   values key, originator, flags
//   14 Kroma::SegmentRouting::Status                  entity, read-only collection sizes
//   15 Kroma::SegmentRouting::AdjacencySegmentNeighbor "<link description> neighbor R metric 10
//                                                     proto 0"
//   16 Kroma::SegmentRouting::AdjacencySegment        "<key> flags 0 neighbors [<record>; ...]"
//
// Types 0 to 11 are written with their own toString() and read back with their
// own parsers through Vek::readValue ("Vek/CharRange.h"), so each reads
// inside a composite text form up to the next ',' or ')'; equality, order and
// hash are the types' own (the generic hash is hash(0)). Reading gives back an
// equal value for everything the writers produce, except identifiers that only
// raw bytes make (a vertex identifier of an unknown type, a prefix of an
// unknown family) and a link description's reserved bytes, which the text
// does not carry. The cached hash of an IgpRouterId (also a link key's last
// vertex) is not compared; a read one is initialised.
//
// The two prefix-segment entries use the standard generic text form over their
// attributes key (field 2), originator (3) and flags (4), and are built back
// from those by the generic reader; their records, which the mappers never
// read, are not part of the text. They are not hashable and have no order.
//
// The adjacency-segment entry and its neighbour record (15, 16) are written
// and read like types 0 to 11, every record in full but the link
// description's reserved bytes; they have no order and no hash.
//
// The status table's attributes are the sizes of its collections (U64, read
// only): prefixSegmentCount 130, prefixSegmentWithAlgoCount 131,
// ipv4AdjacencySegmentCount 132, ipv6AdjacencySegmentCount 133. They are for
// inspection only; changes are still published under the collections' own
// field ids (258, 259, 263, 264; see "Kroma/SegmentRouting/Status.h").
#pragma once

#include "VekPavo/InspectModule.h"

namespace VekPavo {

// The module record; registered (loaded) when the platform library loads.
Pavo::ModuleInspectData const& outsideTypesModule();

}  // namespace VekPavo
