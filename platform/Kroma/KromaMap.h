// Kroma: the collections of the shared-memory status tables.
//
//   Kroma::KromaMapBase      what every collection has: its name, the record
//                            of corruption reports, the fault switch
//   Kroma::KromaMap<K, E>    one collection: key K -> entry E, stored
//                            compactly (Kroma::EntryLayout<E>): one node per
//                            entry holding its key, its fixed head and only
//                            the records in use
//   Kroma::IterHint          the caller's cursor for a walk
//   Kroma::Fault             the operation a test makes fail
//
// Readers (holding the table const) look up and walk:
//   E const e = map.lookup(key);  // a full value, copied by its count;
//                                 // the default when absent
//   Kroma::IterHint hint;
//   K k;
//   for (bool more = map.firstKey(hint, k); more; more = map.nextKey(hint, k, k))
//     use(k);
// Readers on a hot path use the stored entry itself and build the full
// value once, where they need it (entryOf<Other>(*s, otherKey) builds
// another value type from the same stored entry):
//   Map::Stored const* s = map.find(key);  // null when absent
//   for (Map::Stored const* w = map.first(hint); w; w = map.next(hint, w->key()))
//     use(Map::entryOf(*w));
// A look-up (lookup, find) and the reading of a walked entry (read) are the
// same reading step for fault injection (Fault::lookup).
//
// Storage and cost: a node per entry, allocated to fit the records in use
// (Granule slab, or the heap for large ones), reached through two indexes: a
// hash index (top bits of K::hash pick the bucket) for point look-ups and
// writes, and an array of (key, node) slots in key order for walks, so that a
// walk reads the slots in order and each node once. A new key's slot is
// appended after the ordered ones; the first walk step after such writes
// sorts them and merges them in (into a fresh array when they fall among the
// ordered ones), so filling the table costs no ordered insertion and a walk
// over an unchanged table no search; a walk step after keys added among the
// ordered ones costs a pass over the slots. The slot array has a slot per
// bucket and grows with the buckets.
// Replacing an entry updates its node in place; it allocates only when the
// new record count exceeds what the node holds (and the node keeps that room).
// A removed entry keeps its node, marked absent, in both indexes, so that the
// key coming back (a withdrawn route returning) takes the node again without
// an allocation or a new slot; readers never see absent nodes. Absent nodes
// are let go all at once when they outnumber half the entries present, so
// they hold at most a third of the nodes, and memoryBytes() counts them. A
// look-up allocates nothing; a walk step is the next slot (past absent
// nodes) while no key has been added or let go since the previous step, else
// a binary search of the slots. Of the reading steps only a walk step that
// merges new keys in among the ordered ones allocates.
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
// entry (all-zero key, default info) and an EntryLayout. The key type K
// provides an order (operator<, possibly from operator<=>), equality and
// hash(seed) (or is an integer). Writers (entryIs, entryDel,
// recordCountIsUnchecked) belong to the table's owner, which publishes each
// change with the prior entry, built as a full value.
//
// Not thread-safe: one thread reads and writes, as for the notifications.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/EntryLayout.h"
#include "Pavo/Exception.h"
#include "Vek/Errors.h"
#include "Vek/Hash.h"
#include "Vek/KeyOps.h"

namespace Kroma {

enum class Fault : std::uint8_t { none, lookup, firstKey, nextKey };

char const* faultName(Fault fault) noexcept;

class IterHint {
 public:
  IterHint() noexcept = default;

 private:
  template <class K, class E>
  friend class KromaMap;

  // The collection and its generation when the position (a slot of its
  // ordered index) was stored; the position is used only while both still
  // match.
  void const* owner_ = nullptr;
  std::uint64_t generation_ = 0;
  void const* position_ = nullptr;
};

class KromaMapBase {
 public:
  // Every stored node of every collection, for leak checks.
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Kroma::KromaMap::Stored"};

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
 public:
  using Key = K;
  using Entry = E;
  using Layout = EntryLayout<E>;
  using Head = typename Layout::Head;
  using Record = typename Layout::Record;
  static constexpr std::uint32_t kBound = Layout::kBound;
  static_assert(std::is_trivially_copyable_v<K> && std::is_trivially_copyable_v<Head> &&
                std::is_trivially_copyable_v<Record>);

  // One stored entry: the hash link, the key, the head, the count as stored
  // and the records (inline after the node, or in a block of their own once
  // the entry outgrew the node). The collection owns it through its slot.
  class Stored {
   public:
    K const& key() const noexcept { return key_; }
    Head const& head() const noexcept { return head_; }
    // The count as stored; above kBound only for a deliberately corrupt entry.
    std::uint32_t count() const noexcept { return count_; }
    Record const* records() const noexcept { return records_; }
    // Bytes this entry occupies (node and record block, slab-rounded).
    std::size_t bytes() const noexcept {
      return roundUp(nodeBytes(inlineCapacity_)) +
             (records_ != inlineRecords() ? roundUp(std::size_t{capacity_} * sizeof(Record)) : 0);
    }

   private:
    friend class KromaMap;

    Stored(K const& key, std::uint32_t hash, std::uint16_t capacity) noexcept
        : hash_(hash), capacity_(capacity), inlineCapacity_(capacity), key_(key) {
      records_ = inlineRecords();
    }
    ~Stored() {
      if (records_ != inlineRecords())
        Granule::slabFree(records_, std::size_t{capacity_} * sizeof(Record));
    }
    Stored(Stored const&) = delete;
    Stored& operator=(Stored const&) = delete;

    static std::size_t nodeBytes(std::uint32_t capacity) noexcept {
      return recordsOffset() + std::size_t{capacity} * sizeof(Record);
    }
    static std::size_t recordsOffset() noexcept {
      return (sizeof(Stored) + alignof(Record) - 1) / alignof(Record) * alignof(Record);
    }
    static std::size_t roundUp(std::size_t bytes) noexcept {
      return bytes > Granule::kMaxSlabSize ? bytes : (bytes + 15) / 16 * 16;
    }
    Record* inlineRecords() const noexcept {
      return reinterpret_cast<Record*>(
          const_cast<char*>(reinterpret_cast<char const*>(this) + recordsOffset()));
    }

    static Stored* create(K const& key, std::uint32_t hash, std::uint32_t capacity) {
      std::size_t const bytes = nodeBytes(capacity);
      void* mem = Granule::slabAlloc(bytes);
      memAllocationTracker_.allocated(bytes);
      // capacity <= kBound <= 0xFFFF: the caller checked the count.
      return new (mem) Stored(key, hash, static_cast<std::uint16_t>(capacity));
    }
    // Its slot went: destroy and give the memory back.
    static void destroy(Stored* s) noexcept {
      std::size_t const bytes = nodeBytes(s->inlineCapacity_);
      s->~Stored();
      memAllocationTracker_.freed(bytes);
      Granule::slabFree(s, bytes);
    }

    // Makes room for `count` records (count <= kBound); old records are not
    // kept. Allocates only when the entry outgrows what it holds.
    void reserve(std::uint32_t count) {
      if (count <= capacity_)
        return;
      auto* block = static_cast<Record*>(Granule::slabAlloc(std::size_t{count} * sizeof(Record)));
      if (records_ != inlineRecords())
        Granule::slabFree(records_, std::size_t{capacity_} * sizeof(Record));
      records_ = block;
      capacity_ = static_cast<std::uint16_t>(count);  // count <= kBound <= 0xFFFF
    }
    void assign(Head const& head, Record const* records, std::uint32_t count) {
      reserve(count);
      head_ = head;
      if (count != 0)
        std::memcpy(static_cast<void*>(records_), records, std::size_t{count} * sizeof(Record));
      count_ = count;
    }
    bool sameAs(Head const& head, Record const* records, std::uint32_t count) const noexcept {
      return count == count_ && Layout::headEq(head, head_) &&
             (count == 0 ||
              std::memcmp(records, records_, std::size_t{count} * sizeof(Record)) == 0);
    }

    Stored* hashNext_ = nullptr;  // next in the bucket chain (absent nodes too)
    std::uint32_t hash_;          // full hash of key_
    std::uint16_t capacity_;      // records that fit at records_
    std::uint16_t inlineCapacity_;
    bool absent_ = false;  // removed; kept for the key's return
    Record* records_;
    K const key_;
    Head head_{};
    std::uint32_t count_ = 0;
  };
  static_assert(kBound <= 0xFFFF, "capacities are 16-bit");

 private:
  // A slot of the ordered index: the key beside its node, so that searching
  // and merging read the slots alone.
  struct Slot {
    K key;
    Stored* node;
  };

 public:
  // Bytes each bucket brings: its chain head and its ordered slot.
  static constexpr std::size_t kBytesPerBucket = sizeof(Stored*) + sizeof(Slot);

  explicit KromaMap(char const* name) : KromaMapBase(name) {}
  ~KromaMap() {
    for (Slot const *at = slots_, *end = slots_ + slotCount_; at != end; ++at)
      Stored::destroy(at->node);
    ::operator delete(buckets_);
    ::operator delete(slots_);
  }

  // --- readers -------------------------------------------------------------

  // The stored entry as a full value, copied by its count, or the default
  // entry when `key` is absent. A count over kBound raises the range error.
  E lookup(K const& key) const {
    faultCheck(Fault::lookup);
    Stored const* s = findStored(key, hashOf(key));
    return s != nullptr ? entryOf(*s) : defaultEntry();
  }

  // The stored entry, or null when absent: the look-up's reading step
  // without the copy.
  Stored const* find(K const& key) const {
    faultCheck(Fault::lookup);
    return findStored(key, hashOf(key));
  }
  // The reading step for an entry a walk stands on: fails as a look-up would.
  Stored const& read(Stored const& at) const {
    faultCheck(Fault::lookup);
    return at;
  }

  // The full value of a stored entry, copied by its count (the range error
  // for a corrupt count). `Out` may be another entry type of the same
  // layout, built under `key` (prefix segments read as
  // PrefixSegmentWithAlgo).
  static E entryOf(Stored const& s) { return Layout::make(s.key_, s.head_, s.records_, s.count_); }
  template <class Out, class OutKey>
  static Out entryOf(Stored const& s, OutKey const& key) {
    static_assert(std::is_same_v<typename EntryLayout<Out>::Head, Head> &&
                  std::is_same_v<typename EntryLayout<Out>::Record, Record>);
    return EntryLayout<Out>::make(key, s.head_, s.records_, s.count_);
  }

  // Walks in key order. first(): the smallest entry; next(): the first entry
  // with a key strictly after `after` (which need not be present any more).
  Stored const* first(IterHint& hint) const {
    faultCheck(Fault::firstKey);
    ordered();
    return answer(hint, presentFrom(slots_));
  }
  Stored const* next(IterHint& hint, K const& after) const {
    faultCheck(Fault::nextKey);
    ordered();
    if (hint.owner_ == this && hint.generation_ == generation_) {
      auto const* at = static_cast<Slot const*>(hint.position_);
      if (Vek::DefaultKeyOps<K>::isEq(at->key, after))
        return answer(hint, presentFrom(at + 1));
    }
    return answer(hint, presentFrom(upperBound(after)));
  }

  // The smallest key, when there is one.
  bool firstKey(IterHint& hint, K& out) const { return keyOf(first(hint), out); }
  // The smallest key strictly after `after`, when there is one. `after`
  // need not be present (it may have been removed since the last step).
  // `out` may be the same object as `after`.
  bool nextKey(IterHint& hint, K const& after, K& out) const {
    return keyOf(next(hint, after), out);
  }

  // Entries present (absent nodes not counted).
  std::size_t size() const noexcept { return size_; }
  bool contains(K const& key) const { return findStored(key, hashOf(key)) != nullptr; }
  // Bytes held: every node (absent ones too) and record block
  // (slab-rounded), the buckets and the ordered slots (one per bucket).
  std::size_t memoryBytes() const noexcept { return bytes_ + bucketCount() * kBytesPerBucket; }
  std::size_t bucketCount() const noexcept {
    return buckets_ != nullptr ? std::size_t{1} << (32 - shift_) : 0;
  }

  static E const& defaultEntry() {
    static E const entry{};
    return entry;
  }

  // --- writers ---------------------------------------------------------------
  // Each calls `publish(prior)` after an effective change, with the prior
  // entry as a full value (null for a new key).

  // Adds or replaces; an entry equal to the stored one changes nothing and
  // publishes nothing. A replacement updates the stored node in place. An
  // entry whose count exceeds kBound raises the range error and leaves the
  // map as it was.
  template <class Publish>
  void entryIs(K const& key, E const& entry, Publish&& publish) {
    std::uint32_t const count = Layout::count(entry);
    if (count > kBound)
      Vek::PodArrayImpl::throwRangeException(kBound, count);
    auto const& head = Layout::head(entry);
    Record const* records = Layout::records(entry);
    std::uint32_t const hash = hashOf(key);
    if (Stored* s = findNode(key, hash)) {
      if (s->absent_) {
        std::size_t const before = s->bytes();
        s->assign(head, records, count);
        bytes_ += s->bytes() - before;
        s->absent_ = false;
        --absent_;
        ++size_;
        publish(static_cast<E const*>(nullptr));
        return;
      }
      if (s->sameAs(head, records, count))
        return;
      E const prior = priorOf(*s);
      std::size_t const before = s->bytes();
      s->assign(head, records, count);
      bytes_ += s->bytes() - before;
      publish(static_cast<E const*>(&prior));
      return;
    }
    if (buckets_ == nullptr || slotCount_ >= bucketCount())
      grow();
    Stored* s = Stored::create(key, hash, count);
    s->assign(head, records, count);
    link(s);
    publish(static_cast<E const*>(nullptr));
  }
  // Removes; returns whether `key` was present.
  template <class Publish>
  bool entryDel(K const& key, Publish&& publish) {
    std::uint32_t const hash = hashOf(key);
    Stored* s = findStored(key, hash);
    if (s == nullptr)
      return false;
    E const prior = priorOf(*s);
    s->absent_ = true;
    --size_;
    if (++absent_ > size_ / 2 + kAbsentSlack)
      letAbsentGo();
    publish(static_cast<E const*>(&prior));
    return true;
  }
  // Overwrites the stored count without the bound check (the way to store
  // corrupt entries); a count within the bound that exceeds the records held
  // adds zero records. Returns whether `key` was present.
  bool recordCountIsUnchecked(K const& key, std::uint32_t count) {
    Stored* s = findStored(key, hashOf(key));
    if (s == nullptr)
      return false;
    // Records held: after a count over the bound, fewer than the count says.
    std::uint32_t const have = std::min<std::uint32_t>(s->count_, s->capacity_);
    if (count <= kBound && count > have) {
      std::size_t const before = s->bytes();
      if (count > s->capacity_) {
        auto* block = static_cast<Record*>(Granule::slabAlloc(std::size_t{count} * sizeof(Record)));
        std::memcpy(static_cast<void*>(block), s->records_, std::size_t{have} * sizeof(Record));
        if (s->records_ != s->inlineRecords())
          Granule::slabFree(s->records_, std::size_t{s->capacity_} * sizeof(Record));
        s->records_ = block;
        s->capacity_ = static_cast<std::uint16_t>(count);
      }
      std::memset(static_cast<void*>(s->records_ + have), 0,
                  std::size_t{count - have} * sizeof(Record));
      bytes_ += s->bytes() - before;
    }
    s->count_ = count;
    return true;
  }

 private:
  static constexpr unsigned kInitialShift = 29;  // 8 buckets
  // Absent nodes a small collection keeps whatever its size.
  static constexpr std::size_t kAbsentSlack = 8;

  static std::uint32_t hashOf(K const& key) noexcept {
    if constexpr (std::is_integral_v<K>) {
      return Vek::hashInteger(static_cast<std::uint64_t>(key), 0x4b524f4du);
    } else {
      return key.hash(Vek::HashHelper::hashSeed32() ^ 0x4b524f4du);
    }
  }
  // Slots a walk step reads ahead of the one it hands over.
  static constexpr std::size_t kReadAhead = 4;

  // The node of `key`, present or absent.
  Stored* findNode(K const& key, std::uint32_t hash) const noexcept {
    if (buckets_ == nullptr)
      return nullptr;
    for (Stored* s = buckets_[hash >> shift_]; s != nullptr; s = s->hashNext_) {
      if (s->hash_ == hash && Vek::DefaultKeyOps<K>::isEq(s->key_, key))
        return s;
    }
    return nullptr;
  }
  Stored* findStored(K const& key, std::uint32_t hash) const noexcept {
    Stored* const s = findNode(key, hash);
    return s != nullptr && !s->absent_ ? s : nullptr;
  }
  // The first slot at or after `at` whose node is present, or null. The
  // node a few slots on is fetched meanwhile: the walk reads it soon.
  Slot const* presentFrom(Slot const* at) const noexcept {
    Slot const* const end = slots_ + slotCount_;
    for (; at != end; ++at) {
      if (end - at > static_cast<std::ptrdiff_t>(kReadAhead))
        __builtin_prefetch(at[kReadAhead].node);
      if (!at->node->absent_)
        return at;
    }
    return nullptr;
  }

  // The prior entry handed to a publication: a full value, also for a corrupt
  // count (kept as it is, so that a subscriber's copy raises).
  static E priorOf(Stored const& s) {
    if (s.count_ <= kBound)
      return entryOf(s);
    return Layout::makeUnchecked(s.key_, s.head_, s.records_,
                                 std::min<std::uint32_t>(s.capacity_, kBound), s.count_);
  }

  // Links a new node into the hash index and appends its slot after the
  // ordered ones (the next walk step merges it in); grow() made room.
  void link(Stored* s) noexcept {
    Stored*& head = buckets_[s->hash_ >> shift_];
    s->hashNext_ = head;
    head = s;
    slots_[slotCount_++] = Slot{s->key_, s};
    ++size_;
    ++generation_;
    bytes_ += s->bytes();
  }
  // Takes every absent node out of both indexes and frees it: one pass over
  // the slots, closing the gaps in place (the ordered ones stay ordered),
  // paid for by the removals that made them.
  void letAbsentGo() noexcept {
    std::size_t kept = 0;
    std::size_t keptOrdered = 0;
    for (std::size_t i = 0; i < slotCount_; ++i) {
      Stored* const s = slots_[i].node;
      if (!s->absent_) {
        slots_[kept++] = slots_[i];
        keptOrdered += i < orderedCount_;
        continue;
      }
      Stored** slot = &buckets_[s->hash_ >> shift_];
      while (*slot != s)
        slot = &(*slot)->hashNext_;
      *slot = s->hashNext_;
      bytes_ -= s->bytes();
      Stored::destroy(s);
    }
    slotCount_ = kept;
    orderedCount_ = keptOrdered;
    absent_ = 0;
    ++generation_;
  }
  // Doubles the buckets and the slots (new arrays; the slots keep their order).
  void grow() {
    unsigned const shift = buckets_ == nullptr ? kInitialShift : shift_ - 1;
    std::size_t const count = std::size_t{1} << (32 - shift);
    auto** fresh = static_cast<Stored**>(::operator new(count * sizeof(Stored*)));
    Slot* freshSlots;
    try {
      freshSlots = allocateSlots(count);
    } catch (...) {
      ::operator delete(fresh);
      throw;
    }
    std::fill_n(fresh, count, nullptr);
    if (buckets_ != nullptr) {
      for (std::size_t b = 0, n = bucketCount(); b < n; ++b) {
        for (Stored* s = buckets_[b]; s != nullptr;) {
          Stored* const next = s->hashNext_;
          Stored*& head = fresh[s->hash_ >> shift];
          s->hashNext_ = head;
          head = s;
          s = next;
        }
      }
      ::operator delete(buckets_);
    }
    std::copy_n(slots_, slotCount_, freshSlots);
    ::operator delete(slots_);
    buckets_ = fresh;
    slots_ = freshSlots;
    shift_ = shift;
  }
  static Slot* allocateSlots(std::size_t count) {
    return static_cast<Slot*>(::operator new(count * sizeof(Slot)));
  }
  static bool slotLess(Slot const& a, Slot const& b) noexcept { return a.key < b.key; }

  // Brings the slots appended since the last walk step into key order: they
  // are sorted and merged with the ordered ones into a fresh array. Slots
  // that all come after the ordered ones (a table filled in key order) stay
  // where they are.
  void ordered() const {
    if (orderedCount_ == slotCount_) [[likely]]
      return;
    Slot* const mid = slots_ + orderedCount_;
    Slot* const end = slots_ + slotCount_;
    if (!std::is_sorted(mid, end, slotLess))
      std::sort(mid, end, slotLess);
    if (orderedCount_ != 0 && slotLess(*mid, mid[-1])) {
      Slot* const fresh = allocateSlots(bucketCount());
      std::merge(slots_, mid, mid, end, fresh, slotLess);
      ::operator delete(slots_);
      slots_ = fresh;
    }
    orderedCount_ = slotCount_;
  }

  // The first slot with a key strictly after `key`; the end when none.
  Slot const* upperBound(K const& key) const noexcept {
    return std::upper_bound(slots_, slots_ + slotCount_, key,
                            [](K const& k, Slot const& s) { return k < s.key; });
  }
  Stored const* answer(IterHint& hint, Slot const* at) const noexcept {
    hint.owner_ = at != nullptr ? this : nullptr;
    hint.generation_ = generation_;
    hint.position_ = at;
    return at != nullptr ? at->node : nullptr;
  }
  static bool keyOf(Stored const* at, K& out) noexcept {
    if (at == nullptr)
      return false;
    out = at->key_;
    return true;
  }

  Stored** buckets_ = nullptr;      // 2^(32 - shift_) chain heads
  unsigned shift_ = kInitialShift;  // bucket = hash >> shift_
  // One slot per node (present or absent), as many as there are buckets:
  // the first orderedCount_ in key order, the rest appended since. The
  // array owns the nodes. Reading steps order it, so both are mutable.
  mutable Slot* slots_ = nullptr;
  std::size_t slotCount_ = 0;
  mutable std::size_t orderedCount_ = 0;
  std::size_t size_ = 0;    // present entries
  std::size_t absent_ = 0;  // absent nodes still linked
  std::size_t bytes_ = 0;   // nodes and record blocks, slab-rounded
  // Counts keys added to and nodes let go from the slots, so a stored walk
  // position (a slot) is known to be still valid: every change of the slot
  // array's place or order comes with one. Replacing in place, removing and
  // returning keep it.
  std::uint64_t generation_ = 0;
};

}  // namespace Kroma
