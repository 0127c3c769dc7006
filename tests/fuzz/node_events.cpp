// Fuzz target: the node-segment reverse mapper under a sequence of events
// read from the input: writes to both prefix collections (entries of either
// family, a few originators and flag mixes, counts over the bound of 100),
// removals, corruption in look-ups and walks, the mapper stopped, started,
// rebuilt, and its handlers invoked through the generic interface. After
// every event the mapper's invariants hold (Srmap::invariantViolations; its
// cache size is not compared after a clean-up invoked on the running mapper,
// which keeps the cache). At the end every tracker is back.
#include <array>
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "ReactorRun.h"

namespace {

using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::Status;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Vantre::IpGenPrefix;

constexpr std::array<std::uint8_t, 3> kAlgos{0, 128, 129};

IpGenPrefix prefixAt(unsigned i) {
  if (i % 2 == 0)
    return IpGenPrefix::ipv4(0x0A000000u + (i << 8), i % 4 == 0 ? 24 : 32);
  return IpGenPrefix::ipv6(
      {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(i)}, 128);
}
// Key i: prefix i in the first collection, prefix i / 3 with algorithm i % 3
// in the second (so that both hold keys of algorithm 0 for prefixes 0 to 5).
PrefixAlgoKey keyAt(unsigned c, unsigned i) {
  return c == 0 ? PrefixAlgoKey(prefixAt(i), 0) : PrefixAlgoKey(prefixAt(i / 3), kAlgos[i % 3]);
}
Mpls::RouterId routerAt(unsigned i) {
  return i == 0 ? Mpls::RouterId::zero() : Mpls::RouterId::ipv4(0xC0000200u + i);
}

struct NodeTraits {
  using Mapper = NodeSegmentReverseMapper;
  using Output = RouterToNodeSegmentMapPerAlgo;
  static constexpr unsigned kKeys = 18;
  static constexpr bool kCleanupKeepsCache = true;

  static Pavo::Ptr<Output> output() { return routerToNodeSegmentMapPerAlgoFactory(); }
  static Pavo::Ptr<Mapper> factory(Vantre::AddressFamily af, Pavo::Ptr<Status> const& status,
                                   Pavo::Ptr<Output> const& out) {
    return nodeSegmentReverseMapperFactory(af, status, out);
  }
  static Kroma::KromaMapBase& collection(Status& s, unsigned c) {
    if (c == 0)
      return s.prefixSegmentMut();
    return s.prefixSegmentWithAlgoMut();
  }
  static constexpr std::uint32_t kBound = 100;
  // The entry is copied before the family is compared.
  static bool reaches(Vantre::AddressFamily, unsigned) { return true; }
  static Vek::GenericValue key(unsigned c, unsigned i) {
    if (c == 0)
      return keyAt(c, i).prefix();
    return keyAt(c, i);
  }

  // A few originators (the zero router id too), flag mixes and records.
  static void put(Status& s, unsigned c, unsigned i, FuzzSupport::Input& in) {
    PrefixAlgoKey const key = keyAt(c, i);
    PrefixSegmentInfo info(routerAt(in.below(4)), static_cast<std::uint8_t>(in.byte() & 0x15));
    for (unsigned n = in.below(4); n > 0; --n)
      info.records().push({in.u32(), 0x40, key.algo(), {}});
    c == 0 ? s.prefixSegmentIs({key.prefix(), info}) : s.prefixSegmentWithAlgoIs({key, info});
  }
  static bool del(Status& s, unsigned c, unsigned i) {
    return c == 0 ? s.prefixSegmentDel(keyAt(c, i).prefix())
                  : s.prefixSegmentWithAlgoDel(keyAt(c, i));
  }
  static bool countIs(Status& s, unsigned c, unsigned i, std::uint32_t n) {
    return c == 0 ? s.prefixSegmentRecordCountIsUnchecked(keyAt(c, i).prefix(), n)
                  : s.prefixSegmentWithAlgoRecordCountIsUnchecked(keyAt(c, i), n);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  return FuzzSupport::fuzzReactor<NodeTraits>(data, size);
}
