// Kroma: the collections of the shared-memory status tables.
//
//   Kroma::KromaMapBase      what every collection has: its name, the record
//                            of corruption reports, the fault switch
//   Kroma::KromaMap<K, E>    one collection: key K -> entry E, kept in key
//                            order; each entry is stored once, node-based
//   Kroma::IterHint          the caller's cursor for a walk
//   Kroma::Fault             the operation a test makes fail
//
// Readers (holding the table const) look up and walk:
//   E const& e = map.lookup(key);            // the default entry when absent
//   Kroma::IterHint hint;
//   for (bool more = map.firstKey(hint, k); more; more = map.nextKey(hint, k, k)) ...
// Every reading step may raise Pavo::CorruptionDetectedException, as a
// shared-memory read can; the reader hands msg() to doCorruptionDetected()
// of the collection and goes on with the default entry or ends the walk.
// Here doCorruptionDetected() records the report (count and last message)
// where the real table would repair the collection.
//
// Fault injection (for tests and tools): faultIs(op, n) lets n calls of op
// pass and makes call n + 1 raise Pavo::CorruptionDetectedException with
//   "<collection>: corruption detected in <op> (injected)"
// after which the fault is off again. Off, it costs each reading step one
// predictable branch.
//
// The entry type E provides a default constructor that builds the default
// entry (all-zero key, default info) and static isEq(void const*, void
// const*). The key type K provides an order (operator<, possibly from
// operator<=>). Writers (entryIs, entryDel, entryModify) belong to the
// table's owner, which publishes each change.
//
// Not thread-safe: one thread reads and writes, as for the notifications.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>

#include "Pavo/Exception.h"

namespace Kroma {

enum class Fault : std::uint8_t { none, lookup, firstKey, nextKey };

char const* faultName(Fault fault) noexcept;

class IterHint {
 public:
  IterHint() noexcept = default;

 private:
  template <class K, class E>
  friend class KromaMap;

  // The collection and its generation when the position was stored; the
  // position is used only while both still match.
  void const* owner_ = nullptr;
  std::uint64_t generation_ = 0;
  alignas(void*) unsigned char position_[2 * sizeof(void*)] = {};
};

class KromaMapBase {
 public:
  explicit KromaMapBase(char const* name) noexcept : name_(name) {}
  KromaMapBase(KromaMapBase const&) = delete;
  KromaMapBase& operator=(KromaMapBase const&) = delete;

  char const* name() const noexcept { return name_; }

  // A reader found corruption in this collection: records the report.
  void doCorruptionDetected(std::string const& msg) const;
  std::uint32_t corruptionReports() const noexcept { return corruptionReports_; }
  std::string const& lastCorruptionReport() const noexcept { return lastCorruptionReport_; }

  void faultIs(Fault op, unsigned afterCalls) noexcept {
    faultOp_ = op;
    faultCountdown_ = afterCalls;
  }
  void faultClear() noexcept { faultOp_ = Fault::none; }
  Fault fault() const noexcept { return faultOp_; }

 protected:
  ~KromaMapBase() = default;

  // The one branch a reading step pays while no fault is set.
  void faultCheck(Fault op) const {
    if (faultOp_ != Fault::none) [[unlikely]] {
      faultStep(op);
    }
  }

 private:
  void faultStep(Fault op) const;

  char const* name_;
  mutable std::uint32_t corruptionReports_ = 0;
  mutable std::string lastCorruptionReport_;
  // Reading steps are const but count down an armed fault.
  mutable Fault faultOp_ = Fault::none;
  mutable unsigned faultCountdown_ = 0;
};

template <class K, class E>
class KromaMap : public KromaMapBase {
  struct Less {
    bool operator()(K const& a, K const& b) const noexcept { return a < b; }
  };
  using Storage = std::map<K, E, Less>;
  using ConstIter = typename Storage::const_iterator;
  static_assert(std::is_trivially_copyable_v<ConstIter> &&
                    sizeof(ConstIter) <= sizeof(IterHint::position_),
                "a walk position fits the hint");

 public:
  using Key = K;
  using Entry = E;

  explicit KromaMap(char const* name) : KromaMapBase(name) {}

  // The stored entry, or the default entry when `key` is absent.
  E const& lookup(K const& key) const {
    faultCheck(Fault::lookup);
    auto it = entries_.find(key);
    return it == entries_.end() ? defaultEntry() : it->second;
  }
  E const& operator[](K const& key) const { return lookup(key); }

  // The smallest key, when there is one.
  bool firstKey(IterHint& hint, K& out) const {
    faultCheck(Fault::firstKey);
    return answer(hint, entries_.begin(), out);
  }
  // The smallest key strictly after `after`, when there is one. `after`
  // need not be present (it may have been removed since the last step).
  // `out` may be the same object as `after`.
  bool nextKey(IterHint& hint, K const& after, K& out) const {
    faultCheck(Fault::nextKey);
    if (hint.owner_ == this && hint.generation_ == generation_) {
      ConstIter at;
      std::memcpy(static_cast<void*>(&at), hint.position_, sizeof at);
      if (at != entries_.end() && !(at->first < after) && !(after < at->first)) {
        return answer(hint, std::next(at), out);
      }
    }
    return answer(hint, entries_.upper_bound(after), out);
  }

  std::size_t size() const noexcept { return entries_.size(); }
  bool has(K const& key) const { return entries_.count(key) != 0; }

  static E const& defaultEntry() {
    static E const entry{};
    return entry;
  }

  // Writers. Each calls `publish(prior)` after an effective change, while
  // the prior entry (null for a new key) is still alive.

  // Adds or replaces; an entry equal (E::isEq) to the stored one changes
  // nothing and publishes nothing. A copy that raises leaves the map as it
  // was.
  template <class Publish>
  void entryIs(K const& key, E const& entry, Publish&& publish) {
    auto it = entries_.find(key);
    if (it != entries_.end() && E::isEq(&it->second, &entry))
      return;
    Storage fresh;
    fresh.emplace(key, entry);
    if (it == entries_.end()) {
      entries_.insert(fresh.extract(fresh.begin()));
      ++generation_;
      publish(static_cast<E const*>(nullptr));
      return;
    }
    auto prior = entries_.extract(it);
    entries_.insert(fresh.extract(fresh.begin()));
    ++generation_;
    publish(static_cast<E const*>(&prior.mapped()));
  }
  // Removes; returns whether `key` was present.
  template <class Publish>
  bool entryDel(K const& key, Publish&& publish) {
    auto it = entries_.find(key);
    if (it == entries_.end())
      return false;
    auto prior = entries_.extract(it);
    ++generation_;
    publish(static_cast<E const*>(&prior.mapped()));
    return true;
  }
  // Changes the stored entry in place with fn(E&), bypassing the copy
  // bounds (the way to store corrupt entries); returns whether `key` was
  // present.
  template <class Fn>
  bool entryModify(K const& key, Fn&& fn) {
    auto it = entries_.find(key);
    if (it == entries_.end())
      return false;
    fn(it->second);
    return true;
  }

 private:
  bool answer(IterHint& hint, ConstIter at, K& out) const {
    if (at == entries_.end()) {
      hint.owner_ = nullptr;
      return false;
    }
    hint.owner_ = this;
    hint.generation_ = generation_;
    std::memcpy(hint.position_, static_cast<void const*>(&at), sizeof at);
    out = at->first;
    return true;
  }

  Storage entries_;
  // Counts insertions and removals, so a stored walk position is known
  // to be still valid.
  std::uint64_t generation_ = 0;
};

}  // namespace Kroma
