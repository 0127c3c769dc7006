#include "oracles/Invariants.h"

#include <cstdint>
#include <map>
#include <set>

namespace Srmap {

namespace M = SegmentRouting::Mappers;

namespace {

std::string algoText(unsigned algo) {
  return "algorithm " + std::to_string(algo);
}
std::string protoText(unsigned short protoId) {
  return "protoId " + std::to_string(protoId);
}

}  // namespace

Violations invariantViolations(M::NodeSegmentReverseMapper const* mapper,
                               M::RouterToNodeSegmentMapPerAlgo const& out, bool cacheComplete) {
  Violations v;
  std::size_t mapped = 0;
  for (auto a = out.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
    if (a->value()->algo() != a->key() || a->value()->prefixMapCount() == 0)
      v.push_back(algoText(a->key()) + ": map empty or under another algorithm");
    auto const& routers = a->value()->prefixMapCollection();
    for (auto r = routers.begin(); !r.atEnd(); ++r) {
      if (r->value()->routerId() != r->key() || r->value()->prefixCount() == 0)
        v.push_back(algoText(a->key()) + ", router " + r->key().toString() +
                    ": entry empty or under another router");
      auto const& prefixes = r->value()->prefixCollection();
      for (auto p = prefixes.begin(); mapper != nullptr && !p.atEnd(); ++p, ++mapped) {
        std::string const what = p->key().toString() + " " + algoText(a->key());
        auto const cached = mapper->prefixToOriginatorCacheGet(
            Mpls::SegmentRouting::PrefixAlgoKey(p->key(), a->key()));
        if (!p->value() || !cached || *cached != r->key())
          v.push_back(what + ": mapped but not cached under its router " + r->key().toString());
        if (p->key().af() != mapper->af())
          v.push_back(what + ": of the other address family");
      }
    }
  }
  if (mapper != nullptr && cacheComplete && mapper->prefixToOriginatorCacheCount() != mapped)
    v.push_back("the cache holds " + std::to_string(mapper->prefixToOriginatorCacheCount()) +
                " keys, the output maps " + std::to_string(mapped));
  return v;
}

Violations invariantViolations(M::AdjacencySegmentMapperV2 const* mapper,
                               M::AdjSegmentConnectorMapV2 const& out) {
  Violations v;
  for (auto p = out.mapCollection().begin(); !p.atEnd(); ++p) {
    auto const& lists = p->value()->adjSegmentListCollection();
    if (p->value()->protoId() != p->key() || lists.size() == 0)
      v.push_back(protoText(p->key()) + ": link table empty or under another protoId");
    for (auto l = lists.begin(); !l.atEnd(); ++l) {
      if (l->value().adjSegmentEntryCount() == 0)
        v.push_back(protoText(p->key()) + ": empty list of " + l->key().toString());
    }
  }
  if (mapper == nullptr)
    return v;
  if (out.cacheCount() != mapper->adjSegmentEntryCacheCount())
    v.push_back("the connector map files keys under " + std::to_string(out.cacheCount()) +
                " protoIds, the entry cache under " +
                std::to_string(mapper->adjSegmentEntryCacheCount()));
  // How many keys file each (link, entry, protoId): a key files the product
  // of its links and entries, or, with two or more of both, its recorded pairs.
  std::map<M::AdjacencySegmentMapperV2::SharedEntryKey, std::uint32_t> filers;
  std::size_t recorded = 0;
  for (auto p = out.cacheCollection().begin(); !p.atEnd(); ++p) {
    auto const entries = mapper->adjSegmentEntryCache(p->key());
    auto const lists = out.map(p->key());
    auto const& keys = p->value()->neighborSetCollection();
    if (!entries || entries->protoId() != p->key() || p->value()->protoId() != p->key() ||
        keys.size() != entries->adjSegmentSetCollection().size() || keys.size() == 0) {
      v.push_back(protoText(p->key()) + ": the entry cache and the key table disagree");
      if (!entries)
        continue;
    }
    for (auto k = keys.begin(); !k.atEnd(); ++k) {
      std::string const key = k->key().toString();
      M::AdjSegmentSet const* filed = entries->adjSegmentSetFind(k->key());
      if (!filed || filed->adjSegmentEntryCount() == 0 || k->value().linkCount() == 0)
        v.push_back(key + ": links without entries, or none");
      if (!filed)
        continue;
      bool const byPair = k->value().linkCount() > 1 && filed->adjSegmentEntryCount() > 1;
      recorded += byPair ? 1 : 0;
      std::set<Cspf::LinkKey> linksUsed;
      std::set<M::AdjSegmentEntry> entriesUsed;
      for (auto l = k->value().linkCollection().begin(); !l.atEnd(); ++l) {
        M::AdjSegmentList const* list = lists ? lists->adjSegmentListFind(l->key()) : nullptr;
        for (auto e = filed->adjSegmentEntryCollection().begin(); !e.atEnd(); ++e) {
          if (byPair && !mapper->filedPairHas(p->key(), k->key(), l->key(), e->key().metric()))
            continue;
          linksUsed.insert(l->key());
          entriesUsed.insert(e->key());
          ++filers[{l->key(), e->key(), p->key()}];
          if (!list || !list->adjSegmentEntryHas(e->key()))
            v.push_back(key + " files metric " + std::to_string(e->key().metric()) + " on " +
                        l->key().toString() + ", which the link does not list");
        }
      }
      if (linksUsed.size() != k->value().linkCount() ||
          entriesUsed.size() != filed->adjSegmentEntryCount())
        v.push_back(key + ": a link or an entry of its caches in none of its pairs");
    }
  }
  if (recorded != mapper->filedPairsCount())
    v.push_back("pairs recorded for " + std::to_string(mapper->filedPairsCount()) + " keys, " +
                std::to_string(recorded) + " keys have two or more links and entries");
  std::size_t shared = 0;
  for (auto const& [pair, n] : filers)
    shared += n > 1 ? 1 : 0;
  if (shared != mapper->sharedEntryCountCollection().size())
    v.push_back(std::to_string(mapper->sharedEntryCountCollection().size()) +
                " shared members counted, " + std::to_string(shared) +
                " filed by two keys or more");
  for (auto p = out.mapCollection().begin(); !p.atEnd(); ++p) {
    if (!out.cache(p->key()) || !mapper->adjSegmentEntryCache(p->key()))
      v.push_back(protoText(p->key()) + ": links filed without keys");
    auto const& lists = p->value()->adjSegmentListCollection();
    for (auto l = lists.begin(); !l.atEnd(); ++l) {
      for (auto e = l->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e) {
        auto const filed = filers.find({l->key(), e->key(), p->key()});
        std::string const what = protoText(p->key()) + ": " + l->key().toString();
        if (filed == filers.end()) {
          v.push_back(what + " lists an entry no key files there");
          continue;
        }
        std::uint32_t const counted = mapper->sharedEntryCount(p->key(), l->key(), e->key());
        if (counted != (filed->second > 1 ? filed->second : 0))
          v.push_back(what + ": metric " + std::to_string(e->key().metric()) + " filed by " +
                      std::to_string(filed->second) + " keys, counted " + std::to_string(counted));
      }
    }
  }
  return v;
}

Violations emptiedViolations(M::RouterToNodeSegmentMapPerAlgo const& out) {
  if (out.routerToNodeSegmentMapCount() == 0)
    return {};
  return {"a destroyed mapper or a failed build left " +
          std::to_string(out.routerToNodeSegmentMapCount()) + " algorithm maps"};
}

Violations emptiedViolations(M::AdjSegmentConnectorMapV2 const& out) {
  if (out.mapCount() == 0 && out.cacheCount() == 0)
    return {};
  return {"a destroyed mapper or a failed build left " + std::to_string(out.mapCount()) +
          " link tables and " + std::to_string(out.cacheCount()) + " key tables"};
}

}  // namespace Srmap
