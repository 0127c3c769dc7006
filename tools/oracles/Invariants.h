// Srmap invariants: the structural rules a mapper keeps between its output
// and its own caches, checked from outside and returned as text (one line
// per violation, empty when all hold), so that the scenario check, the soak
// and the fuzz targets judge a mapper by the same rules.
//
//   for (std::string const& v : Srmap::invariantViolations(mapper.get(), *out))
//     report(v);
//
// Node-segment mapper: every algorithm map and router entry is filed under
// its own algorithm / router and is not empty; with the mapper, each mapped
// (prefix, algorithm) is of the mapper's family and cached under the router
// it is mapped under (so it sits under exactly one), and, when `cacheComplete`,
// the cache holds no other key. Only a clean-up invoked on a running mapper
// keeps cache entries whose output it removed; pass false after one.
//
// Adjacency mapper: no per-protoId table, link list or key set is empty; with
// the mapper, its entry cache and the connector map's key tables name the
// same protoIds and keys, every pair (link, entry) a key files is listed on
// that link, every listed entry is filed there by some key, and the sharing
// bookkeeping is exact: a count for each pair that two or more keys file,
// equal to their number, none for others, and recorded pairs exactly for the
// keys with two or more links and entries (each link and entry of the caches
// in one of the key's pairs).
//
// A mapper that is destroyed, or whose start-up build throws, leaves its
// output empty (emptiedViolations).
#pragma once

#include <string>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"

namespace Srmap {

using Violations = std::vector<std::string>;

// With a null `mapper`, the output's own shape only.
Violations invariantViolations(SegmentRouting::Mappers::NodeSegmentReverseMapper const* mapper,
                               SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo const& out,
                               bool cacheComplete = true);
Violations invariantViolations(SegmentRouting::Mappers::AdjacencySegmentMapperV2 const* mapper,
                               SegmentRouting::Mappers::AdjSegmentConnectorMapV2 const& out);

Violations emptiedViolations(SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo const& out);
Violations emptiedViolations(SegmentRouting::Mappers::AdjSegmentConnectorMapV2 const& out);

}  // namespace Srmap
