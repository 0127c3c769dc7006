// Creates a counted entity, subscribes to it, changes it and prints every
// notification as it is published.
#include <cstdio>
#include <map>
#include <string>

#include "Granule/Slab.h"
#include "Pavo/Node.h"
#include "Pavo/Ptr.h"
#include "Pavo/Publisher.h"

namespace {

// A notifying entity with one keyed attribute (field id 130).
class Inventory : public Pavo::Node, public Granule::SlabAllocated<Inventory> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Inventory"};
  static constexpr Pavo::FieldId kItem = 130;

  ~Inventory() override { nodeFlagSet(kNotificationActive, false); }
  Pavo::Publisher* publisher() const override { return &publisher_; }

  void itemIs(int key, std::string const& value) {
    auto it = items_.find(key);
    if (it != items_.end() && it->second == value)
      return;
    if (it == items_.end()) {
      items_.emplace(key, value);
      publisher_.publishChangeRecursive(kItem, &key, nullptr, &isEqInt);
      return;
    }
    std::string prior = std::exchange(it->second, value);
    publisher_.publishChangeRecursive(kItem, &key, &prior, &isEqInt);
  }
  void itemDel(int key) {
    auto it = items_.find(key);
    if (it == items_.end())
      return;
    std::string prior = std::move(it->second);
    items_.erase(it);
    publisher_.publishChangeRecursive(kItem, &key, &prior, &isEqInt);
  }

 private:
  static bool isEqInt(void const* a, void const* b) {
    return *static_cast<int const*>(a) == *static_cast<int const*>(b);
  }
  mutable Pavo::Publisher publisher_;
  std::map<int, std::string> items_;
};

void printChange(Pavo::Publisher*, Pavo::Subscriber*, Pavo::FieldId field, void const* key,
                 void const* prior) {
  auto const* p = static_cast<std::string const*>(prior);
  std::printf("field %u key %d prior %s\n", field, *static_cast<int const*>(key),
              p ? p->c_str() : "(none)");
}

}  // namespace

int main() {
  {
    auto inventory = Pavo::makePtr<Inventory>();
    Pavo::Subscriber printer{&printChange};
    inventory->publisher()->subscriberAdd(&printer, false);
    inventory->itemIs(1, "apple");
    inventory->itemIs(1, "apple");  // unchanged: nothing published
    inventory->itemIs(1, "pear");
    inventory->itemIs(2, "plum");
    inventory->itemDel(1);
    inventory->publisher()->subscriberRemove(&printer);
  }
  std::printf("live tracked objects: %llu\n",
              static_cast<unsigned long long>(Vek::AllocTrackTypeInfo::liveObjectsAll()));
  return 0;
}
