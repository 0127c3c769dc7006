// soak: millions of random status-table events through both mappers, with
// subscribers on their outputs, to show that nothing grows with time.
//
//   soak [EVENTS [SEED]]     (default 10000000 events, seed 1)
//
// The table starts with every key of a fixed pool present (its baseline
// entry): prefix segments of both collections under an IPv4 node-segment
// mapper, IPv4 adjacency segments under an adjacency mapper. That is the
// steady state. Then it runs rounds: random replacements, removals and
// returns of pool keys (originator moves, flag flips, record counts, links,
// metrics, protocol instances, now and then mixed neighbours), after which
// every touched key gets its baseline entry back, so that each round ends in
// the state the steady state started in. At every round's end both mappers'
// invariants must hold (Srmap::invariantViolations). Every tracked type's
// live objects and bytes are printed at the start, every few million events
// (at a round's end) and at the end, with the events per second. The exit
// status is 1 at the first invariant violation (printed), when any tracker
// holds more at the end than at the start, or when anything is left once
// everything is destroyed.
//
// Four adjacency keys share each SID, so that equal entries of several keys
// share list members on the links they have in common.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Granule/AllocTrack.h"
#include "Granule/AllocTrackSnapshot.h"
#include "Pathkit/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers.h"
#include "Pathkit/Subscription.h"
#include "oracles/Invariants.h"

namespace {

using namespace SegmentRouting::Mappers;
using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::Status;
using Mpls::SegmentRouting::PrefixAlgoKey;

constexpr unsigned kPrefixes = 4096;
constexpr unsigned kRouters = 64;
constexpr unsigned kAdjKeys = 1024;
constexpr unsigned kLinks = 256;
constexpr unsigned kMaxRecords = 3;  // baseline entries hold the most, so nodes never grow
constexpr std::uint64_t kRoundEvents = 100000;
constexpr std::uint64_t kReportEvery = 2000000;

void print(char const* when, std::uint64_t events, double seconds, std::uint64_t notes,
           Vek::AllocTrackSnapshot const& s) {
  std::printf("%s: %llu events, %.0f events/s, %llu notifications\n", when,
              static_cast<unsigned long long>(events), seconds > 0 ? events / seconds : 0.0,
              static_cast<unsigned long long>(notes));
  for (auto const& [name, t] : s.trackers()) {
    if (t.objects != 0 || t.bytes != 0)
      std::printf("  %-60s %10llu live %12llu bytes\n", name.c_str(),
                  static_cast<unsigned long long>(t.objects),
                  static_cast<unsigned long long>(t.bytes));
  }
  std::fflush(stdout);
}

Routing::Isis::SystemId systemId(unsigned i) {
  return Routing::Isis::SystemId({0x19, 0x21, 0x68, static_cast<std::uint8_t>(i >> 16),
                                  static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)});
}

class Soak {
 public:
  explicit Soak(std::uint32_t seed) : rng_(seed) {
    nodeMapper_ = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status_, nodeOut_);
    adjMapper_ = adjacencySegmentMapperV2Factory(Vantre::AddressFamily::ipv4, status_, adjOut_);
  }

  // Every pool key with its baseline entry.
  std::uint64_t fill() {
    for (unsigned k = 0; k < kPrefixes * 2; ++k)
      nodeWrite(k, baseline(k));
    for (unsigned k = 0; k < kAdjKeys; ++k)
      status_->ipv4AdjacencySegmentIs(adjBaseline(k));
    return kPrefixes * 2 + kAdjKeys;
  }

  // One round of random events, then the touched keys' baselines back.
  std::uint64_t round() {
    std::vector<unsigned> nodeTouched, adjTouched;
    for (std::uint64_t i = 0; i < kRoundEvents; ++i) {
      if (pick(2) == 0) {
        unsigned const k = pick(kPrefixes * 2);
        nodeTouched.push_back(k);
        if (pick(4) == 0) {
          nodeDel(k);
        } else {
          PrefixSegmentInfo info(router(pick(kRouters)), kFlags[pick(sizeof kFlags)]);
          records(info, pick(kMaxRecords + 1));
          nodeWrite(k, info);
        }
      } else {
        unsigned const k = pick(kAdjKeys);
        adjTouched.push_back(k);
        if (pick(4) == 0) {
          status_->ipv4AdjacencySegmentDel(adjKey(k));
        } else {
          status_->ipv4AdjacencySegmentIs(adjRandom(k));
        }
      }
    }
    for (unsigned k : nodeTouched)
      nodeWrite(k, baseline(k));
    for (unsigned k : adjTouched)
      status_->ipv4AdjacencySegmentIs(adjBaseline(k));
    return kRoundEvents + nodeTouched.size() + adjTouched.size();
  }

  std::uint64_t notifications() const { return notes_; }
  // Both mappers' invariant violations, each under its mapper's name.
  Srmap::Violations violations() const {
    Srmap::Violations v;
    auto const add = [&v](char const* mapper, Srmap::Violations const& found) {
      for (std::string const& f : found)
        v.push_back(mapper + (": " + f));
    };
    add("node", Srmap::invariantViolations(nodeMapper_.get(), *nodeOut_));
    add("adjacency", Srmap::invariantViolations(adjMapper_.get(), *adjOut_));
    return v;
  }

 private:
  static constexpr std::uint8_t kFlags[] = {0x04, 0x04, 0x04, 0x14, 0x10, 0x00};

  unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(rng_); }
  static Mpls::RouterId router(unsigned i) { return Mpls::RouterId::ipv4(0xC0000000u + i); }
  static Vantre::IpGenPrefix prefix(unsigned i) {
    return Vantre::IpGenPrefix::ipv4(0x0A000000u + i, 32);
  }
  static void records(PrefixSegmentInfo& info, unsigned n) {
    for (unsigned r = 0; r < n; ++r)
      info.records().push({16000 + r, 0x40, 0, {}});
  }
  static PrefixSegmentInfo baseline(unsigned k) {
    PrefixSegmentInfo info(router(k % kRouters), 0x04);
    records(info, kMaxRecords);
    return info;
  }
  // Keys below kPrefixes are prefix segments, the others (prefix, 128).
  void nodeWrite(unsigned k, PrefixSegmentInfo const& info) {
    if (k < kPrefixes) {
      status_->prefixSegmentIs({prefix(k), info});
    } else {
      status_->prefixSegmentWithAlgoIs({PrefixAlgoKey(prefix(k - kPrefixes), 128), info});
    }
  }
  void nodeDel(unsigned k) {
    if (k < kPrefixes) {
      status_->prefixSegmentDel(prefix(k));
    } else {
      status_->prefixSegmentWithAlgoDel(PrefixAlgoKey(prefix(k - kPrefixes), 128));
    }
  }

  // Key k: SID 100000 + k / 4 (keys 4j to 4j + 3 share one); every fourth
  // router is an IS-IS one (protoIds 1 and 2).
  static AdjacencySegmentKey adjKey(unsigned k) {
    Mpls::RouterId const r =
        k % 4 == 3 ? Mpls::RouterId::isis(systemId(k)) : Mpls::RouterId::ipv4(0xC0A80000u + k);
    return {{100000 + k / 4, static_cast<std::uint8_t>(k / 4 % 2 ? 0x40 : 0)}, r};
  }
  static AdjacencySegmentNeighbor adjRecord(unsigned k, unsigned link, unsigned neighbor,
                                            std::uint32_t metric, std::uint8_t proto) {
    AdjacencySegmentNeighbor r;
    r.link.firstVertex = Cspf::VertexIdentifierBase(systemId(k));
    r.link.secondVertex = Cspf::VertexIdentifierBase(systemId(link));
    r.link.vertexKind = link % 2 == 0 ? Cspf::LinkDescription::kKindRemoteBySystemId : 1;
    r.link.linkId = link;
    r.neighbor = Mpls::RouterId::isis(systemId(neighbor));
    r.metric = metric;
    r.protoInstance = proto;
    return r;
  }
  // The keys of one SID (group g = k / 4) name links from router g to its
  // neighbours g to g + 3: the baseline files equal entries of its keys on
  // shared links, and random entries often meet them.
  static AdjacencySegment adjBaseline(unsigned k) {
    AdjacencySegment s(adjKey(k));
    unsigned const g = k / 4;
    for (unsigned r = 0; r < kMaxRecords; ++r)
      s.neighbors().push(adjRecord(g % kLinks, (g + r) % kLinks, g, 10,
                                   static_cast<std::uint8_t>(k % 4 == 3 ? 1 + r % 2 : 0)));
    return s;
  }
  AdjacencySegment adjRandom(unsigned k) {
    AdjacencySegment s(adjKey(k));
    unsigned const g = k / 4;
    for (unsigned r = 1 + pick(kMaxRecords); r > 0; --r)
      s.neighbors().push(
          adjRecord(pick(4) == 0 ? pick(kLinks) : g % kLinks, (g + pick(kMaxRecords + 1)) % kLinks,
                    pick(20) == 0 ? r : g, pick(2) == 0 ? 10 : 1 + pick(3),
                    static_cast<std::uint8_t>(k % 4 == 3 ? 1 + pick(2) : pick(3) / 2)));
    return s;
  }

  // Subscribers on every output entity while it exists: the roots, each
  // algorithm map, each router entry and each per-protoId table.
  template <class Entity, class Key, class Prior>
  using Watch = std::unique_ptr<Subscription<Entity, Key, Prior>>;
  template <class Entity, class Key, class Prior, class Fn>
  static Watch<Entity, Key, Prior> watch(Pavo::Ptr<Entity> const& e, Pavo::FieldId f, Fn fn) {
    return std::make_unique<Subscription<Entity, Key, Prior>>(e, f, std::move(fn));
  }
  void algoAppeared(unsigned char algo) {
    algoWatch_[algo] =
        watch<RouterToNodeSegmentMap, Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>>(
            nodeOut_->routerToNodeSegmentMap(algo), RouterToNodeSegmentMap::kPrefixMapField,
            [this, algo](Mpls::RouterId const& r, Pavo::Ptr<RouterToNodeSegment> const* removed) {
              note();
              if (removed != nullptr) {
                routerWatch_.erase({algo, r});
              } else {
                routerWatch_[{algo, r}] = watch<RouterToNodeSegment, Vantre::IpGenPrefix, bool>(
                    nodeOut_->routerToNodeSegmentMap(algo)->prefixMap(r),
                    RouterToNodeSegment::kPrefixField,
                    [this](Vantre::IpGenPrefix const&, bool const*) { note(); });
              }
            });
  }
  // The connector map's per-protoId tables under `field`, each watched while it is there.
  template <class Table, class Key, class Value>
  Watch<AdjSegmentConnectorMapV2, unsigned short, Pavo::Ptr<Table>> tablesWatch(
      Pavo::FieldId field,
      Pavo::Ptr<Table> (AdjSegmentConnectorMapV2::*child)(unsigned short) const,
      std::map<unsigned short, Watch<Table, Key, Value>>& tables) {
    return watch<AdjSegmentConnectorMapV2, unsigned short, Pavo::Ptr<Table>>(
        adjOut_, field, [this, child, &tables](unsigned short p, Pavo::Ptr<Table> const* removed) {
          note();
          if (removed != nullptr) {
            tables.erase(p);
          } else {
            tables[p] = watch<Table, Key, Value>(((*adjOut_).*child)(p), Table::kTableField,
                                                 [this](Key const&, Value const*) { note(); });
          }
        });
  }
  void note() { ++notes_; }

  std::mt19937 rng_;
  std::uint64_t notes_ = 0;
  Pavo::Ptr<Status> status_ = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> nodeOut_ = routerToNodeSegmentMapPerAlgoFactory();
  Pavo::Ptr<AdjSegmentConnectorMapV2> adjOut_ = adjSegmentConnectorMapV2Factory();
  std::map<std::pair<unsigned char, Mpls::RouterId>,
           Watch<RouterToNodeSegment, Vantre::IpGenPrefix, bool>>
      routerWatch_;
  std::map<unsigned char,
           Watch<RouterToNodeSegmentMap, Mpls::RouterId, Pavo::Ptr<RouterToNodeSegment>>>
      algoWatch_;
  std::map<unsigned short, Watch<AdjSegmentListPerProtoId, Cspf::LinkKey, AdjSegmentList>>
      listWatch_;
  std::map<unsigned short,
           Watch<NeighborSetPerProtoId, AdjacencySegmentKey, SegmentRouting::Mappers::NeighborSet>>
      linkWatch_;
  Watch<RouterToNodeSegmentMapPerAlgo, unsigned char, Pavo::Ptr<RouterToNodeSegmentMap>>
      rootWatch_ =
          watch<RouterToNodeSegmentMapPerAlgo, unsigned char, Pavo::Ptr<RouterToNodeSegmentMap>>(
              nodeOut_, RouterToNodeSegmentMapPerAlgo::kRouterToNodeSegmentMapField,
              [this](unsigned char algo, Pavo::Ptr<RouterToNodeSegmentMap> const* removed) {
                note();
                removed != nullptr ? void(algoWatch_.erase(algo)) : algoAppeared(algo);
              });
  Watch<AdjSegmentConnectorMapV2, unsigned short, Pavo::Ptr<AdjSegmentListPerProtoId>> mapWatch_ =
      tablesWatch(AdjSegmentConnectorMapV2::kMapField, &AdjSegmentConnectorMapV2::map, listWatch_);
  Watch<AdjSegmentConnectorMapV2, unsigned short, Pavo::Ptr<NeighborSetPerProtoId>> cacheWatch_ =
      tablesWatch(AdjSegmentConnectorMapV2::kCacheField, &AdjSegmentConnectorMapV2::cache,
                  linkWatch_);
  Pavo::Ptr<NodeSegmentReverseMapper> nodeMapper_;
  Pavo::Ptr<AdjacencySegmentMapperV2> adjMapper_;
};

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t const target = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000000;
  auto const seed = static_cast<std::uint32_t>(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 1);
  std::printf("soak: %llu events, seed %u\n", static_cast<unsigned long long>(target), seed);
  using Clock = std::chrono::steady_clock;
  int status = 0;
  {
    Soak soak(seed);
    std::uint64_t events = soak.fill();
    Vek::AllocTrackSnapshot const start;
    print("start of steady state", events, 0, soak.notifications(), start);
    auto const t0 = Clock::now();
    std::uint64_t steady = 0, nextReport = kReportEvery;
    Vek::AllocTrackSnapshot end = start;
    while (steady < target) {
      steady += soak.round();
      if (Srmap::Violations const v = soak.violations(); !v.empty()) {
        std::printf("INVARIANT after %llu events: %s (%zu violations)\n",
                    static_cast<unsigned long long>(steady), v.front().c_str(), v.size());
        return 1;
      }
      end = Vek::AllocTrackSnapshot();
      double const seconds = std::chrono::duration<double>(Clock::now() - t0).count();
      if (steady >= nextReport || steady >= target) {
        print(steady >= target ? "end of steady state" : "steady state", steady, seconds,
              soak.notifications(), end);
        nextReport += kReportEvery;
      }
    }
    for (auto const& grew : end.growthSince(start)) {
      std::printf("GREW: %s\n", Vek::AllocTrackSnapshot::text({grew}).c_str());
      status = 1;
    }
  }
  std::uint64_t const left = Vek::AllocTrackTypeInfo::liveObjectsAll();
  std::printf("after destroying everything: %llu tracked objects live\n",
              static_cast<unsigned long long>(left));
  return left != 0 ? 1 : status;
}
