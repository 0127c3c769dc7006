// Vek::AllocTrackSnapshot: every allocation tracker's live objects and bytes
// at one moment, and which trackers differ between two such moments, by
// name, so that a leak report says what leaked:
//
//   Vek::AllocTrackSnapshot const before;
//   ... create, use, destroy ...
//   auto const changed = Vek::AllocTrackSnapshot().changesSince(before);
//   if (!changed.empty())
//     fail(Vek::AllocTrackSnapshot::text(changed));
//
// Taking one allocates (names and a map), never through a tracker.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Vek {

class AllocTrackSnapshot {
 public:
  struct Live {
    std::uint64_t objects = 0;
    std::uint64_t bytes = 0;
    bool operator==(Live const&) const = default;
  };
  // A tracker whose counts differ between two snapshots; one missing from a
  // snapshot (registered later, or gone) counts zero there.
  struct Change {
    std::string tracker;
    Live before;
    Live after;
    bool operator==(Change const&) const = default;
  };

  // Every registered tracker now.
  AllocTrackSnapshot();

  // Keyed by tracker name; trackers sharing a name are summed.
  std::map<std::string, Live> const& trackers() const noexcept { return live_; }
  // The trackers whose live objects or bytes differ from `before`'s, by name.
  std::vector<Change> changesSince(AllocTrackSnapshot const& before) const;
  // Those of them that hold more objects or more bytes than in `before`.
  std::vector<Change> growthSince(AllocTrackSnapshot const& before) const;

  // "NAME: 3 objects / 96 bytes, 2 / 64 before", the changes joined by "; ".
  static std::string text(std::vector<Change> const& changes);

 private:
  std::map<std::string, Live> live_;
};

}  // namespace Vek
