#include "Granule/AllocTrackSnapshot.h"

#include "Granule/AllocTrack.h"

namespace Vek {

AllocTrackSnapshot::AllocTrackSnapshot() {
  AllocTrackTypeInfo::forEach([this](AllocTrackTypeInfo const& t) {
    Live& live = live_[t.typeName()];
    live.objects += t.liveObjects();
    live.bytes += t.liveBytes();
  });
}

std::vector<AllocTrackSnapshot::Change> AllocTrackSnapshot::changesSince(
    AllocTrackSnapshot const& before) const {
  std::vector<Change> out;
  auto const lookup = [](std::map<std::string, Live> const& m, std::string const& name) {
    auto const it = m.find(name);
    return it == m.end() ? Live{} : it->second;
  };
  for (auto const& [name, was] : before.live_) {
    Live const now = lookup(live_, name);
    if (now != was)
      out.push_back({name, was, now});
  }
  for (auto const& [name, now] : live_) {
    if (!before.live_.contains(name) && now != Live{})
      out.push_back({name, {}, now});
  }
  return out;
}

std::vector<AllocTrackSnapshot::Change> AllocTrackSnapshot::growthSince(
    AllocTrackSnapshot const& before) const {
  std::vector<Change> out = changesSince(before);
  std::erase_if(out, [](Change const& c) {
    return c.after.objects <= c.before.objects && c.after.bytes <= c.before.bytes;
  });
  return out;
}

std::string AllocTrackSnapshot::text(std::vector<Change> const& changes) {
  std::string out;
  for (Change const& c : changes)
    out += (out.empty() ? "" : "; ") + c.tracker + ": " + std::to_string(c.after.objects) +
           " objects / " + std::to_string(c.after.bytes) + " bytes, " +
           std::to_string(c.before.objects) + " / " + std::to_string(c.before.bytes) + " before";
  return out;
}

}  // namespace Vek
