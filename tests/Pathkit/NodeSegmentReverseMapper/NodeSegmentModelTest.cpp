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
// Reproduce a run with NODESEG_MODEL_SEED=<seed>; NODESEG_MODEL_STEPS sets
// the total number of steps (default 120000).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Segments.h"
#include "oracles/ChangeLog.h"
#include "oracles/Invariants.h"
#include "support/SeededRuns.h"

namespace {

using namespace NodeSegTest;
using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::nodeSegmentReverseMapperFactory;
using SegmentRouting::Mappers::RouterToNodeSegment;
using SegmentRouting::Mappers::RouterToNodeSegmentMap;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
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
constexpr int kNone = -1;

IpGenPrefix prefixAt(unsigned i) {
  return i < kV4Prefixes ? hostPrefix(AddressFamily::ipv4, i)
                         : hostPrefix(AddressFamily::ipv6, i - kV4Prefixes);
}
int prefixIndex(IpGenPrefix const& p) {
  if (p.af() == AddressFamily::ipv4) {
    std::uint32_t const i = p.ipv4Address() - 0x0A000000u;
    return p.length() == 32 && i < kV4Prefixes ? static_cast<int>(i) : kNone;
  }
  unsigned const i = p.address()[15] + kV4Prefixes;
  return p.length() == 128 && i < kPrefixes && p == prefixAt(i) ? static_cast<int>(i) : kNone;
}
RouterId routerAt(unsigned i) {
  return i + 1 < kRouters ? router(i + 1) : RouterId::zero();
}
int routerIndex(RouterId const& r) {
  for (unsigned i = 0; i < kRouters; ++i) {
    if (routerAt(i) == r)
      return static_cast<int>(i);
  }
  return kNone;
}
int algoIndex(unsigned algo) {
  auto it = std::find(kAlgos.begin(), kAlgos.end(), algo);
  return it == kAlgos.end() ? kNone : static_cast<int>(it - kAlgos.begin());
}

// One publication of the output tree followed as "out", as the change log
// writes it: of the root, of an algorithm map or of a router entry.
Srmap::PathStep algoStep(unsigned algo) {
  return {"routerToNodeSegmentMap", std::to_string(algo)};
}
std::string rootChange(unsigned algo, Kind kind) {
  return changeLine({"out",
                     {},
                     RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField,
                     "routerToNodeSegmentMap",
                     std::to_string(algo),
                     kind,
                     std::nullopt});
}
std::string mapChange(unsigned algo, RouterId const& r, Kind kind) {
  return changeLine({"out",
                     {algoStep(algo)},
                     RouterToNodeSegmentMap::kPrefixMapField,
                     "prefixMap",
                     r.toString(),
                     kind,
                     std::nullopt});
}
// A prefix is always mapped with the value true, so its removal's prior is "true".
std::string entryChange(unsigned algo, RouterId const& r, IpGenPrefix const& p, Kind kind) {
  return changeLine({"out",
                     {algoStep(algo), {"prefixMap", r.toString()}},
                     RouterToNodeSegment::kPrefixField,
                     "prefix",
                     p.toString(),
                     kind,
                     kind == Kind::added ? std::nullopt : std::optional<std::string>("true")});
}

// The expected reverse map: model[prefix][algo index] is a router index or kNone.
struct Model {
  std::array<std::array<int, kAlgos.size()>, kPrefixes> at;
  Model() {
    for (auto& row : at)
      row.fill(kNone);
  }
  unsigned size() const {
    unsigned n = 0;
    for (auto const& row : at)
      n += static_cast<unsigned>(
          std::count_if(row.begin(), row.end(), [](int r) { return r != kNone; }));
    return n;
  }
  unsigned prefixesOf(unsigned a, int r) const {
    unsigned n = 0;
    for (auto const& row : at)
      n += row[a] == r ? 1 : 0;
    return n;
  }
  unsigned mappedIn(unsigned a) const {
    unsigned n = 0;
    for (auto const& row : at)
      n += row[a] != kNone ? 1 : 0;
    return n;
  }
  unsigned routersIn(unsigned a) const {
    unsigned n = 0;
    for (unsigned r = 0; r < kRouters; ++r)
      n += prefixesOf(a, static_cast<int>(r)) != 0 ? 1 : 0;
    return n;
  }
};

class NodeSegmentModelTest : public ::testing::Test {
 protected:
  void runOnce(std::uint64_t seed, unsigned steps);

  // The mapping that `entry` (null: absent) asks for.
  int decide(PrefixSegmentInfo const* info, IpGenPrefix const& p) const {
    if (info == nullptr || p.af() != af_ || (info->flags() & kMap) == 0 ||
        (info->flags() & kDoNotMap) != 0)
      return kNone;
    int const r = routerIndex(info->originator());
    return r == kNone || routerAt(static_cast<unsigned>(r)).isZero() ? kNone : r;
  }
  // Applies the decision for (p, a) to the model and returns the expected
  // publications.
  Lines change(unsigned p, unsigned a, int next) {
    Lines ev;
    int const old = model_.at[p][a];
    unsigned const algo = kAlgos[a];
    IpGenPrefix const prefix = prefixAt(p);
    if (old == next)
      return ev;
    if (old != kNone) {
      RouterId const o = routerAt(static_cast<unsigned>(old));
      ev.push_back(entryChange(algo, o, prefix, Kind::removed));
      if (model_.prefixesOf(a, old) == 1) {
        ev.push_back(mapChange(algo, o, Kind::removed));
        if (model_.routersIn(a) == 1)
          ev.push_back(rootChange(algo, Kind::removed));
      }
    }
    model_.at[p][a] = kNone;
    if (next != kNone) {
      RouterId const n = routerAt(static_cast<unsigned>(next));
      if (model_.mappedIn(a) == 0)
        ev.push_back(rootChange(algo, Kind::added));
      if (model_.prefixesOf(a, next) == 0)
        ev.push_back(mapChange(algo, n, Kind::added));
      ev.push_back(entryChange(algo, n, prefix, Kind::added));
    }
    model_.at[p][a] = next;
    return ev;
  }

  // The output and the cache against the model: the mapper's invariants hold
  // (each mapped key cached under its router and nothing else cached, no
  // empty map or entry), the cache holds as many keys as the model, and each
  // of the model's mappings is in the output, with the value true, under the
  // model's router.
  ::testing::AssertionResult matchesModel() const {
    for (std::string const& broken : Srmap::invariantViolations(mapper_.get(), *out_))
      return ::testing::AssertionFailure() << broken;
    if (mapper_->prefixToOriginatorCacheCount() != model_.size())
      return ::testing::AssertionFailure()
             << "cache holds " << mapper_->prefixToOriginatorCacheCount() << ", model "
             << model_.size();
    for (unsigned p = 0; p < kPrefixes; ++p) {
      for (unsigned a = 0; a < kAlgos.size(); ++a) {
        if (model_.at[p][a] == kNone)
          continue;
        auto const map = out_->routerToNodeSegmentMap(static_cast<unsigned char>(kAlgos[a]));
        auto const entry =
            map ? map->prefixMap(routerAt(static_cast<unsigned>(model_.at[p][a]))) : nullptr;
        auto const* member = entry ? entry->prefix(prefixAt(p)) : nullptr;
        if (member == nullptr || !member->value())
          return ::testing::AssertionFailure()
                 << "output misses " << prefixAt(p) << " algo " << kAlgos[a];
      }
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
         more = status_->prefixSegment().nextKey(hint, p, p)) {
      auto const& e = status_->prefixSegment().lookup(p);
      for (std::string const& x :
           change(static_cast<unsigned>(prefixIndex(p)), 0, decide(&e.info(), p)))
        ev.push_back(x);
    }
    PrefixAlgoKey k;
    for (bool more = status_->prefixSegmentWithAlgo().firstKey(hint, k); more;
         more = status_->prefixSegmentWithAlgo().nextKey(hint, k, k)) {
      auto const& e = status_->prefixSegmentWithAlgo().lookup(k);
      for (std::string const& x :
           change(static_cast<unsigned>(prefixIndex(k.prefix())),
                  static_cast<unsigned>(algoIndex(k.algo())), decide(&e.info(), k.prefix())))
        ev.push_back(x);
    }
    return ev;
  }

  // Every mapping removed, as a mapper's destruction publishes them.
  Lines teardownExpectation() const {
    Lines ev;
    for (unsigned a = 0; a < kAlgos.size(); ++a) {
      if (model_.mappedIn(a) == 0)
        continue;
      ev.push_back(rootChange(kAlgos[a], Kind::removed));
      for (unsigned r = 0; r < kRouters; ++r) {
        if (model_.prefixesOf(a, static_cast<int>(r)) != 0)
          ev.push_back(mapChange(kAlgos[a], routerAt(r), Kind::removed));
      }
    }
    return ev;
  }

  AddressFamily af_;
  Model model_;
  Pavo::Ptr<Status> status_;
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out_;
  Lines published_;
  std::unique_ptr<Srmap::ChangeLog> log_;  // follows out_, appends to published_
  Pavo::Ptr<NodeSegmentReverseMapper> mapper_;
};

// For comparing as multisets: the maps' removal order is their hash order.
Lines sorted(Lines lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

void NodeSegmentModelTest::runOnce(std::uint64_t seed, unsigned steps) {
  std::mt19937_64 rng(seed);
  auto const pick = [&rng](unsigned n) {
    return static_cast<unsigned>(std::uniform_int_distribution<unsigned>(0, n - 1)(rng));
  };
  static constexpr std::array<std::uint8_t, 8> kFlags{
      kMap, kMap, kMap, kMap | kDoNotMap, kDoNotMap, 0, kMap | 0x01, kMap | 0x08};
  af_ = seed % 2 == 0 ? AddressFamily::ipv4 : AddressFamily::ipv6;
  model_ = Model();
  status_ = Status::StatusIs();
  out_ = routerToNodeSegmentMapPerAlgoFactory();
  published_.clear();
  log_ = std::make_unique<Srmap::ChangeLog>(
      [this](Srmap::Change const& c) { published_.push_back(changeLine(c)); });
  log_->follow(*out_, "out");

  // One random write: the key (p, a), the collection, and the info.
  struct Write {
    unsigned p, a;
    bool withAlgo;
    PrefixSegmentInfo info;
  };
  auto const randomInfo = [&] {
    unsigned const r = pick(20) == 0 ? kRouters - 1 : pick(kRouters - 1);
    return info(routerAt(r), kFlags[pick(kFlags.size())], pick(3), 16000 + pick(2));
  };
  // The table's look-up yields a copy: kept here, one per kind of write.
  std::optional<PrefixSegmentInfo> storedInfo;
  auto const stored = [&](Write const& w) -> PrefixSegmentInfo const* {
    IpGenPrefix const p = prefixAt(w.p);
    if (!w.withAlgo) {
      auto const e = status_->prefixSegment().lookup(p);
      return e ? &storedInfo.emplace(e.info()) : nullptr;
    }
    auto const e = status_->prefixSegmentWithAlgo().lookup(
        PrefixAlgoKey(p, static_cast<std::uint8_t>(kAlgos[w.a])));
    return e ? &storedInfo.emplace(e.info()) : nullptr;
  };
  // Writes the table; returns whether the table changed (and so published).
  auto const apply = [&](Write const& w, bool remove) {
    IpGenPrefix const p = prefixAt(w.p);
    PrefixAlgoKey const k(p, static_cast<std::uint8_t>(kAlgos[w.a]));
    PrefixSegmentInfo const* now = stored(w);
    if (remove) {
      return w.withAlgo ? status_->prefixSegmentWithAlgoDel(k) : status_->prefixSegmentDel(p);
    }
    if (now != nullptr && *now == w.info)
      return false;
    if (w.withAlgo) {
      status_->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(k, w.info));
    } else {
      status_->prefixSegmentIs(PrefixSegment(p, w.info));
    }
    return true;
  };
  auto const randomKey = [&] {
    Write w{pick(kPrefixes), 0, pick(5) < 2, {}};
    w.a = w.withAlgo ? pick(kAlgos.size()) : 0;
    return w;
  };

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
      model_ = Model();
      walkExpectation();
      ASSERT_TRUE(matchesModel()) << "after a rebuild, step " << step;
      continue;
    }
    bool const changed = apply(w, remove);
    Lines expected;
    if (changed) {
      PrefixSegmentInfo const* after = remove ? nullptr : &w.info;
      expected = change(w.p, w.a, decide(after, prefixAt(w.p)));
    }
    ASSERT_EQ(published_, expected)
        << "step " << step << (remove ? " remove " : " write ") << prefixAt(w.p) << " algo "
        << kAlgos[w.a] << (w.withAlgo ? " (259)" : " (258)");
    ASSERT_TRUE(matchesModel()) << "step " << step;
  }

  published_.clear();
  Lines const gone = teardownExpectation();
  mapper_.reset();
  ASSERT_EQ(sorted(published_), sorted(gone)) << "final teardown";
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
