// The export reader's second pass: the records of the first
// (TedRecords.h) resolved into entries: the routers the vertices stand for,
// SRGB labels, links, keys; its errors rebuild the JSON path from the
// records' positions. Then the differences between snapshots, and the
// direct fill. docs/ted-import.md tells the rules this file follows.
#include "TedImport.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "Pavo/Exception.h"
#include "TedRecords.h"
#include "Vek/QuotedText.h"

namespace Srmap {

namespace {

namespace Sr = Kroma::SegmentRouting;
using Mpls::RouterId;
using Mpls::SegmentRouting::SegmentIdentifier;

// The key's flag byte of the adjacency SIDs of the router the export was
// taken on; the adjacency mapper files them as local.
constexpr std::uint8_t kLocalKeyFlag = 0x40;

// Wire flags (docs/ted-import.md, "Flags").
constexpr std::uint8_t kIsisPrefixR = 0x80;
constexpr std::uint8_t kIsisPrefixN = 0x40;
constexpr std::uint8_t kPrefixV = 0x08;  // IS-IS and OSPF alike
constexpr std::uint8_t kOspfPrefixM = 0x20;
constexpr std::uint8_t kIsisAdjF = 0x80;
constexpr std::uint8_t kIsisAdjV = 0x20;
constexpr std::uint8_t kOspfAdjV = 0x40;

// Where an element sits: a chain of steps, turned into
// "edges[3].segment-routing[0].flags" only for an error.
struct Where {
  Where const* parent = nullptr;
  char const* field = nullptr;  // null: an array element
  std::size_t index = 0;

  Where at(std::size_t i) const { return {this, nullptr, i}; }
  Where operator/(char const* name) const { return {this, name, 0}; }
  std::string text() const {
    std::string s = parent != nullptr ? parent->text() : std::string();
    if (field == nullptr)
      return parent != nullptr ? s + "[" + std::to_string(index) + "]" : s;
    return s.empty() ? field : s + "." + field;
  }
};

struct Vertex {
  std::size_t index = 0;  // in vertices
  VertexRec const* rec = nullptr;
  // The router, once an edge or subnet advertised by this vertex named it,
  // and the first element that did (for a conflict's message).
  std::optional<RouterId> router;
  std::string namedBy;
};

class Resolver {
 public:
  Resolver(std::string_view file, TedOptions const& options, TedRecords const& records)
      : file_(file), options_(options), r_(records) {}

  TedSnapshot resolve();

 private:
  [[noreturn]] void fail(Where const& w, std::string const& what) const {
    throw ImportError(file_, w.text(), what);
  }
  template <class T>
  T const& need(std::optional<T> const& field, Where const& w) const {
    if (!field)
      fail(w, "missing");
    return *field;
  }
  RouterId router(std::string const& t, Where const& w) const {
    try {
      if (isis_)
        return RouterId::isis(Routing::Isis::SystemId::parse(t));
      return RouterId::ipv4(ipv4Of(t));
    } catch (Pavo::Exception const&) {
      fail(w, Vek::quotedText(t) +
                  (isis_ ? " is not an IS-IS system id" : " is not an IPv4 router id"));
    }
  }
  Cspf::VertexIdentifierBase vertexIdOf(RouterId const& r) const {
    return isis_ ? Cspf::VertexIdentifierBase(r.isisSystemId())
                 : Cspf::VertexIdentifierBase::fromIpv4RouterId(r.rtrIdValue());
  }
  Vertex& vertex(std::uint64_t id, Where const& w) {
    auto const it = vertices_.find(id);
    if (it == vertices_.end())
      fail(w, "no vertex " + std::to_string(id));
    return it->second;
  }

  void readVertices();
  void learn(std::optional<std::string> const& adv, std::optional<std::uint64_t> const& id,
             Where const& at, char const* vertexField);
  RouterId const& routerOf(std::uint64_t id, Where const& w);
  std::optional<RouterId> routerIfKnown(std::uint64_t id);
  std::optional<RouterId> localRouter();
  std::uint32_t label(std::uint64_t sid, bool isValue, Vertex const& v, Where const& w) const;
  void readEdge(EdgeRec const& e, Where const& at);
  void readSubnet(SubnetRec const& s, Where const& at, std::vector<PrefixSet>& out);

  std::string_view file_;
  TedOptions const& options_;
  TedRecords const& r_;
  bool isis_ = true;
  std::optional<RouterId> local_;
  std::unordered_map<std::uint64_t, Vertex> vertices_;
  // Adjacency segments by (family, key) while they collect their records.
  struct KeyHash {
    std::size_t operator()(std::pair<std::uint8_t, Sr::AdjacencySegmentKey> const& k) const {
      return k.second.hash(k.first);
    }
  };
  std::unordered_map<std::pair<std::uint8_t, Sr::AdjacencySegmentKey>, std::size_t, KeyHash> keys_;
  std::vector<AdjSet> adjacencies_;
};

Where const kRoot;

void Resolver::readVertices() {
  Where const list = kRoot / "vertices";
  for (std::size_t i = 0; i < r_.vertices.size(); ++i) {
    VertexRec const& v = r_.vertices[i];
    Where const at = list.at(i);
    std::uint64_t const id = need(v.id, at / "vertex-id");
    auto const [it, added] = vertices_.try_emplace(id, Vertex{i, &v, std::nullopt, {}});
    if (!added)
      fail(at / "vertex-id", std::to_string(id) + " names two vertices");
    if (!v.srgbLower && !v.srgbSize)
      continue;
    Where const sr = at / "segment-routing";
    std::uint64_t const lower = need(v.srgbLower, sr / "srgb-lower");
    if (lower + need(v.srgbSize, sr / "srgb-size") > kMaxLabel + 1)
      fail(sr / "srgb-size",
           "the SRGB ends beyond the largest label, " + std::to_string(kMaxLabel));
  }
}

// Every element's advertising router names its vertex: all must agree.
void Resolver::learn(std::optional<std::string> const& adv, std::optional<std::uint64_t> const& id,
                     Where const& at, char const* vertexField) {
  if (!adv || !id)
    return;
  RouterId const r = router(*adv, at / "advertised-router");
  Vertex& v = vertex(*id, at / vertexField);
  if (!v.router) {
    v.router = r;
    v.namedBy = at.text();
  } else if (*v.router != r) {
    fail(at / "advertised-router", r.toString() + ", but " + v.namedBy + " advertises vertex " +
                                       std::to_string(*id) + " as " + v.router->toString());
  }
}

RouterId const& Resolver::routerOf(std::uint64_t id, Where const& w) {
  vertex(id, w);
  if (!routerIfKnown(id))
    fail(w, "vertex " + std::to_string(id) + " advertises nothing and its id is not " +
                (isis_ ? "a system id" : "a router id"));
  return *vertices_.at(id).router;
}

// A vertex that advertises nothing is named by its vertex-id: the system id
// as a 48-bit number (IS-IS), the router id as a 32-bit one (OSPF).
std::optional<RouterId> Resolver::routerIfKnown(std::uint64_t id) {
  Vertex& v = vertices_.at(id);
  if (v.router || id >> (isis_ ? 48 : 32) != 0)
    return v.router;
  if (isis_) {
    std::array<std::uint8_t, Routing::Isis::SystemId::kSize> bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = static_cast<std::uint8_t>(id >> (8 * (bytes.size() - 1 - i)));
    v.router = RouterId::isis(Routing::Isis::SystemId(bytes));
  } else {
    v.router = RouterId::ipv4(static_cast<std::uint32_t>(id));
  }
  return *v.router;
}

// The --local router: a vertex's host name, or a router id one stands for.
std::optional<RouterId> Resolver::localRouter() {
  if (options_.local.empty())
    return std::nullopt;
  Where const list = kRoot / "vertices";
  // In the export's order, so that a name given twice picks the first.
  for (std::size_t i = 0; i < r_.vertices.size(); ++i) {
    if (r_.vertices[i].name == options_.local)
      return routerOf(*r_.vertices[i].id, list.at(i) / "vertex-id");
  }
  for (VertexRec const& v : r_.vertices) {
    std::optional<RouterId> const r = routerIfKnown(*v.id);
    if (r && (r->toString() == options_.local || vertexIdOf(*r).stringValue() == options_.local))
      return r;
  }
  throw ImportError(
      file_, "",
      "the local router " + Vek::quotedText(options_.local) + " is no vertex's name or router id");
}

// A SID's label: the value itself (V set), or the index into the
// advertising router's SRGB.
std::uint32_t Resolver::label(std::uint64_t sid, bool isValue, Vertex const& v,
                              Where const& w) const {
  if (isValue) {
    if (sid > kMaxLabel)
      fail(w, std::to_string(sid) + " is not a label (at most " + std::to_string(kMaxLabel) + ")");
    return static_cast<std::uint32_t>(sid);
  }
  if (!v.rec->srgbLower)
    fail(w, "the index " + std::to_string(sid) + " needs an SRGB, and " + v.router->toString() +
                " advertises none");
  if (sid >= *v.rec->srgbSize)
    fail(w, "the index " + std::to_string(sid) + " is outside the SRGB of " + v.router->toString() +
                " (" + std::to_string(*v.rec->srgbSize) + " labels)");
  return static_cast<std::uint32_t>(*v.rec->srgbLower + sid);
}

void Resolver::readEdge(EdgeRec const& e, Where const& at) {
  if (e.deleted || e.sidCount == 0)
    return;
  RouterId const adv = router(need(e.adv, at / "advertised-router"), at / "advertised-router");
  Vertex const& local = vertex(need(e.local, at / "local-vertex-id"), at / "local-vertex-id");
  Where const remoteW = at / "remote-vertex-id";
  RouterId const remote = routerOf(need(e.remote, remoteW), remoteW);
  auto const metric = static_cast<std::uint32_t>(need(e.metric, at / "metric"));
  // The protocol instance (IS-IS: the level) and, for OSPF, the family.
  Where const originW = at / "origin";
  std::uint8_t instance = 0;
  bool ospfV3 = false;
  if (isis_) {
    std::string const& origin = need(e.origin, originW);
    if (origin != "ISIS_L1" && origin != "ISIS_L2")
      fail(originW, Vek::quotedText(origin) + " is not ISIS_L1 or ISIS_L2");
    instance = origin == "ISIS_L1" ? 1 : 2;
  } else if (e.origin) {
    if (e.origin->rfind("OSPF", 0) != 0)
      fail(originW, Vek::quotedText(*e.origin) + " is not an OSPF origin");
    ospfV3 = *e.origin == "OSPFv3";
  }
  Sr::AdjacencyLink link;
  link.local = vertexIdOf(adv);
  link.remote = vertexIdOf(remote);
  link.kind = isis_ ? Sr::LinkKind::remoteBySystemId : Sr::LinkKind::plain;
  link.localInterfaceId = static_cast<std::uint32_t>(e.localId);
  link.remoteInterfaceId = static_cast<std::uint32_t>(e.remoteId);
  Where const list = at / "segment-routing";
  for (std::size_t j = 0; j < e.sidCount; ++j) {
    SidRec const& s = r_.sids[e.firstSid + j];
    Where const sw = list.at(j);
    // Neither given: a LAN adjacency's (it names its neighbour) lacks its lan-adj-sid.
    bool const lan = !s.adjSid && (s.lanAdjSid || s.neighbor);
    Where const sidW = sw / (lan ? "lan-adj-sid" : "adj-sid");
    std::uint64_t const sid = need(lan ? s.lanAdjSid : s.adjSid, sidW);
    std::uint8_t const wire = need(s.flags, sw / "flags");
    std::uint32_t const value =
        label(sid, (wire & (isis_ ? kIsisAdjV : kOspfAdjV)) != 0, local, sidW);
    bool const v6 = isis_ ? (wire & kIsisAdjF) != 0 : ospfV3;
    RouterId const neighbor = s.neighbor ? router(*s.neighbor, sw / "neighbor-id") : remote;
    // The address of the SID's family, else the other one, else none.
    Vantre::IpGenPrefix const& own = v6 ? e.address6 : e.address;
    link.localAddress = own.af() != Vantre::AddressFamily::none ? own : v6 ? e.address : e.address6;
    Vantre::AddressFamily const af = v6 ? Vantre::AddressFamily::ipv6 : Vantre::AddressFamily::ipv4;
    Sr::AdjacencySegmentKey const key(
        SegmentIdentifier(value, local_ && *local_ == adv ? kLocalKeyFlag : 0), adv);
    auto const [slot, added] = keys_.try_emplace({af.value(), key}, adjacencies_.size());
    if (added)
      adjacencies_.push_back(AdjSet{af, key, wire, {}});
    AdjSet& set = adjacencies_[slot->second];
    if (set.neighbors.size() == Sr::AdjacencySegment::kMaxNeighbors)
      fail(sidW, "SID " + std::to_string(value) + " of " + adv.toString() + " on more than " +
                     std::to_string(Sr::AdjacencySegment::kMaxNeighbors) + " adjacencies");
    set.neighbors.emplace_back(link, neighbor, metric, instance);
  }
}

void Resolver::readSubnet(SubnetRec const& s, Where const& at, std::vector<PrefixSet>& out) {
  if (s.deleted || !s.hasSr)
    return;
  PrefixSet p;
  p.prefix = need(s.prefix, at / "subnet-id");
  p.originator = router(need(s.adv, at / "advertised-router"), at / "advertised-router");
  Vertex const& v = vertex(need(s.vertex, at / "vertex-id"), at / "vertex-id");
  Where const sr = at / "segment-routing";
  std::uint64_t const sid = need(s.prefSid, sr / "pref-sid");
  std::uint8_t const wire = need(s.flags, sr / "flags");
  p.sid = SegmentIdentifier(label(sid, (wire & kPrefixV) != 0, v, sr / "pref-sid"), wire);
  if (s.algo != 0)
    p.algo = static_cast<std::uint8_t>(s.algo);
  bool node = false;
  bool notOwn = false;
  if (isis_) {
    node = (wire & kIsisPrefixN) != 0;
    notOwn = (wire & kIsisPrefixR) != 0;
  } else {
    node = options_.ospfNodeSids == OspfNodeSids::all ||
           (options_.ospfNodeSids == OspfNodeSids::host &&
            p.prefix.length() == p.prefix.af().addressBits());
    notOwn = (wire & kOspfPrefixM) != 0;
  }
  p.flags = static_cast<std::uint8_t>((node ? Sr::PrefixSegmentInfo::kFlagMapToOriginator : 0) |
                                      (notOwn ? Sr::PrefixSegmentInfo::kFlagDoNotMap : 0));
  out.push_back(std::move(p));
}

auto prefixOrder(PrefixSet const& p) {
  return std::make_tuple(p.algo.has_value(), p.algo.value_or(0), p.prefix);
}
auto adjOrder(AdjSet const& a) {
  return std::make_tuple(a.af.value(), a.key);
}

TedSnapshot Resolver::resolve() {
  if (!r_.hasTed)
    throw ImportError(file_, "", "not a TED export: no \"ted\" object");
  std::string const& name = need(r_.name, kRoot / "name");
  if (name != "ISIS" && name != "OSPF")
    fail(kRoot / "name", Vek::quotedText(name) + " is not ISIS or OSPF");
  isis_ = name == "ISIS";
  readVertices();
  Where const edgesW = kRoot / "edges";
  Where const subnetsW = kRoot / "subnets";
  for (std::size_t i = 0; i < r_.edges.size(); ++i) {
    if (!r_.edges[i].deleted)
      learn(r_.edges[i].adv, r_.edges[i].local, edgesW.at(i), "local-vertex-id");
  }
  for (std::size_t i = 0; i < r_.subnets.size(); ++i) {
    if (!r_.subnets[i].deleted)
      learn(r_.subnets[i].adv, r_.subnets[i].vertex, subnetsW.at(i), "vertex-id");
  }
  local_ = localRouter();

  TedSnapshot out;
  out.protocol = isis_ ? "IS-IS" : "OSPF";
  out.routers = vertices_.size();
  for (std::size_t i = 0; i < r_.edges.size(); ++i)
    readEdge(r_.edges[i], edgesW.at(i));
  out.adjacencies = std::move(adjacencies_);
  std::sort(out.adjacencies.begin(), out.adjacencies.end(),
            [](AdjSet const& a, AdjSet const& b) { return adjOrder(a) < adjOrder(b); });
  for (std::size_t i = 0; i < r_.subnets.size(); ++i)
    readSubnet(r_.subnets[i], subnetsW.at(i), out.prefixes);
  // One entry per key: of the routers advertising a prefix in one algorithm,
  // the lowest router id wins (then the lowest label and flags), whatever
  // the order of the export.
  auto const winner = [](PrefixSet const& p) {
    return std::tuple_cat(prefixOrder(p),
                          std::make_tuple(p.originator, p.sid->value(), p.sid->flag()));
  };
  std::sort(out.prefixes.begin(), out.prefixes.end(),
            [&](PrefixSet const& a, PrefixSet const& b) { return winner(a) < winner(b); });
  auto const end = std::unique(
      out.prefixes.begin(), out.prefixes.end(),
      [](PrefixSet const& a, PrefixSet const& b) { return prefixOrder(a) == prefixOrder(b); });
  out.shadowed = static_cast<std::size_t>(out.prefixes.end() - end);
  out.prefixes.erase(end, out.prefixes.end());
  return out;
}

bool samePrefix(PrefixSet const& a, PrefixSet const& b) {
  return a.originator == b.originator && a.flags == b.flags && a.sid == b.sid;
}
bool sameAdjacency(AdjSet const& a, AdjSet const& b) {
  return a.flags == b.flags && a.neighbors == b.neighbors;
}

// Merges two sorted lists: a key only in `from` is removed, one only in
// `to` added, one in both with another entry changed.
template <class T, class Order, class Same, class Del>
void merge(std::vector<T> const& from, std::vector<T> const& to, Order order, Same same, Del del,
           TableChanges& out) {
  auto f = from.begin();
  auto t = to.begin();
  while (f != from.end() || t != to.end()) {
    if (t == to.end() || (f != from.end() && order(*f) < order(*t))) {
      out.actions.emplace_back(del(*f++));
      ++out.removed;
    } else if (f == from.end() || order(*t) < order(*f)) {
      out.actions.emplace_back(*t++);
      ++out.added;
    } else {
      if (!same(*f, *t)) {
        out.actions.emplace_back(*t);
        ++out.changed;
      }
      ++f;
      ++t;
    }
  }
}

}  // namespace

bool ospfNodeSidsOf(std::string_view word, OspfNodeSids& out) {
  for (auto [name, value] :
       {std::pair{"host", OspfNodeSids::host}, std::pair{"all", OspfNodeSids::all},
        std::pair{"none", OspfNodeSids::none}}) {
    if (word == name) {
      out = value;
      return true;
    }
  }
  return false;
}

ImportError::ImportError(std::string_view file, std::string const& path, std::string const& what)
    : std::runtime_error(Vek::QuotedText(file, 0, Vek::QuotedText::Keep::end).str() + ": " +
                         (path.empty() ? "" : path + ": ") + what) {}

TedSnapshot readTed(std::string_view text, std::string_view fileName, TedOptions const& options) {
  return Resolver(fileName, options, readTedRecords(text, fileName)).resolve();
}

TableChanges tableChanges(TedSnapshot const& from, TedSnapshot const& to) {
  TableChanges out;
  merge(
      from.prefixes, to.prefixes, prefixOrder, samePrefix,
      [](PrefixSet const& p) {
        return PrefixDel{p.prefix, p.algo};
      },
      out);
  merge(
      from.adjacencies, to.adjacencies, adjOrder, sameAdjacency,
      [](AdjSet const& a) {
        return AdjDel{a.af, a.key};
      },
      out);
  return out;
}

void fillTable(Sr::Status& table, TedSnapshot const& snapshot) {
  for (PrefixSet const& p : snapshot.prefixes) {
    Sr::PrefixSegmentInfo const info(p.originator, p.flags,
                                     {Sr::PrefixSegmentRecord::of(*p.sid, p.algo.value_or(0))});
    if (p.algo)
      table.prefixSegmentWithAlgoIs(
          Sr::PrefixSegmentWithAlgo(Mpls::SegmentRouting::PrefixAlgoKey(p.prefix, *p.algo), info));
    else
      table.prefixSegmentIs(Sr::PrefixSegment(p.prefix, info));
  }
  // Some 58 KiB: on the heap, filled anew for each entry.
  auto const segment = std::make_unique<Sr::AdjacencySegment>();
  for (AdjSet const& a : snapshot.adjacencies) {
    *segment =
        Sr::AdjacencySegment(a.key, Sr::AdjacencySegment::Head{a.flags, {}}, a.neighbors.data(),
                             static_cast<std::uint32_t>(a.neighbors.size()));
    a.af == Vantre::AddressFamily::ipv4 ? table.ipv4AdjacencySegmentIs(*segment)
                                        : table.ipv6AdjacencySegmentIs(*segment);
  }
}

}  // namespace Srmap
