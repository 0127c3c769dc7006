// Bench::PlainTable: the status table a user would write instead of ours,
// for the plain side of the end-to-end benchmarks: a hash map from key to
// entry (the container policy's HashMap, its memory counted) that tells
// std::function observers the key of each effective change. Storing an equal
// entry and erasing an absent key change nothing and tell nobody, as in our
// table. An observer looks the key up itself (find), as our mappers do.
//
//   Bench::PlainTable<Bench::StdContainers, Key, Entry> table;
//   table.observe([&](Key const& k) { use(table.find(k)); });  // null: gone
//   table.set(k, e);  table.erase(k);
#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace Bench {

template <class C, class K, class Entry>
class PlainTable {
 public:
  using Observer = std::function<void(K const&)>;

  void observe(Observer fn) { observers_.push_back(std::move(fn)); }

  void set(K const& key, Entry const& e) {
    auto [it, inserted] = entries_.try_emplace(key, e);
    if (!inserted) {
      if (it->second == e)
        return;
      it->second = e;
    }
    publish(key);
  }
  void erase(K const& key) {
    if (entries_.erase(key) != 0)
      publish(key);
  }

  Entry const* find(K const& key) const {
    auto const it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
  }
  // Every entry, in the map's own order.
  template <class Fn>
  void forEach(Fn&& fn) const {
    for (auto const& [k, e] : entries_)
      fn(k, e);
  }
  std::size_t size() const noexcept { return entries_.size(); }

 private:
  void publish(K const& key) const {
    for (Observer const& fn : observers_)
      fn(key);
  }

  typename C::template HashMap<K, Entry> entries_;
  std::vector<Observer> observers_;
};

}  // namespace Bench
