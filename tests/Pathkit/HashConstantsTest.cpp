// Every hashed collection of both modules with its constant. A collection
// hashes a key in one of four ways, each with the collection's constant: a
// value type's own hash seeded with the process seed XOR the constant, a
// plain integer hashed with it, a 16-bit value's single attribute hashed
// under that seed, or a key's seedless hash handed over with it. A wrong
// constant changes nothing but every such collection's order, silently.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"

namespace SegmentRouting::Mappers {
namespace {

// A collection's constant, its hash of a sample key, and that key's hash for
// a given constant.
struct Row {
  std::uint32_t constant;
  std::uint32_t hashed;
  std::function<std::uint32_t(std::uint32_t)> expected;
};

template <class Collection, class Key>
Row seeded(std::uint32_t constant, Key const& key) {
  return {constant, Collection::hashOf(key),
          [key](std::uint32_t c) { return key.hash(Vek::HashHelper::hashSeed32() ^ c); }};
}
template <class Collection, class Int>
Row integer(std::uint32_t constant, Int key) {
  return {constant, Collection::hashOf(key),
          [key](std::uint32_t c) { return Vek::hashInteger(key, c); }};
}
template <class Collection>
Row singleAttr(std::uint32_t constant, Cspf::Lfa::PqIdx key) {
  return {constant, Collection::hashOf(key), [key](std::uint32_t c) {
            return Vek::hashSingleAttr(Vek::HashHelper::hashSeed32() ^ c, key.value());
          }};
}
template <class Collection>
Row handedOver(std::uint32_t constant, Cspf::PathKey const& key) {
  return {constant, Collection::hashOf(key),
          [key](std::uint32_t c) { return Vek::hashHandedOver(key.hash(), c); }};
}

TEST(HashConstantsTest, EveryHashedCollectionHashesWithItsConstant) {
  Mpls::RouterId const router = Mpls::RouterId::ipv4(0xC0000201u);
  Vantre::IpGenPrefix const prefix = Vantre::IpGenPrefix::ipv4(0x0A000000u, 8);
  Cspf::LinkDescription link;
  link.linkId = 9;
  Cspf::LinkKey const linkKey(link, Cspf::IgpRouterId());
  Kroma::SegmentRouting::AdjacencySegmentKey const sid(
      Mpls::SegmentRouting::SegmentIdentifier(24001, 0), router);
  Cspf::PathKey const path(Cspf::VertexIdentifierBase::fromIpv4RouterId(0xC0000202u), 7);
  Cspf::Lfa::PqIdx const pqIdx(4099);
  unsigned short const protoId = 2;
  unsigned char const algo = 128;
  std::vector<Row> const rows = {
      // node-segment maps and the reverse mapper's cache
      seeded<RouterToNodeSegmentMap::PrefixMapCollection>(297630782u, router),
      integer<RouterToNodeSegmentMapPerAlgo::RouterToNodeSegmentMapCollection>(3997538310u, algo),
      seeded<NodeSegmentReverseMapper::PrefixToOriginatorCacheCollection>(
          2987357345u, Mpls::SegmentRouting::PrefixAlgoKey(prefix, algo)),
      // adjacency values, per-protoId tables, connector map, the mapper's cache
      seeded<NeighborSet::Collection>(3187245051u, linkKey),
      seeded<AdjSegmentSet::Collection>(42316860u, AdjSegmentEntry(true, 10, sid.sid())),
      seeded<AdjSegmentListPerProtoId::Collection>(2931124741u, linkKey),
      seeded<NeighborSetPerProtoId::Collection>(2244204891u, sid),
      seeded<AdjSegmentSetPerProtoId::Collection>(2080700746u, sid),
      integer<AdjSegmentConnectorMapV2::MapCollection>(524521858u, protoId),
      integer<AdjSegmentConnectorMapV2::CacheCollection>(3690883250u, protoId),
      integer<AdjacencySegmentMapperV2::AdjSegmentEntryCacheCollection>(3184209212u, protoId),
      // PQ-index and P-router maps
      handedOver<AlgoToPathKeySet::PathKeyCollection>(4229093608u, path),
      seeded<AlgoToPathKeySet::PrefixKeyCollection>(312797146u, prefix),
      handedOver<PqIdxToPathKey::PathKeyCollection>(2352440314u, path),
      integer<PqIdxToPathKey::AlgoSetCollection>(608949734u, algo),
      singleAttr<PqIdxToPathKeyMap::PathKeyMapCollection>(243582325u, pqIdx),
      singleAttr<PRouterToPqIdx::PqIndexCollection>(512710871u, pqIdx),
      seeded<PRouterToPqIdxMap::PqIndexMapCollection>(3591295307u, router),
  };
  for (Row const& row : rows) {
    EXPECT_EQ(row.hashed, row.expected(row.constant)) << "the collection of " << row.constant;
    EXPECT_NE(row.hashed, row.expected(row.constant ^ 1))
        << "a hash blind to the constant " << row.constant;
  }
}

}  // namespace
}  // namespace SegmentRouting::Mappers
