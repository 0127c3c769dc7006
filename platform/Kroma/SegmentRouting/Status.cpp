#include "Kroma/SegmentRouting/Status.h"

#include "Pavo/TypeData.h"

namespace Kroma::SegmentRouting {

Status::Status() = default;

Status::~Status() {
  nodeFlagSet(kNotificationActive, false);
}

Pavo::TypeData Status::typeData() const {
  return Pavo::Inspect::typeDataOf<Status>();
}

Pavo::Ptr<Status> Status::StatusIs() {
  return Pavo::Ptr<Status>::adopt(new Status);
}

template <class Map>
void Status::entryIs(Map& map, Pavo::FieldId fieldId, typename Map::Entry const& entry) {
  using Key = typename Map::Key;
  Key const key = entry.key();
  map.entryIs(key, entry, [&](void const* prior) {
    publisher_.publishChangeRecursive(fieldId, &key, prior, &Key::isEq);
  });
}

template <class Map>
bool Status::entryDel(Map& map, Pavo::FieldId fieldId, typename Map::Key const& key) {
  using Key = typename Map::Key;
  Key const keyCopy = key;
  return map.entryDel(keyCopy, [&](void const* prior) {
    publisher_.publishChangeRecursive(fieldId, &keyCopy, prior, &Key::isEq);
  });
}

template <class Map>
bool Status::recordCountIsUnchecked(Map& map, Pavo::FieldId fieldId, typename Map::Key const& key,
                                    std::uint32_t count) {
  using Key = typename Map::Key;
  Key const keyCopy = key;
  bool const found = map.recordCountIsUnchecked(keyCopy, count);
  // The prior entry cannot be handed over: copying it may be what fails.
  if (found)
    publisher_.publishChangeRecursive(fieldId, &keyCopy, nullptr, &Key::isEq);
  return found;
}

void Status::prefixSegmentIs(PrefixSegment const& entry) {
  entryIs(prefixSegment_, kPrefixSegment, entry);
}
bool Status::prefixSegmentDel(Vantre::IpGenPrefix const& key) {
  return entryDel(prefixSegment_, kPrefixSegment, key);
}
bool Status::prefixSegmentRecordCountIsUnchecked(Vantre::IpGenPrefix const& key,
                                                 std::uint32_t count) {
  return recordCountIsUnchecked(prefixSegment_, kPrefixSegment, key, count);
}

void Status::prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo const& entry) {
  entryIs(prefixSegmentWithAlgo_, kPrefixSegmentWithAlgo, entry);
}
bool Status::prefixSegmentWithAlgoDel(Mpls::SegmentRouting::PrefixAlgoKey const& key) {
  return entryDel(prefixSegmentWithAlgo_, kPrefixSegmentWithAlgo, key);
}
bool Status::prefixSegmentWithAlgoRecordCountIsUnchecked(
    Mpls::SegmentRouting::PrefixAlgoKey const& key, std::uint32_t count) {
  return recordCountIsUnchecked(prefixSegmentWithAlgo_, kPrefixSegmentWithAlgo, key, count);
}

void Status::ipv4AdjacencySegmentIs(AdjacencySegment const& entry) {
  entryIs(ipv4AdjSegment_, kIpv4AdjacencySegment, entry);
}
bool Status::ipv4AdjacencySegmentDel(AdjacencySegmentKey const& key) {
  return entryDel(ipv4AdjSegment_, kIpv4AdjacencySegment, key);
}
bool Status::ipv4AdjacencySegmentRecordCountIsUnchecked(AdjacencySegmentKey const& key,
                                                        std::uint32_t count) {
  return recordCountIsUnchecked(ipv4AdjSegment_, kIpv4AdjacencySegment, key, count);
}

void Status::ipv6AdjacencySegmentIs(AdjacencySegment const& entry) {
  entryIs(ipv6AdjSegment_, kIpv6AdjacencySegment, entry);
}
bool Status::ipv6AdjacencySegmentDel(AdjacencySegmentKey const& key) {
  return entryDel(ipv6AdjSegment_, kIpv6AdjacencySegment, key);
}
bool Status::ipv6AdjacencySegmentRecordCountIsUnchecked(AdjacencySegmentKey const& key,
                                                        std::uint32_t count) {
  return recordCountIsUnchecked(ipv6AdjSegment_, kIpv6AdjacencySegment, key, count);
}

}  // namespace Kroma::SegmentRouting
