// Bench::PlainAdjMapper: the adjacency-segment side as a user would write it
// by hand over a plain table (Bench::PlainTable), for the plain sides of the
// adjacency end-to-end benchmark. Same job as the library's adjacency
// segment mapper, per protocol instance (0, or 1 and 2 for a key whose
// router id is an IS-IS system id):
//   lists  link -> the entries (isLocal, metric, SID) filed on it, ordered;
//   links  key -> the links it stands for;
// filed from the records whose protocol-instance byte is the instance, and
// nothing for a key whose records name different neighbours. An entry that
// several keys file on one link stays while any of them still files it (the
// list counts the keys). It keeps what each key filed, so a change touches
// only what differs. Every effective change of a link's list or a key's
// links is told to an observer with the prior value (null for a new link or
// key); no link with an empty list and no key without links is stored.
//
// Start-up walks the table in its own (hash) order and files the records the
// walk hands over; a change looks its key up in the table.
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "CountingAllocator.h"
#include "Cspf/IgpRouterId.h"
#include "Cspf/LinkKey.h"
#include "Kroma/SegmentRouting/AdjacencySegment.h"
#include "Mpls/SegmentRouting/SegmentIdentifier.h"
#include "PlainTable.h"

namespace Bench {

// One adjacency segment on a link, in the library's order: not local before
// local, then metric, then SID.
struct PlainAdjEntry {
  bool isLocal = false;
  std::uint32_t metric = 0;
  Mpls::SegmentRouting::SegmentIdentifier sid;
  friend bool operator==(PlainAdjEntry const&, PlainAdjEntry const&) = default;
  friend std::strong_ordering operator<=>(PlainAdjEntry const& a, PlainAdjEntry const& b) {
    if (auto const c = a.isLocal <=> b.isLocal; c != 0)
      return c;
    if (auto const c = a.metric <=> b.metric; c != 0)
      return c;
    return a.sid <=> b.sid;
  }
};

template <class C>
class PlainAdjMapper {
 public:
  using Key = Kroma::SegmentRouting::AdjacencySegmentKey;
  using Record = Kroma::SegmentRouting::AdjacencySegmentNeighbor;
  using Records = std::vector<Record, Counting<Record>>;
  using Table = PlainTable<C, Key, Records>;
  using Entry = PlainAdjEntry;
  // Each entry with the number of keys that file it on the link.
  using List = typename C::template OrderedMap<Entry, std::uint32_t>;
  using Links = typename C::template OrderedSet<Cspf::LinkKey>;
  using Member = std::pair<Cspf::LinkKey, Entry>;
  using Members = std::vector<Member, Counting<Member>>;
  struct Filed {
    Links links;
    Members members;  // distinct (link, entry) pairs
  };
  struct PerProto {
    typename C::template HashMap<Cspf::LinkKey, List> lists;
    typename C::template HashMap<Key, Filed> keys;
  };
  // Told after each effective change; `prior` is the value before it, null
  // for a link or key that was not there.
  struct Observers {
    std::function<void(unsigned short proto, Cspf::LinkKey const&, List const* prior)> list;
    std::function<void(unsigned short proto, Key const&, Links const* prior)> links;
  };
  static constexpr unsigned short kProtos = 3;

  PlainAdjMapper(Table& table, Observers observers) : observers_(std::move(observers)) {
    table.forEach([this](Key const& k, Records const& r) { update(k, &r); });
    table.observe([this, &table](Key const& k) { update(k, table.find(k)); });
  }
  PlainAdjMapper(PlainAdjMapper const&) = delete;
  PlainAdjMapper& operator=(PlainAdjMapper const&) = delete;

  PerProto const& proto(unsigned short p) const { return protos_[p]; }

  // The link key a record stands for: its description, completed with the
  // neighbour's system id when the far end is named by it.
  static Cspf::LinkKey linkOf(Record const& r) {
    Cspf::IgpRouterId last(r.link.vertexKind == Cspf::LinkDescription::kKindRemoteBySystemId
                               ? Cspf::VertexIdentifierBase(r.neighbor.isisSystemId())
                               : Cspf::VertexIdentifierBase());
    last.handleInitialized();
    return Cspf::LinkKey(r.link, last);
  }

 private:
  static constexpr std::uint32_t kIsisRouterId = 3;

  void update(Key const& key, Records const* records) {
    if (key.routerId().af() == kIsisRouterId) {
      file(1, key, records);
      file(2, key, records);
    } else {
      file(0, key, records);
    }
  }

  static bool sameNeighbor(Records const& records) {
    return std::all_of(records.begin(), records.end(),
                       [&](Record const& r) { return r.neighbor == records.front().neighbor; });
  }
  static bool has(Members const& in, Member const& m) {
    return std::find(in.begin(), in.end(), m) != in.end();
  }
  static bool hasLink(Members const& in, Cspf::LinkKey const& link) {
    return std::any_of(in.begin(), in.end(), [&](Member const& m) { return m.first == link; });
  }
  static bool sameEntries(List const& a, List const& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](auto const& x, auto const& y) { return x.first == y.first; });
  }

  void file(unsigned short p, Key const& key, Records const* records) {
    PerProto& m = protos_[p];
    now_.clear();
    if (records != nullptr && sameNeighbor(*records)) {
      for (Record const& r : *records) {
        if (r.protoInstance != p)
          continue;
        Member const member{linkOf(r), Entry{key.sidFlag() != 0, r.metric, key.sid()}};
        if (!has(now_, member))
          now_.push_back(member);
      }
    }
    auto const f = m.keys.find(key);
    Members const& before = f == m.keys.end() ? kNone : f->second.members;
    if (before.size() == now_.size() &&
        std::all_of(now_.begin(), now_.end(), [&](Member const& x) { return has(before, x); }))
      return;

    touched_.clear();
    for (Member const& x : before) {
      if (!has(now_, x))
        takeOut(m, x);
    }
    for (Member const& x : now_) {
      if (!has(before, x))
        putIn(m, x);
    }
    for (auto const& [link, prior] : touched_) {
      auto const it = m.lists.find(link);
      if (it == m.lists.end() ? !prior : prior && sameEntries(*prior, it->second))
        continue;
      observers_.list(p, link, prior ? &*prior : nullptr);
    }

    if (now_.empty()) {
      Links const gone = std::move(f->second.links);
      m.keys.erase(f);
      observers_.links(p, key, &gone);
      return;
    }
    bool const sameLinks = std::all_of(now_.begin(), now_.end(),
                                       [&](Member const& x) { return hasLink(before, x.first); }) &&
                           std::all_of(before.begin(), before.end(),
                                       [&](Member const& x) { return hasLink(now_, x.first); });
    Links links;
    if (!sameLinks) {
      for (Member const& x : now_)
        links.insert(x.first);
    }
    if (f == m.keys.end()) {
      m.keys.emplace(key, Filed{std::move(links), now_});
      observers_.links(p, key, nullptr);
      return;
    }
    f->second.members.assign(now_.begin(), now_.end());
    if (!sameLinks) {
      Links const gone = std::exchange(f->second.links, std::move(links));
      observers_.links(p, key, &gone);
    }
  }

  // Keeps the list of `link` as it was before this change, once per change.
  void remember(Cspf::LinkKey const& link, List const* list) {
    for (auto const& [l, prior] : touched_) {
      if (l == link)
        return;
    }
    touched_.emplace_back(link, list ? std::optional<List>(*list) : std::nullopt);
  }
  void takeOut(PerProto& m, Member const& x) {
    auto const l = m.lists.find(x.first);
    auto const e = l->second.find(x.second);
    if (--e->second != 0)
      return;
    remember(x.first, &l->second);
    l->second.erase(e);
    if (l->second.empty())
      m.lists.erase(l);
  }
  void putIn(PerProto& m, Member const& x) {
    auto l = m.lists.find(x.first);
    if (l == m.lists.end()) {
      remember(x.first, nullptr);
      m.lists[x.first].emplace(x.second, 1);
      return;
    }
    if (auto const e = l->second.find(x.second); e != l->second.end()) {
      ++e->second;
      return;
    }
    remember(x.first, &l->second);
    l->second.emplace(x.second, 1);
  }

  static inline Members const kNone;
  Observers const observers_;
  PerProto protos_[kProtos];
  Members now_;                                                         // scratch of one change
  std::vector<std::pair<Cspf::LinkKey, std::optional<List>>> touched_;  // scratch of one change
};

}  // namespace Bench
