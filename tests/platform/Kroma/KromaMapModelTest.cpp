// The status table's collection against a std::map. Random writes (new keys,
// replacements, equal entries, removals, returns of removed keys) over key
// ranges from a handful to enough for the buckets to grow several times,
// interleaved with a walk that goes on from its hint across the changes:
// between two of its steps the walk sometimes loses the key it stands on and
// most others (so that the waiting absent nodes are let go), and some come
// back. Faults are armed at random. Every reading answer is checked against
// the model (each walk step against the model's next key after the one asked
// for), as are each publication's prior (made once the map shows the change),
// the count and the bytes held: a
// removed key's node waits for its return until absent nodes outnumber half
// the entries (plus a few).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Kroma/KromaMap.h"
#include "support/SeededRuns.h"
#include "support/ThrowsWith.h"

namespace {

struct Entry {
  std::uint32_t key = 0;
  std::uint32_t payload = 0;  // 1 to 3 when stored: never the default's
  static bool isEq(void const* a, void const* b) {
    auto const& x = *static_cast<Entry const*>(a);
    auto const& y = *static_cast<Entry const*>(b);
    return x.key == y.key && x.payload == y.payload;
  }
};
using Map = Kroma::KromaMap<std::uint32_t, Entry>;
using Fault = Kroma::Fault;
using Key = std::optional<std::uint32_t>;
// Absent nodes a collection keeps whatever its size, beyond half its entries.
constexpr std::size_t kAbsentSlack = 8;

class ModelRun {
 public:
  explicit ModelRun(std::uint64_t seed) : rng_(seed), range_(8u << (seed % 7)) {
    Map one("one");
    one.entryIs(0, Entry{0, 1}, [](Entry const*) {});
    nodeBytes_ = one.memoryBytes() - one.bucketCount() * Map::kBytesPerBucket;
  }

  void step() {
    unsigned const op = rng_() % 32;
    std::uint32_t const k = rng_() % range_;
    if (op < 11) {
      put(k, 1 + rng_() % 3);
    } else if (op < 17) {
      del(k);
    } else if (op < 27) {
      walkStep(op == 26 ? Key(k) : at_);  // rarely after a key the walk is not on
    } else if (op == 27) {
      if (at_)
        del(*at_);
      for (auto const& [key, payload] : std::map(model_)) {
        if (rng_() % 8 != 0)
          del(key);
      }
      for (unsigned n = rng_() % 3; n > 0; --n)
        put(rng_() % range_, 1);
      walkStep(at_);
    } else if (op == 28) {
      armed_ = static_cast<Fault>(1 + rng_() % 3);
      countdown_ = rng_() % 4;
      map_.faultIs(armed_, countdown_);
    } else if (op == 29) {
      map_.faultClear();
      armed_ = Fault::none;
    }
    std::uint32_t const payload = stored(k);
    Entry const want = payload != 0 ? Entry{k, payload} : Entry{};
    Entry got;
    if (reads(Fault::lookup, [&] { got = map_.lookup(k); })) {
      ASSERT_TRUE(Entry::isEq(&got, &want)) << k << " holds " << got.payload;
    }
    Map::Stored const* s = nullptr;
    if (reads(Fault::lookup, [&] { s = map_.find(k); })) {
      ASSERT_EQ(s != nullptr, payload != 0);
    }
    ASSERT_EQ(map_.contains(k), payload != 0);
    ASSERT_EQ(map_.size(), model_.size());
    std::size_t const nodes = model_.size() + waiting_.size();
    ASSERT_EQ(map_.memoryBytes(), nodes * nodeBytes_ + map_.bucketCount() * Map::kBytesPerBucket);
    ASSERT_GE(map_.bucketCount(), nodes);
  }

 private:
  // A reading step of `op`: false when the armed fault fires, as it must on
  // the call after the ones it lets pass, with its text, and then is off.
  template <class Read>
  bool reads(Fault op, Read read) {
    static char const* const kNames[] = {"none", "lookup", "firstKey", "nextKey"};
    if (armed_ == op && countdown_-- == 0) {
      armed_ = Fault::none;
      std::string const text = std::string("test.map: corruption detected in ") +
                               kNames[static_cast<int>(op)] + " (injected)";
      EXPECT_TRUE(throwsWith<Pavo::CorruptionDetectedException>(read, {text}));
      EXPECT_EQ(map_.fault(), Fault::none);
      return false;
    }
    read();
    return true;
  }

  // Records each publication's prior payload (0: none, a new key) in priors_;
  // by then the map shows the key `present` or not.
  auto publish(std::uint32_t k, bool present) {
    priors_.clear();
    return [this, k, present](Entry const* prior) {
      EXPECT_TRUE(prior == nullptr || prior->key == k);
      EXPECT_EQ(map_.contains(k), present) << "published before the change";
      priors_.push_back(prior != nullptr ? prior->payload : 0);
    };
  }
  std::uint32_t stored(std::uint32_t k) const {
    auto const it = model_.find(k);
    return it != model_.end() ? it->second : 0;
  }
  void put(std::uint32_t k, std::uint32_t payload) {
    std::uint32_t const old = stored(k);
    map_.entryIs(k, Entry{k, payload}, publish(k, true));
    ASSERT_EQ(priors_, old == payload ? std::vector<std::uint32_t>{} : std::vector{old});
    if (old == 0)
      waiting_.erase(k);
    model_[k] = payload;
  }
  void del(std::uint32_t k) {
    std::uint32_t const old = stored(k);
    ASSERT_EQ(map_.entryDel(k, publish(k, false)), old != 0);
    ASSERT_EQ(priors_, old == 0 ? std::vector<std::uint32_t>{} : std::vector{old});
    if (old == 0)
      return;
    model_.erase(k);
    waiting_.insert(k);
    if (waiting_.size() > model_.size() / 2 + kAbsentSlack)
      waiting_.clear();
  }

  // From the start, or on after `after`: by stored entry or by key (the key
  // read into the one it goes on from).
  void walkStep(Key after) {
    auto const want = after ? model_.upper_bound(*after) : model_.begin();
    bool const byKey = rng_() % 2 != 0;
    Map::Stored const* s = nullptr;
    std::uint32_t k = after.value_or(0);
    bool more = false;
    if (!reads(after ? Fault::nextKey : Fault::firstKey, [&] {
          if (byKey) {
            more = after ? map_.nextKey(hint_, k, k) : map_.firstKey(hint_, k);
          } else if ((s = after ? map_.next(hint_, k) : map_.first(hint_)) != nullptr) {
            more = true;
            k = s->key();
          }
        }))
      return;
    at_ = more ? Key(k) : Key();
    ASSERT_EQ(at_, want != model_.end() ? Key(want->first) : Key())
        << "after " << (after ? std::to_string(*after) : "the start");
    if (s != nullptr && reads(Fault::lookup, [&] { map_.read(*s); })) {
      ASSERT_EQ(Map::entryOf(*s).payload, want->second);
    }
  }

  std::mt19937_64 rng_;
  std::uint32_t const range_;
  std::size_t nodeBytes_;
  Map map_{"test.map"};
  std::map<std::uint32_t, std::uint32_t> model_;
  std::set<std::uint32_t> waiting_;  // removed keys whose nodes wait for them
  std::vector<std::uint32_t> priors_;
  Fault armed_ = Fault::none;
  unsigned countdown_ = 0;
  Kroma::IterHint hint_;
  Key at_;  // where the walk stands; none: it starts again
};

TEST(KromaMapModelTest, RandomWritesAndWalksMatchAnOrderedMap) {
  TestSupport::seededRuns(
      "KROMA_MODEL_SEED", 1, "KROMA_MODEL_STEPS", 42000, 3000,
      [](std::uint64_t seed, unsigned steps) {
        ModelRun run(seed);
        for (unsigned n = 0; n < steps && !::testing::Test::HasFatalFailure(); ++n) {
          SCOPED_TRACE(::testing::Message() << "step " << n);
          run.step();
        }
      },
      [] {});
}

}  // namespace
