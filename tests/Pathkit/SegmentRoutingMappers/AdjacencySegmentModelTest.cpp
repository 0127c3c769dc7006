// Randomized model test of the adjacency segment mapper: long random
// sequences of adjacency-segment adds, replacements and removals in both
// collections (shared links, equal entries of different keys, records for
// several protocol instances, mixed neighbours, both vertex kinds, some runs
// on a pre-filled table, restarts), each step checked against a small model
// of what the connector map and the entry cache hold for every protoId.
//
// The model files a key's change under p as a set difference: each link the
// key named loses the key's old entries, each link of the key's records for p
// gains those records' entries, links left empty go. Equal entries of two keys
// are one member, so one key's removal can leave another key naming a link
// that is gone; the model predicts the assertion the next change of that key
// must stop at, and checks it in a death test.
//
// Reproduce a run with ADJSEG_MODEL_SEED=<seed>; ADJSEG_MODEL_STEPS sets the
// total number of steps (default 60000; the sanitizer preset runs 15000).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AdjSegments.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "support/SeededRuns.h"

namespace {

using namespace AdjSegTest;
using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::Status;
using Vantre::AddressFamily;

constexpr unsigned kStepsPerRun = 3000;
constexpr unsigned kLinks = 6;

// `text` as a death-test pattern that matches it literally.
std::string escaped(std::string const& text) {
  std::string out;
  for (char c : text) {
    if (std::string_view("()[]{}.*+?^$|\\").find(c) != std::string_view::npos)
      out += '\\';
    out += c;
  }
  return out;
}

Cspf::LinkKey modelLink(AdjacencySegmentNeighbor const& r) {
  bool const byNeighbor = r.link.vertexKind == 2;
  return {r.link,
          Cspf::IgpRouterId(byNeighbor ? Cspf::VertexIdentifierBase(r.neighbor.isisSystemId())
                                       : Cspf::VertexIdentifierBase())};
}

struct ProtoModel {
  std::map<Cspf::LinkKey, std::set<AdjSegmentEntry>> lists;
  std::map<AdjacencySegmentKey, std::set<Cspf::LinkKey>> links;
  std::map<AdjacencySegmentKey, std::set<AdjSegmentEntry>> entries;
};

class AdjacencySegmentModelDeathTest : public ::testing::Test {
 protected:
  // Files `s` (null: absent) for `k` under every protoId of the key into
  // next_. Returns the assertion text the mapper must stop at, or "" when
  // it must not.
  std::string file(AdjacencySegmentKey const& k, AdjacencySegment const* s) {
    std::map<unsigned, ProtoModel>& next = next_ = model_;
    for (unsigned p : k.routerId().af() == 3 ? std::set<unsigned>{1, 2} : std::set<unsigned>{0}) {
      ProtoModel& m = next[p];
      std::set<Cspf::LinkKey> touched = m.links[k];
      for (Cspf::LinkKey const& l : touched) {
        if (!m.lists.contains(l))
          return m.lists.empty() ? "connectorMap()->mapHas( protoId )"
                                 : "connectorMap()->map( protoId )->adjSegmentListHas( linkKey )";
        for (AdjSegmentEntry const& e : m.entries[k])
          m.lists[l].erase(e);
      }
      m.links.erase(k);
      m.entries.erase(k);
      bool same = true;
      for (std::uint32_t i = 1; s != nullptr && i < s->count(); ++i)
        same = same && s->neighbors()[i].neighbor == s->neighbors()[0].neighbor;
      for (std::uint32_t i = 0; s != nullptr && same && i < s->count(); ++i) {
        AdjacencySegmentNeighbor const& r = s->neighbors()[i];
        if (r.protoInstance != p)
          continue;
        AdjSegmentEntry const e(k.sidFlag() != 0, r.metric, k.sid());
        m.lists[modelLink(r)].insert(e);
        m.links[k].insert(modelLink(r));
        m.entries[k].insert(e);
        touched.insert(modelLink(r));
      }
      for (Cspf::LinkKey const& l : touched) {
        if (m.lists[l].empty())
          m.lists.erase(l);
      }
    }
    return "";
  }

  // What the connector map and the entry cache hold under p; a stored empty
  // value shows as an empty set, which the model never holds.
  ProtoModel observed(unsigned short p) const {
    ProtoModel m;
    if (auto lists = connectors_->map(p)) {
      for (auto l = lists->adjSegmentListCollection().begin(); !l.atEnd(); ++l) {
        auto& set = m.lists[l->key()];
        for (auto e = l->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e)
          set.insert(e->key());
      }
    }
    if (auto links = connectors_->cache(p)) {
      for (auto k = links->neighborSetCollection().begin(); !k.atEnd(); ++k) {
        auto& set = m.links[k->key()];
        for (auto l = k->value().linkCollection().begin(); !l.atEnd(); ++l)
          set.insert(l->key());
      }
    }
    if (auto entries = mapper_->adjSegmentEntryCache(p)) {
      for (auto k = entries->adjSegmentSetCollection().begin(); !k.atEnd(); ++k) {
        auto& set = m.entries[k->key()];
        for (auto e = k->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e)
          set.insert(e->key());
      }
    }
    return m;
  }

  ::testing::AssertionResult matchesModel() const {
    for (unsigned short p = 0; p < 3; ++p) {
      static ProtoModel const none;
      ProtoModel const& m = model_.contains(p) ? model_.at(p) : none;
      ProtoModel const o = observed(p);
      // A per-protoId table exists exactly while it has a member.
      bool const tables = connectors_->mapHas(p) == !o.lists.empty() &&
                          connectors_->cacheHas(p) == !o.links.empty() &&
                          mapper_->adjSegmentEntryCacheHas(p) == !o.entries.empty();
      if (!tables || o.lists != m.lists || o.links != m.links || o.entries != m.entries)
        return ::testing::AssertionFailure() << "connector map or cache under protoId " << p;
    }
    return connectors_->mapCount() <= 3 && connectors_->cacheCount() <= 3
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << "protoIds outside 0..2";
  }

  // The start-up build as the model sees it: the family's keys in order.
  void startUp() {
    model_.clear();
    if (af_ == AddressFamily::ipv4 || af_ == AddressFamily::ipv6) {
      auto const& c = status_->adjacencySegment(af_);
      Kroma::IterHint hint;
      AdjacencySegmentKey k;
      for (bool more = c.firstKey(hint, k); more; more = c.nextKey(hint, k, k)) {
        AdjacencySegment const s = c.lookup(k);
        file(k, &s);
        model_ = next_;
      }
    }
    mapper_ = adjacencySegmentMapperV2Factory(af_, status_, connectors_);
  }

  void runOnce(std::uint64_t seed, unsigned steps);

  // Checks each publication of a link list during one step: only links the
  // key named before (model_) or names after (next_) change, and a link it
  // names after is never published without one of its new entries.
  struct Watch {
    Watch(AdjacencySegmentModelDeathTest* t, AdjacencySegmentKey const& k, unsigned p,
          Pavo::Ptr<AdjSegmentListPerProtoId> lists)
        : test(t), key(k), protoId(p), lists(std::move(lists)) {
      this->lists->publisher()->subscriberAdd(&record, false);
    }
    ~Watch() { lists->publisher()->subscriberRemove(&record); }
    static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const* key,
                         void const*) {
      auto const& w = *reinterpret_cast<Watch const*>(s);
      auto const& link = *static_cast<Cspf::LinkKey const*>(key);
      ProtoModel const& after = w.test->next_[w.protoId];
      ProtoModel const& before = w.test->model_[w.protoId];
      auto const names = [&](ProtoModel const& m) {
        return m.links.contains(w.key) && m.links.at(w.key).contains(link);
      };
      bool const named = names(after);
      bool carries = false;
      AdjSegmentList const list = w.lists->adjSegmentList(link);
      for (AdjSegmentEntry const& e : named ? after.entries.at(w.key) : std::set<AdjSegmentEntry>())
        carries = carries || list.adjSegmentEntryHas(e);
      if ((named && !carries) || (!named && !names(before)))
        w.test->published_ +=
            "link " + link.toString() + (named ? " without the key; " : " not the key's; ");
    }
    Pavo::Subscriber record{&Watch::dispatch};  // first: dispatch finds its Watch
    AdjacencySegmentModelDeathTest* test;
    AdjacencySegmentKey key;
    unsigned protoId;
    Pavo::Ptr<AdjSegmentListPerProtoId> lists;
  };

  AddressFamily af_;
  std::map<unsigned, ProtoModel> model_, next_;
  std::string published_;
  Pavo::Ptr<Status> status_;
  Pavo::Ptr<AdjSegmentConnectorMapV2> connectors_;
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper_;
};

void AdjacencySegmentModelDeathTest::runOnce(std::uint64_t seed, unsigned steps) {
  std::mt19937_64 rng(seed);
  auto const pick = [&rng](unsigned n) {
    return std::uniform_int_distribution<unsigned>(0, n - 1)(rng);
  };
  af_ = seed % 5 == 4   ? AddressFamily::fromValue(7)
        : seed % 2 == 0 ? AddressFamily::ipv4
                        : AddressFamily::ipv6;
  status_ = Status::StatusIs();
  connectors_ = adjSegmentConnectorMapV2Factory();
  unsigned deaths = 0;

  // A random write: a key of 6 routers (3 with router-id word 3) and 4 SIDs;
  // 0 to 4 records over shared links, metrics of two values (equal entries of
  // different keys), mostly one neighbour, protocol instances 0 to 2.
  auto const randomKey = [&] { return key(16000 + pick(4), pick(6), pick(4) == 0); };
  auto const randomSegment = [&](AdjacencySegmentKey const& k) {
    AdjacencySegment s(k, static_cast<std::uint8_t>(pick(2)));
    Mpls::RouterId const neighbor = Mpls::RouterId::isis(systemId(pick(3)));
    for (unsigned n = pick(5); n > 0; --n) {
      bool const mixed = pick(12) == 0;
      unsigned const proto = k.routerId().af() == 3 ? 1 + pick(2) : 0;
      s.neighbors().push(
          record(pick(kLinks), mixed ? Mpls::RouterId::isis(systemId(pick(3))) : neighbor,
                 10 * (1 + pick(2)), static_cast<std::uint8_t>(pick(8) == 0 ? pick(3) : proto)));
    }
    return s;
  };
  auto const write = [&](bool v4, AdjacencySegment const* s, AdjacencySegmentKey const& k) {
    if (s == nullptr)
      return v4 ? status_->ipv4AdjacencySegmentDel(k) : status_->ipv6AdjacencySegmentDel(k);
    auto const& c = v4 ? status_->ipv4AdjacencySegment() : status_->ipv6AdjacencySegment();
    if (c.lookup(k) == *s)
      return false;
    v4 ? status_->ipv4AdjacencySegmentIs(*s) : status_->ipv6AdjacencySegmentIs(*s);
    return true;
  };

  if (seed % 3 != 0) {  // a table filled before the mapper exists
    for (unsigned i = pick(40); i > 0; --i) {
      AdjacencySegmentKey const k = randomKey();
      AdjacencySegment const s = randomSegment(k);
      write(pick(2) == 0, &s, k);
    }
  }
  startUp();
  ASSERT_TRUE(matchesModel()) << "after start-up";

  for (unsigned step = 0; step < steps; ++step) {
    if (pick(500) == 0) {  // destroy and recreate over the same table and map
      mapper_.reset();
      ASSERT_EQ(connectors_->mapCount() + connectors_->cacheCount(), 0u) << "step " << step;
      startUp();
      ASSERT_TRUE(matchesModel()) << "after a restart, step " << step;
      continue;
    }
    bool const v4 = pick(2) == 0;
    AdjacencySegmentKey const k = randomKey();
    AdjacencySegment const s = randomSegment(k);
    AdjacencySegment const* const next = pick(4) == 0 ? nullptr : &s;
    auto const& c = status_->adjacencySegment(v4 ? AddressFamily::ipv4 : AddressFamily::ipv6);
    bool const publishes = next != nullptr ? !(c.lookup(k) == s) : c.contains(k);
    bool const mine = v4 ? af_ == AddressFamily::ipv4 : af_ == AddressFamily::ipv6;
    next_ = model_;
    std::string const death = mine && publishes ? file(k, next) : "";
    if (!death.empty()) {
      // At most two per run, as each forks; other such steps are skipped.
      if (deaths++ < 2) {
        EXPECT_DEATH(write(v4, next, k), "assertion failed: " + escaped(death));
      }
      continue;
    }
    // Watch the link lists the change may touch, as they are before it.
    std::vector<std::unique_ptr<Watch>> watches;
    for (unsigned p = 0; p < 3 && mine; ++p) {
      if (auto lists = connectors_->map(static_cast<unsigned short>(p)))
        watches.push_back(std::make_unique<Watch>(this, k, p, lists));
    }
    if (write(v4, next, k) && mine)
      model_ = next_;
    ASSERT_EQ(published_, "") << "step " << step << " " << k;
    ASSERT_TRUE(matchesModel()) << "step " << step << (next ? " write " : " remove ") << k;
  }
  mapper_.reset();
  EXPECT_EQ(connectors_->mapCount() + connectors_->cacheCount(), 0u) << "after the mapper";
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u);
}

TEST_F(AdjacencySegmentModelDeathTest, RandomChangesKeepTheConnectorMapEqualToTheModel) {
  TestSupport::seededRuns(
      "ADJSEG_MODEL_SEED", 20261206, "ADJSEG_MODEL_STEPS", 60000, kStepsPerRun,
      [&](std::uint64_t seed, unsigned steps) { runOnce(seed, steps); },
      [&] {
        mapper_.reset();
        connectors_.reset();
        status_.reset();
      });
}

}  // namespace
