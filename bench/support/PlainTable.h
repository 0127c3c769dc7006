// Bench::PlainTable: the status table a user would write instead of ours, for
// the plain side of the end-to-end benchmarks: a std::map from key to entry
// (its memory counted through Bench::Counting) that tells std::function
// observers about each effective change: (key, the stored entry) after a set
// that changed something, (key, null) after an erase of a present key.
#pragma once

#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "CountingAllocator.h"

namespace Bench {

template <class K, class Entry>
class PlainTable {
 public:
  using Observer = std::function<void(K const&, Entry const*)>;
  void observe(Observer fn) { observers_.push_back(std::move(fn)); }
  void set(K const& key, Entry const& e) {
    auto [it, inserted] = entries_.try_emplace(key, e);
    if (!inserted) {
      if (it->second == e)
        return;
      it->second = e;
    }
    for (auto const& fn : observers_)
      fn(key, &it->second);
  }
  void erase(K const& key) {
    if (entries_.erase(key) == 0)
      return;
    for (auto const& fn : observers_)
      fn(key, nullptr);
  }
  template <class Fn>
  void forEach(Fn fn) const {
    for (auto const& [k, e] : entries_)
      fn(k, &e);
  }

 private:
  std::map<K, Entry, std::less<K>, Counting<std::pair<K const, Entry>>> entries_;
  std::vector<Observer> observers_;
};

}  // namespace Bench
