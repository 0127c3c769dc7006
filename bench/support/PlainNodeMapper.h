// Bench::PlainNodeMapper: the node-segment reverse map as a user would write
// it by hand over a plain table (Bench::PlainTable), for the plain sides of
// the end-to-end benchmark. Same job as the library's reverse mapper: per
// algorithm, per originating router, the prefixes whose segment qualifies
// (flag 0x04 set, 0x10 clear, the mapper's address family), each prefix
// under exactly one router, kept in step one changed key at a time; every
// effective change is told to an observer with the removed value (null for
// an addition), in the library's order: algorithm map, router, prefix on
// the way in, the reverse on the way out. It stores no empty router or
// algorithm entry.
//
// Start-up walks the tables in their own (hash) order and files the entry
// the walk hands over; a change looks its key up in the table.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "CountingAllocator.h"
#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Mpls/RouterId.h"
#include "Mpls/SegmentRouting/PrefixAlgoKey.h"
#include "PlainTable.h"
#include "Vantre/AddressFamily.h"
#include "Vantre/IpGenPrefix.h"

namespace Bench {

// A prefix segment as a user's table holds it.
struct PlainPrefixEntry {
  Mpls::RouterId originator;
  std::uint8_t flags = 0;
  std::vector<Kroma::SegmentRouting::PrefixSegmentRecord,
              Counting<Kroma::SegmentRouting::PrefixSegmentRecord>>
      records;
  bool operator==(PlainPrefixEntry const& o) const {
    return originator == o.originator && flags == o.flags && records.size() == o.records.size() &&
           std::memcmp(records.data(), o.records.data(),
                       records.size() * sizeof(Kroma::SegmentRouting::PrefixSegmentRecord)) == 0;
  }
};

template <class C>
class PlainNodeMapper {
 public:
  using Prefix = Vantre::IpGenPrefix;
  using Key = Mpls::SegmentRouting::PrefixAlgoKey;
  using Table = PlainTable<C, Prefix, PlainPrefixEntry>;
  using TableWithAlgo = PlainTable<C, Key, PlainPrefixEntry>;
  using Prefixes = typename C::template OrderedSet<Prefix>;
  using Routers = typename C::template HashMap<Mpls::RouterId, Prefixes>;
  using Algos = typename C::template OrderedMap<std::uint8_t, Routers>;

  // Told after each effective change; `prior` is the removed value, null for an addition.
  struct Observers {
    std::function<void(std::uint8_t algo, Routers const* prior)> algo;
    std::function<void(std::uint8_t algo, Mpls::RouterId const&, Prefixes const* prior)> router;
    std::function<void(std::uint8_t algo, Mpls::RouterId const&, Prefix const&, bool const* prior)>
        prefix;
  };

  static constexpr std::uint8_t kMap = 0x04;
  static constexpr std::uint8_t kDoNotMap = 0x10;

  // Builds the map from both tables, then follows them.
  PlainNodeMapper(Vantre::AddressFamily af, Table& table, TableWithAlgo& tableWithAlgo,
                  Observers observers)
      : af_(af), observers_(std::move(observers)) {
    table.forEach([this](Prefix const& p, PlainPrefixEntry const& e) { update(Key(p, 0), &e); });
    tableWithAlgo.forEach([this](Key const& k, PlainPrefixEntry const& e) { update(k, &e); });
    table.observe([this, &table](Prefix const& p) { update(Key(p, 0), table.find(p)); });
    tableWithAlgo.observe(
        [this, &tableWithAlgo](Key const& k) { update(k, tableWithAlgo.find(k)); });
  }
  PlainNodeMapper(PlainNodeMapper const&) = delete;
  PlainNodeMapper& operator=(PlainNodeMapper const&) = delete;

  Algos const& algos() const noexcept { return algos_; }
  std::size_t mapped() const noexcept { return originatorOf_.size(); }

 private:
  // `e` is the table's entry for `key`, null when there is none.
  void update(Key const& key, PlainPrefixEntry const* e) {
    Prefix const& p = key.prefix();
    if (p.af() != af_)
      return;
    bool const qualifies = e != nullptr && (e->flags & kMap) != 0 && (e->flags & kDoNotMap) == 0;
    auto const it = originatorOf_.find(key);
    if (it != originatorOf_.end()) {
      if (qualifies && it->second == e->originator)
        return;
      remove(key.algo(), it->second, p);
      if (!qualifies) {
        originatorOf_.erase(it);
        return;
      }
      it->second = e->originator;
    } else {
      if (!qualifies)
        return;
      originatorOf_.emplace(key, e->originator);
    }
    add(key.algo(), e->originator, p);
  }

  void add(std::uint8_t algo, Mpls::RouterId const& router, Prefix const& p) {
    auto const [a, newAlgo] = algos_.try_emplace(algo);
    if (newAlgo)
      observers_.algo(algo, nullptr);
    auto const [r, newRouter] = a->second.try_emplace(router);
    if (newRouter)
      observers_.router(algo, router, nullptr);
    if (r->second.insert(p).second)
      observers_.prefix(algo, router, p, nullptr);
  }

  void remove(std::uint8_t algo, Mpls::RouterId const& router, Prefix const& p) {
    auto const a = algos_.find(algo);
    auto const r = a->second.find(router);
    r->second.erase(p);
    bool const was = true;
    observers_.prefix(algo, router, p, &was);
    if (r->second.empty()) {
      Prefixes const gone = std::move(r->second);
      a->second.erase(r);
      observers_.router(algo, router, &gone);
    }
    if (a->second.empty()) {
      Routers const gone = std::move(a->second);
      algos_.erase(a);
      observers_.algo(algo, &gone);
    }
  }

  Vantre::AddressFamily const af_;
  Observers const observers_;
  typename C::template HashMap<Key, Mpls::RouterId> originatorOf_;
  Algos algos_;
};

}  // namespace Bench
