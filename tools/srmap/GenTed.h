// Srmap::genTed: a synthetic link-state (TED) export of a large network, in
// the format `srmap import` reads (docs/ted-import.md), for the import's
// benchmark and for trying the tool at scale: `srmap gen-ted`.
//
// `routers` routers, `links` links: a ring through every router (so the
// network is connected) and random chords between two distinct routers
// (one pair drawn twice gives parallel links). Each link is two edges, one
// advertised by each end, each with one adjacency SID (a label from the
// advertising router's own range, 15000 up) and an IPv4 address pair of
// its own. Each router advertises an SRGB (16000 up) and two loopbacks with
// a prefix SID each: one in algorithm 0 (IS-IS: with the N flag), one in
// flexible algorithm 128, both as indexes. The same options give the same
// text, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Srmap {

struct GenTedOptions {
  bool isis = true;  // false: OSPF
  std::size_t routers = 10000;
  std::size_t links = 40000;
  std::uint64_t seed = 1;
};

// Raises std::invalid_argument for fewer than 2 routers, fewer links than
// routers (the ring), or more routers than the label and address plan holds
// (100000).
std::string genTed(GenTedOptions const& options);

}  // namespace Srmap
