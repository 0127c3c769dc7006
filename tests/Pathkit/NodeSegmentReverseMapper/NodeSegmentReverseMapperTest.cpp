// Randomized model test of the reverse mapper: long random sequences of
// status-table changes (adds, replaces, removals, flag flips, originator
// moves, SID-only changes, in both collections and both families, some runs
// on a pre-filled table), each checked at once against a small independent
// model of the reverse map and of what the step must have published.
//
// The model knows only the table and the mapping rule: a change of the entry
// for (P, A) (a prefix-collection entry is (P, 0)) decides the mapping of
// (P, A) alone: mapped under the entry's originator when the entry exists, has
// 0x04 set and 0x10 clear, is of the mapper's family and names a router;
// otherwise unmapped. The expected publications of a step follow from the
// model before and after that one change. The publications are read with the
// scenario tool's change log, which follows the output tree as it grows and
// a removed map through its own teardown.
//
// Now and then the mapper does not hear a write (it is retired, or
// unsubscribed for the while): the model keeps what the mapper last heard
// until the table publishes the key again (the field id's high bits
// ignored). Publications of other field ids are never heard.
//
// Reproduce a run with NODESEG_MODEL_SEED=<seed>; NODESEG_MODEL_STEPS sets
// the total number of steps (default 120000).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Segments.h"
#include "oracles/ChangeLog.h"
#include "oracles/Invariants.h"
#include "support/SeededRuns.h"

namespace {

using namespace NodeSegTest;
using namespace Kroma::SegmentRouting;
using namespace SegmentRouting::Mappers;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;
using Kind = Srmap::Change::Kind;
using Srmap::changeLine;
using Lines = std::vector<std::string>;

constexpr unsigned kV4Prefixes = 24;
constexpr unsigned kPrefixes = 40;  // 24 ipv4, then 16 ipv6
constexpr unsigned kRouters = 6;    // router(1..5) and the zero router id
constexpr std::array<unsigned, 4> kAlgos{0, 128, 129, 130};
constexpr unsigned kStepsPerRun = 5000;

IpGenPrefix prefixAt(unsigned i) {
  return i < kV4Prefixes ? hostPrefix(AddressFamily::ipv4, i)
                         : hostPrefix(AddressFamily::ipv6, i - kV4Prefixes);
}
RouterId routerAt(unsigned i) {
  return i + 1 < kRouters ? router(i + 1) : RouterId::zero();
}

// One publication of the output tree followed as "out", as the change log
// writes it: of the root (no router), of an algorithm map (no prefix) or of a
// router entry. A prefix is always mapped with the value true, so its
// removal's prior is "true".
std::string outChange(unsigned algo, RouterId const* r, IpGenPrefix const* p, Kind kind) {
  std::string const a = std::to_string(algo);
  if (r == nullptr)
    return changeLine({"out",
                       {},
                       RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField,
                       "routerToNodeSegmentMap",
                       a,
                       kind,
                       std::nullopt});
  Srmap::PathStep const algoStep{"routerToNodeSegmentMap", a};
  if (p == nullptr)
    return changeLine({"out",
                       {algoStep},
                       RouterToNodeSegmentMap::kPrefixMapField,
                       "prefixMap",
                       r->toString(),
                       kind,
                       std::nullopt});
  return changeLine({"out",
                     {algoStep, {"prefixMap", r->toString()}},
                     RouterToNodeSegment::kPrefixField,
                     "prefix",
                     p->toString(),
                     kind,
                     kind == Kind::added ? std::nullopt : std::optional<std::string>("true")});
}

// The expected reverse map: each mapped (prefix, algorithm) and its router.
using Model = std::map<PrefixAlgoKey, RouterId>;

unsigned prefixesOf(Model const& model, unsigned algo, RouterId const* r = nullptr) {
  return static_cast<unsigned>(std::count_if(model.begin(), model.end(), [&](auto const& m) {
    return m.first.algo() == algo && (r == nullptr || m.second == *r);
  }));
}

class NodeSegmentModelTest : public ::testing::Test {
 protected:
  void runOnce(std::uint64_t seed, unsigned steps);

  // The router that `info` (null: absent) maps `p` to, if any.
  std::optional<RouterId> decide(PrefixSegmentInfo const* info, IpGenPrefix const& p) const {
    if (info == nullptr || p.af() != af_ || (info->flags() & kMap) == 0 ||
        (info->flags() & kDoNotMap) != 0 || info->originator().isZero())
      return std::nullopt;
    return info->originator();
  }
  // Applies the decision for `k` to the model and appends the expected
  // publications to `ev`.
  void change(PrefixAlgoKey const& k, std::optional<RouterId> const& next, Lines& ev) {
    auto const it = model_.find(k);
    std::optional<RouterId> const old =
        it != model_.end() ? std::optional(it->second) : std::nullopt;
    unsigned const algo = k.algo();
    if (old == next)
      return;
    if (old) {
      ev.push_back(outChange(algo, &*old, &k.prefix(), Kind::removed));
      if (prefixesOf(model_, algo, &*old) == 1) {
        ev.push_back(outChange(algo, &*old, nullptr, Kind::removed));
        if (prefixesOf(model_, algo) == 1)
          ev.push_back(outChange(algo, nullptr, nullptr, Kind::removed));
      }
      model_.erase(it);
    }
    if (next) {
      if (prefixesOf(model_, algo) == 0)
        ev.push_back(outChange(algo, nullptr, nullptr, Kind::added));
      if (prefixesOf(model_, algo, &*next) == 0)
        ev.push_back(outChange(algo, &*next, nullptr, Kind::added));
      ev.push_back(outChange(algo, &*next, &k.prefix(), Kind::added));
      model_[k] = *next;
    }
  }

  // The output and the cache against the model: the mapper's invariants hold
  // (the output maps exactly what the cache holds, no empty map or entry),
  // and the cache holds the model's mappings and no other.
  ::testing::AssertionResult matchesModel() const {
    for (std::string const& broken : Srmap::invariantViolations(mapper_.get(), *out_))
      return ::testing::AssertionFailure() << broken;
    if (mapper_->prefixToOriginatorCacheCount() != model_.size())
      return ::testing::AssertionFailure()
             << "cache holds " << mapper_->prefixToOriginatorCacheCount() << ", model "
             << model_.size();
    for (auto const& [key, router] : model_) {
      auto const cached = mapper_->prefixToOriginatorCacheGet(key);
      if (!cached || *cached != router)
        return ::testing::AssertionFailure() << "cache misses " << key.toString();
    }
    return ::testing::AssertionSuccess();
  }

  // The start-up build as the model sees it: every prefix-collection key in
  // order, then every per-algorithm key in order.
  Lines walkExpectation() {
    Lines ev;
    Kroma::IterHint hint;
    IpGenPrefix p;
    for (bool more = status_->prefixSegment().firstKey(hint, p); more;
         more = status_->prefixSegment().nextKey(hint, p, p))
      change(PrefixAlgoKey(p, 0), decide(&status_->prefixSegment().lookup(p).info(), p), ev);
    PrefixAlgoKey k;
    for (bool more = status_->prefixSegmentWithAlgo().firstKey(hint, k); more;
         more = status_->prefixSegmentWithAlgo().nextKey(hint, k, k))
      change(k, decide(&status_->prefixSegmentWithAlgo().lookup(k).info(), k.prefix()), ev);
    return ev;
  }

  // Every algorithm map and router entry removed, as a mapper's destruction
  // publishes them, sorted.
  Lines teardownExpectation() const {
    std::set<std::string> ev;
    for (auto const& [key, router] : model_) {
      ev.insert(outChange(key.algo(), nullptr, nullptr, Kind::removed));
      ev.insert(outChange(key.algo(), &router, nullptr, Kind::removed));
    }
    return Lines(ev.begin(), ev.end());
  }

  AddressFamily af_;
  Model model_;
  Pavo::Ptr<Status> status_;
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out_;
  Lines published_;
  std::unique_ptr<Srmap::ChangeLog> log_;  // follows out_, appends to published_
  Pavo::Ptr<NodeSegmentReverseMapper> mapper_;
};

void NodeSegmentModelTest::runOnce(std::uint64_t seed, unsigned steps) {
  std::mt19937_64 rng(seed);
  auto const pick = [&rng](unsigned n) {
    return static_cast<unsigned>(std::uniform_int_distribution<unsigned>(0, n - 1)(rng));
  };
  static constexpr std::array<std::uint8_t, 8> kFlags{
      kMap, kMap, kMap, kMap | kDoNotMap, kDoNotMap, 0, kMap | 0x01, kMap | 0x08};
  af_ = seed % 2 == 0 ? AddressFamily::ipv4 : AddressFamily::ipv6;
  model_.clear();
  status_ = Status::StatusIs();
  out_ = routerToNodeSegmentMapPerAlgoFactory();
  published_.clear();
  log_ = std::make_unique<Srmap::ChangeLog>(
      [this](Srmap::Change const& c) { published_.push_back(changeLine(c)); });
  log_->follow(*out_, "out");

  // One random write: the key (a prefix-collection entry's algorithm is
  // 0), the collection, and the info.
  struct Write {
    PrefixAlgoKey key;
    bool withAlgo;
    PrefixSegmentInfo info;
  };
  auto const randomInfo = [&] {
    unsigned const r = pick(20) == 0 ? kRouters - 1 : pick(kRouters - 1);
    return info(routerAt(r), kFlags[pick(kFlags.size())], pick(3), 16000 + pick(2));
  };
  // The table's look-up yields a copy: kept here.
  std::optional<PrefixSegmentInfo> storedInfo;
  auto const stored = [&](Write const& w) -> PrefixSegmentInfo const* {
    if (!w.withAlgo) {
      auto const e = status_->prefixSegment().lookup(w.key.prefix());
      return e ? &storedInfo.emplace(e.info()) : nullptr;
    }
    auto const e = status_->prefixSegmentWithAlgo().lookup(w.key);
    return e ? &storedInfo.emplace(e.info()) : nullptr;
  };
  // Writes the table; returns whether the table changed (and so published).
  auto const apply = [&](Write const& w, bool remove) {
    IpGenPrefix const& p = w.key.prefix();
    if (remove)
      return w.withAlgo ? status_->prefixSegmentWithAlgoDel(w.key) : status_->prefixSegmentDel(p);
    PrefixSegmentInfo const* now = stored(w);
    if (now != nullptr && *now == w.info)
      return false;
    if (w.withAlgo) {
      status_->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(w.key, w.info));
    } else {
      status_->prefixSegmentIs(PrefixSegment(p, w.info));
    }
    return true;
  };
  auto const randomKey = [&] {
    bool const withAlgo = pick(5) < 2;
    auto const algo = static_cast<std::uint8_t>(withAlgo ? kAlgos[pick(kAlgos.size())] : 0);
    return Write{PrefixAlgoKey(prefixAt(pick(kPrefixes)), algo), withAlgo, {}};
  };
  static constexpr Pavo::FieldId kForeign[] = {0, 1, 130, 131, 257, 260, 263, 264, 0x10000};

  if (seed % 3 != 0) {  // a table filled before the mapper exists
    for (unsigned i = pick(120); i > 0; --i) {
      Write w = randomKey();
      w.info = randomInfo();
      apply(w, false);
    }
  }
  Lines const startUp = walkExpectation();
  mapper_ = nodeSegmentReverseMapperFactory(af_, status_, out_);
  ASSERT_EQ(published_, startUp) << "start-up publications";
  ASSERT_TRUE(matchesModel()) << "after start-up";

  for (unsigned step = 0; step < steps; ++step) {
    published_.clear();
    Write w = randomKey();
    PrefixSegmentInfo const* now = stored(w);
    bool remove = false;
    unsigned const op = pick(100);
    if (op < 40 || now == nullptr) {
      w.info = randomInfo();  // add or replace
    } else if (op < 60) {
      remove = true;
    } else if (op < 75) {
      w.info = *now;  // flag flip
      w.info.flagsIs(static_cast<std::uint8_t>(now->flags() ^ (pick(2) == 0 ? kMap : kDoNotMap)));
    } else if (op < 90) {
      w.info = *now;  // originator move
      w.info.originatorIs(routerAt(pick(kRouters - 1)));
    } else {
      w.info = info(now->originator(), now->flags(), pick(3), 17000 + pick(50));
    }
    if (op == 99 && pick(8) == 0) {
      // Clean-up and rebuild on the running mapper: the model is rebuilt
      // from the table in walk order; the cache must agree afterwards.
      mapper_->doCleanup();
      mapper_->handleInitialized();
      model_.clear();
      walkExpectation();
      ASSERT_TRUE(matchesModel()) << "after a rebuild, step " << step;
      continue;
    }
    std::string const what = "step " + std::to_string(step) + (remove ? " remove " : " write ") +
                             w.key.toString() + (w.withAlgo ? " (259)" : " (258)");
    Lines expected;
    if (op == 98) {
      // The table publishes the key again, or under another field id.
      Pavo::FieldId const id = pick(2) == 0 ? kForeign[pick(std::size(kForeign))]
                                            : (pick(4) << 16) | (w.withAlgo ? 259u : 258u);
      if (w.withAlgo) {
        status_->publisher()->publishChangeRecursive(id, &w.key, nullptr, &PrefixAlgoKey::isEq);
      } else {
        status_->publisher()->publishChangeRecursive(id, &w.key.prefix(), nullptr,
                                                     &IpGenPrefix::isEq);
      }
      if ((id & 0xFFFFu) == (w.withAlgo ? 259u : 258u))
        change(w.key, decide(now, w.key.prefix()), expected);
      ASSERT_EQ(published_, expected) << what << " published as " << id;
      ASSERT_TRUE(matchesModel()) << what;
      continue;
    }
    // Unheard by a retired mapper, or by one unsubscribed for the while.
    bool const deaf = op == 97 || op == 96;
    if (deaf) {
      if (op == 97)
        mapper_->vekDoZombieReactors(true);
      else
        mapper_->hasNotificationActiveIs(false);
    }
    bool const changed = apply(w, remove);
    if (deaf) {
      mapper_->vekDoZombieReactors(false);
      mapper_->hasNotificationActiveIs(true);
    }
    if (changed && !deaf)
      change(w.key, decide(remove ? nullptr : &w.info, w.key.prefix()), expected);
    ASSERT_EQ(published_, expected) << what;
    ASSERT_TRUE(matchesModel()) << what;
  }

  published_.clear();
  Lines const gone = teardownExpectation();
  mapper_.reset();
  // Compared sorted: the maps' removal order is their hash order.
  std::sort(published_.begin(), published_.end());
  ASSERT_EQ(published_, gone) << "final teardown";
  EXPECT_EQ(out_->routerToNodeSegmentMapCount(), 0u);
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u);
}

TEST_F(NodeSegmentModelTest, RandomTableChangesKeepTheOutputEqualToTheModel) {
  TestSupport::seededRuns(
      "NODESEG_MODEL_SEED", 20240611, "NODESEG_MODEL_STEPS", 120000, kStepsPerRun,
      [&](std::uint64_t seed, unsigned steps) { runOnce(seed, steps); },
      [&] {
        log_.reset();
        mapper_.reset();
        out_.reset();
        status_.reset();
      });
}

}  // namespace
