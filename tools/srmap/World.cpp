#include "World.h"

#include <iostream>
#include <memory>

#include "Nimblog/Nimblog.h"

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;
using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Mpls::SegmentRouting::PrefixAlgoKey;

char const kTraceFacility[] = "SegmentRoutingMappers";

std::string withoutTrailingBlanks(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

std::string present(bool p) {
  return p ? "present" : "absent";
}

std::string number(std::size_t n) {
  return std::to_string(n);
}

PrefixSegmentInfo infoOf(PrefixSet const& s) {
  PrefixSegmentInfo info(s.originator, s.flags);
  if (s.sid) {
    Kroma::SegmentRouting::PrefixSegmentRecord record;
    record.sidValue = s.sid->value();
    record.sidFlags = s.sid->flag();
    record.algorithm = s.algo.value_or(0);
    info.records().push(record);
  }
  return info;
}

}  // namespace

World::World(ChangeLog::Sink sink)
    : table_(Kroma::SegmentRouting::Status::StatusIs()),
      pq_(M::pqIdxToPathKeyMapFactory()),
      prouter_(M::pRouterToPqIdxMapFactory()),
      log_(std::move(sink)) {
  for (Family* f : {&ipv4_, &ipv6_}) {
    f->nodeMap = M::routerToNodeSegmentMapPerAlgoFactory();
    f->adjMap = M::adjSegmentConnectorMapV2Factory();
  }
  for (Root const& r : roots(false))
    log_.follow(*r.node, r.name);
  ringSkip();
}

World::~World() {
  log_.unfollowAll();
  if (traceSinkBefore_) {
    Vek::traceLevelsAllIs(kTraceFacility, false);
    Vek::traceSinkIs(std::move(*traceSinkBefore_));
  }
}

void World::applyTrace(Trace const& t) {
  if (!traceSinkBefore_) {
    traceSinkBefore_ = Vek::traceSinkIs([this](Vek::TraceRecord const& r) {
      if (r.facility == kTraceFacility)
        traced_.push_back(std::to_string(r.level) + " " + std::string(r.text));
      if (*traceSinkBefore_)
        (*traceSinkBefore_)(r);
      else
        std::cerr << Vek::traceLineFormat(r) << "\n";
    });
  }
  ringSkip();
  for (unsigned level = 0; level <= Vek::traceLevelMax; ++level)
    Vek::traceLevelIs(kTraceFacility, level, (t.levels >> level & 1u) != 0);
}

void World::ringSkip() {
  if (Nimblog::size() != 0)
    ringTaken_ = Nimblog::records().back().seq;
}

std::string World::ringRecordFind(std::string const& text) {
  std::string first = "none";
  for (Nimblog::Record const& r : Nimblog::records()) {
    if (r.seq <= ringTaken_ || r.tiedTo != 0)
      continue;
    std::string const read = withoutTrailingBlanks(r.formatted());
    if (read == text) {
      ringTaken_ = r.seq;
      return read;
    }
    if (first == "none")
      first = read;
  }
  return first;
}

std::string World::traceLineTake() {
  if (traced_.empty())
    return "none";
  std::string line = withoutTrailingBlanks(std::move(traced_.front()));
  traced_.pop_front();
  return line;
}

std::vector<World::Root> World::roots(bool usedOnly) const {
  bool const all = !usedOnly;
  std::vector<Root> out;
  for (Vantre::AddressFamily af : {Vantre::AddressFamily::ipv4, Vantre::AddressFamily::ipv6}) {
    Family const& f = family(af);
    if (all || f.nodeUsed)
      out.push_back({"node-" + af.toString(), f.nodeMap.get(), MapperKind::node, &f, af});
    if (all || f.adjUsed)
      out.push_back({"adj-" + af.toString(), f.adjMap.get(), MapperKind::adj, &f, af});
  }
  if (all || pqUsed_)
    out.push_back({"pq", pq_.get(), MapperKind::node, nullptr, {}});
  if (all || prouterUsed_)
    out.push_back({"prouter", prouter_.get(), MapperKind::node, nullptr, {}});
  return out;
}

Kroma::KromaMapBase& World::collection(Collection c) const {
  switch (c) {
    case Collection::prefix:
      return table_->prefixSegmentMut();
    case Collection::prefixAlgo:
      return table_->prefixSegmentWithAlgoMut();
    case Collection::adjIpv4:
      return table_->ipv4AdjacencySegmentMut();
    case Collection::adjIpv6:
      break;
  }
  return table_->ipv6AdjacencySegmentMut();
}

void World::apply(Action const& action) {
  Kroma::SegmentRouting::Status& t = *table_;
  if (auto const* s = std::get_if<PrefixSet>(&action)) {
    if (s->algo)
      t.prefixSegmentWithAlgoIs(
          PrefixSegmentWithAlgo(PrefixAlgoKey(s->prefix, *s->algo), infoOf(*s)));
    else
      t.prefixSegmentIs(PrefixSegment(s->prefix, infoOf(*s)));
  } else if (auto const* d = std::get_if<PrefixDel>(&action)) {
    if (d->algo)
      t.prefixSegmentWithAlgoDel(PrefixAlgoKey(d->prefix, *d->algo));
    else
      t.prefixSegmentDel(d->prefix);
  } else if (auto const* a = std::get_if<AdjSet>(&action)) {
    // Some 58 KiB: on the heap, one at a time.
    auto const segment = std::make_unique<AdjacencySegment>(a->key, a->flags);
    for (auto const& n : a->neighbors)
      segment->neighbors().push(n);
    a->af == Vantre::AddressFamily::ipv4 ? t.ipv4AdjacencySegmentIs(*segment)
                                         : t.ipv6AdjacencySegmentIs(*segment);
  } else if (auto const* ad = std::get_if<AdjDel>(&action)) {
    ad->af == Vantre::AddressFamily::ipv4 ? t.ipv4AdjacencySegmentDel(ad->key)
                                          : t.ipv6AdjacencySegmentDel(ad->key);
  } else if (auto const* m = std::get_if<MapperSwitch>(&action)) {
    applyMapper(*m);
  } else if (auto const* p = std::get_if<Pq>(&action)) {
    applyPq(*p);
  } else if (auto const* r = std::get_if<PRouter>(&action)) {
    applyPRouter(*r);
  } else if (auto const* c = std::get_if<Corrupt>(&action)) {
    applyCorrupt(*c);
  } else if (auto const* tr = std::get_if<Trace>(&action)) {
    applyTrace(*tr);
  }
}

void World::applyCorrupt(Corrupt const& c) {
  Kroma::SegmentRouting::Status& t = *table_;
  if (c.op != Kroma::Fault::none)
    collection(c.collection).faultIs(c.op, c.after);
  else if (c.collection == Collection::prefix)
    t.prefixSegmentRecordCountIsUnchecked(c.prefix, c.count);
  else if (c.collection == Collection::prefixAlgo)
    t.prefixSegmentWithAlgoRecordCountIsUnchecked(PrefixAlgoKey(c.prefix, c.algo), c.count);
  else if (c.collection == Collection::adjIpv4)
    t.ipv4AdjacencySegmentRecordCountIsUnchecked(c.key, c.count);
  else
    t.ipv6AdjacencySegmentRecordCountIsUnchecked(c.key, c.count);
}

void World::applyMapper(MapperSwitch const& m) {
  Family& f = family(m.af);
  Pavo::Ptr<Kroma::SegmentRouting::Status const> const table(table_);
  if (m.cleanup) {  // of a running mapper (the parser sees to it); else nothing
    if (m.kind == MapperKind::node && f.nodeMapper)
      f.nodeMapper->doCleanup();
    else if (m.kind == MapperKind::adj && f.adjMapper)
      f.adjMapper->doCleanup();
  } else if (m.kind == MapperKind::node) {
    f.nodeUsed = true;
    f.nodeMapper = m.start ? M::nodeSegmentReverseMapperFactory(m.af, table, f.nodeMap) : nullptr;
  } else {
    f.adjUsed = true;
    f.adjMapper = m.start ? M::adjacencySegmentMapperV2Factory(m.af, table, f.adjMap) : nullptr;
  }
}

void World::applyPq(Pq const& p) {
  pqUsed_ = true;
  M::PqIdxToPathKeyMap& root = *pq_;
  if (p.del) {
    Pavo::Ptr<M::PqIdxToPathKey> const e = root.pathKeyMap(p.idx);
    if (p.what == Pq::What::entry)
      root.pathKeyMapDel(p.idx);
    else if (e && p.what == Pq::What::pathKey)
      e->pathKeyDel(p.pathKey);
    else if (Pavo::Ptr<M::AlgoToPathKeySet> const s = e ? e->algoSet(p.algo) : nullptr) {
      p.what == Pq::What::algoPathKey ? s->pathKeyDel(p.pathKey) : s->prefixKeyDel(p.prefix);
    }
    return;
  }
  Pavo::Ptr<M::PqIdxToPathKey> const e = root.pathKeyMapIs(p.idx);
  if (p.what == Pq::What::pathKey)
    e->pathKeyIs(p.pathKey, p.flag);
  else if (p.what == Pq::What::algoPathKey)
    e->algoSetIs(p.algo)->pathKeyIs(p.pathKey);
  else
    e->algoSetIs(p.algo)->prefixKeyIs(p.prefix);
}

void World::applyPRouter(PRouter const& p) {
  prouterUsed_ = true;
  if (!p.del) {
    prouter_->pqIndexMapIs(p.router)->pqIndexIs(*p.idx, p.flag);
  } else if (!p.idx) {
    prouter_->pqIndexMapDel(p.router);
  } else if (Pavo::Ptr<M::PRouterToPqIdx> const r = prouter_->pqIndexMap(p.router)) {
    r->pqIndexDel(*p.idx);
  }
}

std::string World::answer(Expect const& e) const {
  using W = Expect::What;
  Family const& f = family(e.af);
  switch (e.what) {
    case W::nodeAlgos:
      return number(f.nodeMap->routerToNodeSegmentMapCount());
    case W::nodeCached:
      return number(f.nodeMapper ? f.nodeMapper->prefixToOriginatorCacheCount() : 0);
    case W::nodeRouters:
    case W::nodeHas:
    case W::nodePrefixes: {
      Pavo::Ptr<M::RouterToNodeSegmentMap> const map = f.nodeMap->routerToNodeSegmentMap(*e.algo);
      if (e.what == W::nodeRouters)
        return number(map ? map->prefixMapCount() : 0);
      Pavo::Ptr<M::RouterToNodeSegment> const r = map ? map->prefixMap(e.router) : nullptr;
      if (e.what == W::nodePrefixes)
        return number(r ? r->prefixCount() : 0);
      return present(r && r->prefixHas(e.prefix));
    }
    case W::adjLinks:
    case W::adjSids:
    case W::adjHas: {
      Pavo::Ptr<M::AdjSegmentListPerProtoId> const links = f.adjMap->map(e.proto);
      if (e.what == W::adjLinks)
        return number(links ? links->adjSegmentListCount() : 0);
      M::AdjSegmentList const* list = links ? links->adjSegmentListFind(e.link) : nullptr;
      if (e.what == W::adjSids)
        return number(list ? list->adjSegmentEntryCount() : 0);
      bool found = false;
      if (list != nullptr) {
        for (auto it = list->adjSegmentEntryCollection().begin(); !it.atEnd(); ++it)
          found = found || it->key().sid() == e.sid;
      }
      return present(found);
    }
    case W::adjSidLinks: {
      Pavo::Ptr<M::NeighborSetPerProtoId> const cache = f.adjMap->cache(e.proto);
      M::NeighborSet const* links = cache ? cache->neighborSetFind(e.key) : nullptr;
      return number(links ? links->linkCount() : 0);
    }
    case W::pqEntries:
      return number(pq_->pathKeyMapCount());
    case W::pqPathKeys:
    case W::pqPrefixes: {
      Pavo::Ptr<M::PqIdxToPathKey> const entry = pq_->pathKeyMap(e.pqIdx);
      if (!e.algo)
        return number(entry ? entry->pathKeyCount() : 0);
      Pavo::Ptr<M::AlgoToPathKeySet> const s = entry ? entry->algoSet(*e.algo) : nullptr;
      return number(!s ? 0 : e.what == W::pqPrefixes ? s->prefixKeyCount() : s->pathKeyCount());
    }
    case W::prouterIndexes: {
      Pavo::Ptr<M::PRouterToPqIdx> const r = prouter_->pqIndexMap(e.router);
      return number(r ? r->pqIndexCount() : 0);
    }
    case W::corruption:
      return number(collection(e.collection).corruptionReports());
    case W::trace:
    case W::ring:
    case W::changes:
      break;  // the runner's: they read the run, not the maps
  }
  return "?";
}

}  // namespace Srmap
