#include "Granule/AllocTrack.h"

#include <mutex>

namespace Vek {

namespace {

struct Registry {
  std::mutex mutex;
  AllocTrackTypeInfo* head = nullptr;
  AllocTrackTypeInfo* tail = nullptr;
};

// Never destroyed: trackers of other shared objects may unregister late.
Registry& registry() {
  static Registry* r = new Registry;
  return *r;
}

}  // namespace

AllocTrackTypeInfo::AllocTrackTypeInfo(char const* typeName) noexcept : typeName_(typeName) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  (r.tail ? r.tail->next_ : r.head) = this;
  r.tail = this;
}

AllocTrackTypeInfo::~AllocTrackTypeInfo() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  AllocTrackTypeInfo* prev = nullptr;
  for (AllocTrackTypeInfo* t = r.head; t != nullptr; prev = t, t = t->next_) {
    if (t != this)
      continue;
    (prev ? prev->next_ : r.head) = next_;
    if (r.tail == this)
      r.tail = prev;
    break;
  }
}

void AllocTrackTypeInfo::forEach(std::function<void(AllocTrackTypeInfo const&)> const& fn) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  for (AllocTrackTypeInfo const* t = r.head; t != nullptr; t = t->next_)
    fn(*t);
}

std::uint64_t AllocTrackTypeInfo::liveObjectsAll() {
  std::uint64_t sum = 0;
  forEach([&sum](AllocTrackTypeInfo const& t) { sum += t.liveObjects(); });
  return sum;
}

}  // namespace Vek
