// The usage examples written at the top of the mappers' headers, compiled and
// run as they stand there, so that an example that stops compiling fails the
// build.
#include <cstdio>

#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "VekPavo/Strep.h"

namespace {

using namespace SegmentRouting::Mappers;

void use(AdjSegmentEntry const& entry, bool value) {
  std::printf("%s -> %s\n", VekPavo::valueToStrep(entry).c_str(), value ? "true" : "false");
}
void use(Cspf::LinkKey const& link) {
  std::printf("%s\n", link.toString().c_str());
}

// NodeSegmentReverseMapper.h
void nodeSegmentReverseMapper(Pavo::Ptr<Kroma::SegmentRouting::Status const> const& status) {
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  auto mapper = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status, out);
  // `out` now holds every qualifying IPv4 prefix segment of `status`, and
  // follows each change of the table, inside the table's own publication.
}

// AdjSegmentList.h
void adjSegmentList(Mpls::SegmentRouting::SegmentIdentifier const& sid) {
  AdjSegmentList list;
  list.adjSegmentEntryIs(AdjSegmentEntry(false, 10, sid), true);
  for (auto it = list.adjSegmentEntryCollection().begin(); !it.atEnd(); ++it)
    use(it->key(), it->value());
}

// AdjSegmentSets.h
void neighborSet(Cspf::LinkKey const& link) {
  NeighborSet links;
  links.linkIs(link);  // a second linkIs changes nothing
  for (auto it = links.linkCollection().begin(); !it.atEnd(); ++it)
    use(it->key());
}

}  // namespace

int main() {
  nodeSegmentReverseMapper(Kroma::SegmentRouting::Status::StatusIs());
  adjSegmentList(Mpls::SegmentRouting::SegmentIdentifier(16001, 0x40));
  neighborSet(Cspf::LinkKey());
  return 0;
}
