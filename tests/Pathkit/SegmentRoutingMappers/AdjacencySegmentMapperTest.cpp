// Randomized model test of the adjacency segment mapper: long random
// sequences of adjacency-segment adds, replacements and removals in both
// collections (shared links, equal entries of two and more keys on one link,
// keys with several links and metrics, records for several protocol
// instances, mixed neighbours, both vertex kinds, some runs on a pre-filled
// table, restarts over the table), each step checked against a model of what
// the connector map and the entry cache hold for every protoId.
//
// The model is computed from what the test wrote to the table: under each of
// its protoIds, a key whose records all name one neighbour files the pairs
// (link, entry) of its records for that protoId; a link lists every entry
// some key files on it, and a member filed by n >= 2 keys is counted n. The
// link lists published during a step are checked too: only links the key
// names before or after change; a link it names after never goes out without
// one of its entries there, nor any link without an entry another key files
// there; a link whose list ends as it began is not published unless the key
// has two or more records on it; and the links the key leaves go out in the
// order their table walked them before the change.
//
// (Corrupt reads, the trace texts and what a clean-up publishes are the
// example scenarios'; an entry over its bound is StatusReactorTest's.)
//
// Reproduce a run with ADJSEG_MODEL_SEED=<seed>; ADJSEG_MODEL_STEPS sets the
// total number of steps (default 60000; the sanitizer preset runs 15000).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AdjSegments.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "Pavo/ScopedSubscriber.h"
#include "support/SeededRuns.h"

namespace {

using namespace AdjSegTest;
using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::Status;
using Vantre::AddressFamily;

constexpr unsigned kStepsPerRun = 3000;
constexpr unsigned kLinks = 6;

Cspf::LinkKey modelLink(AdjacencySegmentNeighbor const& r) {
  bool const byNeighbor = r.link.vertexKind == 2;
  return {r.link,
          Cspf::IgpRouterId(byNeighbor ? Cspf::VertexIdentifierBase(r.neighbor.isisSystemId())
                                       : Cspf::VertexIdentifierBase())};
}

using Pair = std::pair<Cspf::LinkKey, AdjSegmentEntry>;
using Records = std::vector<AdjacencySegmentNeighbor>;
// One family's adjacency segments as written: key -> its records.
using Table = std::map<AdjacencySegmentKey, Records>;

struct ProtoModel {
  std::map<Cspf::LinkKey, std::set<AdjSegmentEntry>> lists;
  std::map<AdjacencySegmentKey, std::set<Cspf::LinkKey>> links;
  std::map<AdjacencySegmentKey, std::set<AdjSegmentEntry>> entries;
  std::map<Pair, unsigned> filers;  // keys filing each pair
  // A key's entries on a link, and how many of its records name the link.
  std::map<std::pair<AdjacencySegmentKey, Cspf::LinkKey>, std::set<AdjSegmentEntry>> filedOn;
  std::map<std::pair<AdjacencySegmentKey, Cspf::LinkKey>, unsigned> records;
};
using Model = std::map<unsigned, ProtoModel>;

Model modelOf(Table const& table) {
  Model model;
  for (auto const& [k, records] : table) {
    bool same = true;
    for (AdjacencySegmentNeighbor const& r : records)
      same = same && r.neighbor == records.front().neighbor;
    for (unsigned p : k.routerId().af() == 3 ? std::set<unsigned>{1, 2} : std::set<unsigned>{0}) {
      ProtoModel& m = model[p];
      std::set<Pair> filed;
      for (AdjacencySegmentNeighbor const& r : records) {
        if (same && r.protoInstance == p) {
          filed.insert({modelLink(r), AdjSegmentEntry(k.sidFlag() != 0, r.metric, k.sid())});
          ++m.records[{k, modelLink(r)}];
        }
      }
      for (Pair const& f : filed) {
        m.lists[f.first].insert(f.second);
        m.links[k].insert(f.first);
        m.entries[k].insert(f.second);
        ++m.filers[f];
        m.filedOn[{k, f.first}].insert(f.second);
      }
    }
  }
  return model;
}

// The value under `key`, or an empty one.
template <class Map>
typename Map::mapped_type const& under(Map const& map, typename Map::key_type const& key) {
  static typename Map::mapped_type const none{};
  auto const m = map.find(key);
  return m != map.end() ? m->second : none;
}

// Each key of `table` with the keys of its value's members.
template <class Table, class Members, class Into>
void collect(Table const& table, Members members, Into& into) {
  for (auto k = table.begin(); !k.atEnd(); ++k) {
    auto& set = into[k->key()];
    for (auto e = members(k->value()).begin(); !e.atEnd(); ++e)
      set.insert(e->key());
  }
}

class AdjacencySegmentModelTest : public ::testing::Test {
 protected:
  // What the connector map and the entry cache hold under p; a stored empty
  // value shows as an empty set, which the model never holds.
  ProtoModel observed(unsigned short p) const {
    ProtoModel m;
    auto const entries = [](auto const& v) -> auto const& {
      return v.adjSegmentEntryCollection();
    };
    if (auto lists = connectors_->map(p))
      collect(lists->adjSegmentListCollection(), entries, m.lists);
    if (auto links = connectors_->cache(p)) {
      collect(
          links->neighborSetCollection(),
          [](NeighborSet const& v) -> auto const& { return v.linkCollection(); }, m.links);
    }
    if (auto sets = mapper_->adjSegmentEntryCache(p))
      collect(sets->adjSegmentSetCollection(), entries, m.entries);
    return m;
  }

  ::testing::AssertionResult matchesModel() const {
    std::size_t shared = 0;
    for (unsigned short p = 0; p < 3; ++p) {
      ProtoModel const& m = under(model_, p);
      ProtoModel const o = observed(p);
      // A per-protoId table exists exactly while it has a member.
      bool const tables = connectors_->mapHas(p) == !o.lists.empty() &&
                          connectors_->cacheHas(p) == !o.links.empty() &&
                          mapper_->adjSegmentEntryCacheHas(p) == !o.entries.empty();
      if (!tables || o.lists != m.lists || o.links != m.links || o.entries != m.entries)
        return ::testing::AssertionFailure() << "connector map or cache under protoId " << p;
      for (auto const& [pair, n] : m.filers) {
        shared += n > 1 ? 1 : 0;
        if (mapper_->sharedEntryCount(p, pair.first, pair.second) != (n > 1 ? n : 0))
          return ::testing::AssertionFailure()
                 << pair.first << " " << pair.second << " under " << p << ": filed by " << n
                 << " keys, counted " << mapper_->sharedEntryCount(p, pair.first, pair.second);
      }
    }
    if (mapper_->sharedEntryCountCollection().size() != shared)
      return ::testing::AssertionFailure() << "counts of members no two keys file";
    return connectors_->mapCount() <= 3 && connectors_->cacheCount() <= 3
               ? ::testing::AssertionSuccess()
               : ::testing::AssertionFailure() << "protoIds outside 0..2";
  }

  // The mapper of the family, built over the table as it stands.
  void startUp() {
    model_ = mine(af_) ? modelOf(tables_[af_ == AddressFamily::ipv4]) : Model();
    mapper_ = adjacencySegmentMapperV2Factory(af_, status_, connectors_);
  }
  bool mine(AddressFamily af) const {
    return (af == AddressFamily::ipv4 || af == AddressFamily::ipv6) && af == af_;
  }

  void runOnce(std::uint64_t seed, unsigned steps);

  // Checks each publication of a link list during one change of `key`
  // against the models before (model_) and after (next_) it.
  struct Watch {
    Watch(AdjacencySegmentModelTest* t, AdjacencySegmentKey const& k, unsigned p,
          Pavo::Ptr<AdjSegmentListPerProtoId> lists)
        : test(t), key(k), protoId(p), lists(std::move(lists)) {
      for (auto l = this->lists->adjSegmentListCollection().begin(); !l.atEnd(); ++l)
        rank.emplace(l->key(), rank.size());
      record.subscribe(*this->lists->publisher());
    }
    ~Watch() { record.unsubscribe(); }
    static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId, void const* key,
                         void const*) {
      Watch& w = Record::ownerOf(s);
      auto const& link = *static_cast<Cspf::LinkKey const*>(key);
      ProtoModel const& after = under(w.test->next_, w.protoId);
      ProtoModel const& before = under(w.test->model_, w.protoId);
      AdjSegmentList const list = w.lists->adjSegmentList(link);
      std::set<AdjSegmentEntry> const& mineAfter = under(after.filedOn, {w.key, link});
      std::set<AdjSegmentEntry> const& mineBefore = under(before.filedOn, {w.key, link});
      bool carries = false;
      for (AdjSegmentEntry const& e : mineAfter)
        carries = carries || list.adjSegmentEntryHas(e);
      bool others = true;
      for (AdjSegmentEntry const& e : under(before.lists, link))
        others = others &&
                 (before.filers.at({link, e}) == mineBefore.count(e) || list.adjSegmentEntryHas(e));
      std::string const what = "link " + link.toString();
      if (mineAfter.empty() && mineBefore.empty())
        w.test->published_ += what + " not the key's; ";
      if (!mineAfter.empty() && !carries)
        w.test->published_ += what + " without the key; ";
      if (!others)
        w.test->published_ += what + " without another key's entry; ";
      if (under(after.lists, link) == under(before.lists, link) &&
          under(after.records, {w.key, link}) < 2)
        w.test->published_ += what + " unchanged; ";
      // The links the key leaves go out in the order the table walked them.
      if (!mineBefore.empty() && mineAfter.empty()) {
        if (w.rank.at(link) < w.lastLeft)
          w.test->published_ += what + " left out of the table's order; ";
        w.lastLeft = w.rank.at(link);
      }
    }
    using Record = Pavo::ScopedSubscriber<Watch, &Watch::dispatch>;
    AdjacencySegmentModelTest* test;
    AdjacencySegmentKey key;
    unsigned protoId;
    Pavo::Ptr<AdjSegmentListPerProtoId> lists;
    std::map<Cspf::LinkKey, std::size_t> rank;  // of each link in the table's walk
    std::size_t lastLeft = 0;
    Record record{*this};
  };
  AddressFamily af_;
  Table tables_[2];  // [1]: IPv4, [0]: IPv6
  Model model_, next_;
  std::string published_;
  Pavo::Ptr<Status> status_;
  Pavo::Ptr<AdjSegmentConnectorMapV2> connectors_;
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper_;
};

void AdjacencySegmentModelTest::runOnce(std::uint64_t seed, unsigned steps) {
  std::mt19937_64 rng(seed);
  auto const pick = [&rng](unsigned n) {
    return std::uniform_int_distribution<unsigned>(0, n - 1)(rng);
  };
  af_ = seed % 5 == 4   ? AddressFamily::fromValue(7)
        : seed % 2 == 0 ? AddressFamily::ipv4
                        : AddressFamily::ipv6;
  status_ = Status::StatusIs();
  connectors_ = adjSegmentConnectorMapV2Factory();
  tables_[0].clear();
  tables_[1].clear();

  // A random write: a key of 6 routers (3 with router-id word 3) and 1 to 4
  // SIDs (fewer SIDs, more keys filing equal entries); 0 to 4 records over
  // shared links, metrics of two values, mostly one neighbour, protocol
  // instances 0 to 2.
  unsigned const sids = 1 + static_cast<unsigned>(seed / 5 % 4);
  auto const randomKey = [&] { return key(16000 + pick(sids), pick(6), pick(4) == 0); };
  // Now and then a key of up to 40 records over twice the links and eight
  // metrics (more link-metric pairs than one machine word).
  auto const randomSegment = [&](AdjacencySegmentKey const& k) {
    AdjacencySegment s(k, static_cast<std::uint8_t>(pick(2)));
    Mpls::RouterId const neighbor = Mpls::RouterId::isis(systemId(pick(3)));
    bool const big = pick(60) == 0;
    for (unsigned n = big ? pick(41) : pick(5); n > 0; --n) {
      bool const mixed = !big && pick(12) == 0;
      unsigned const proto = k.routerId().af() == 3 ? 1 + pick(2) : 0;
      s.neighbors().push(record(pick(big ? 2 * kLinks : kLinks),
                                mixed ? Mpls::RouterId::isis(systemId(pick(3))) : neighbor,
                                10 * (1 + pick(big ? 8 : 2)),
                                static_cast<std::uint8_t>(pick(8) == 0 ? pick(3) : proto)));
    }
    return s;
  };
  auto const recordsOf = [](AdjacencySegment const& s) {
    return Records(s.neighbors().begin(), s.neighbors().begin() + s.count());
  };
  // Writes (or, null, removes) the key in the table and in its copy.
  auto const write = [&](bool v4, AdjacencySegment const* s, AdjacencySegmentKey const& k) {
    if (s == nullptr) {
      tables_[v4].erase(k);
      v4 ? status_->ipv4AdjacencySegmentDel(k) : status_->ipv6AdjacencySegmentDel(k);
      return;
    }
    tables_[v4][k] = recordsOf(*s);
    v4 ? status_->ipv4AdjacencySegmentIs(*s) : status_->ipv6AdjacencySegmentIs(*s);
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
    if (pick(200) == 0) {  // destroy and recreate over the same table and map
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
    bool const reaches = mine(v4 ? AddressFamily::ipv4 : AddressFamily::ipv6);
    Table after = tables_[v4];
    next != nullptr ? void(after[k] = recordsOf(s)) : void(after.erase(k));
    next_ = reaches ? modelOf(after) : model_;
    // Watch the link lists the change may touch, as they are before it.
    std::vector<std::unique_ptr<Watch>> watches;
    for (unsigned p = 0; p < 3 && reaches; ++p) {
      if (auto lists = connectors_->map(static_cast<unsigned short>(p)))
        watches.push_back(std::make_unique<Watch>(this, k, p, lists));
    }
    write(v4, next, k);
    model_ = next_;
    ASSERT_EQ(published_, "") << "step " << step << " " << k;
    ASSERT_TRUE(matchesModel()) << "step " << step << (next ? " write " : " remove ") << k;
  }
  mapper_.reset();
  EXPECT_EQ(connectors_->mapCount() + connectors_->cacheCount(), 0u) << "after the mapper";
  EXPECT_EQ(status_->publisher()->subscriberCount(), 0u);
}

TEST_F(AdjacencySegmentModelTest, RandomChangesKeepTheConnectorMapEqualToTheModel) {
  TestSupport::seededRuns(
      "ADJSEG_MODEL_SEED", 20261206, "ADJSEG_MODEL_STEPS", 60000, kStepsPerRun,
      [&](std::uint64_t seed, unsigned steps) { runOnce(seed, steps); },
      [&] {
        mapper_.reset();
        connectors_.reset();
        status_.reset();
      });
}

// The mapper's assertions on a connector map changed behind its back.
Mpls::RouterId const kNeighbor = Mpls::RouterId::isis(systemId(9));

// A table with key 16001 of router 0 on links 0 (kind 2) and 1 (kind 1),
// and an IPv4 mapper over it.
struct Filed {
  Filed() {
    AdjacencySegment s(kKey);
    s.neighbors().push(record(0, kNeighbor, 10, 0));
    s.neighbors().push(record(1, kNeighbor, 20, 0));
    status->ipv4AdjacencySegmentIs(s);
    mapper = adjacencySegmentMapperV2Factory(AddressFamily::ipv4, status, connectors);
  }
  AdjacencySegmentKey const kKey = key(16001, 0, true);
  Pavo::Ptr<Status> status = Status::StatusIs();
  Pavo::Ptr<AdjSegmentConnectorMapV2> connectors = adjSegmentConnectorMapV2Factory();
  Pavo::Ptr<AdjacencySegmentMapperV2> mapper;
};

TEST(AdjacencySegmentMapperDeathTest, ABrokenInvariantStopsTheProcessNamingIt) {
  std::string const where =
      " \\[source Pathkit/SegmentRoutingMappers\\] in void "
      "SegmentRouting::Mappers::AdjacencySegmentMapperV2::manageAdjSegment\\(const "
      "Kroma::SegmentRouting::AdjacencySegmentKey&, const "
      "Kroma::SegmentRouting::AdjacencySegment&, U16\\)";
  std::vector<std::pair<std::function<void(Filed&)>, std::string>> const cases{
      {[](Filed& f) { f.mapper->adjSegmentEntryCacheDel(0); },
       "adjSegmentEntryCacheHas\\( protoId \\)"},
      {[](Filed& f) { f.mapper->adjSegmentEntryCache(0)->adjSegmentSetDel(f.kKey); },
       "adjSegmentEntryCache\\( protoId \\)->adjSegmentSetHas\\( key \\)"},
      {[](Filed& f) { f.connectors->mapDel(0); }, "connectorMap\\(\\)->mapHas\\( protoId \\)"},
      {[](Filed& f) {
         f.connectors->map(0)->adjSegmentListDel(linkKeyOf(record(1, kNeighbor, 0, 0)));
       },
       "connectorMap\\(\\)->map\\( protoId \\)->adjSegmentListHas\\( linkKey \\)"},
  };
  for (auto const& [breakIt, text] : cases) {
    Filed f;
    breakIt(f);
    EXPECT_DEATH(f.status->ipv4AdjacencySegmentDel(f.kKey), "assertion failed: " + text + where);
  }
}

}  // namespace
