// The usage examples written in the headers, compiled and run as they stand
// there, so that an example that stops compiling fails the build. Each block
// that opens with an "example:" comment naming a file, and ends with an
// "end example" comment, is quoted in that file; the test examples.quoted
// (tests/tools/QuotedExamples.cmake) checks that the file still holds it.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "Duolog/Duolog.h"
#include "Granule/AllocTrack.h"
#include "Granule/Slab.h"
#include "Kroma/Reading.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Nimblog/Nimblog.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h"
#include "Pathkit/SegmentRoutingMappers/PerProtoIdTables.h"
#include "Pavo/IsEq.h"
#include "Pavo/Ptr.h"
#include "Vek/AttrHashCollections.h"
#include "Vek/HashMap2018.h"
#include "Vek/RbTreeMap.h"
#include "Vek/Trace.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/InspectDsl.h"
#include "VekPavo/Strep.h"

namespace {

using namespace SegmentRouting::Mappers;
using Cspf::LinkKey;
using Prefix = Vantre::IpGenPrefix;
namespace GenericIf = Vek::GenericIf;
using Vek::GenericValue;

void use(AdjSegmentEntry const& entry, bool value) {
  std::printf("%s -> %s\n", VekPavo::valueToStrep(entry).c_str(), value ? "true" : "false");
}
template <class T>
void use(T const& v) {
  std::printf("%s\n", GenericIf::encode(GenericValue(v)).c_str());
}

// NodeSegmentReverseMapper.h
void nodeSegmentReverseMapper(Pavo::Ptr<Kroma::SegmentRouting::Status const> const& status) {
  // example: Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h
  auto out = routerToNodeSegmentMapPerAlgoFactory();
  auto mapper = nodeSegmentReverseMapperFactory(Vantre::AddressFamily::ipv4, status, out);
  // `out` now holds every qualifying IPv4 prefix segment of `status`, and
  // follows each change of the table, inside the table's own publication.
  // end example
}

void adjSegmentList(Mpls::SegmentRouting::SegmentIdentifier const& sid) {
  // example: Pathkit/SegmentRoutingMappers/AdjSegmentList.h
  AdjSegmentList list;
  list.adjSegmentEntryIs(AdjSegmentEntry(false, 10, sid), true);
  for (auto it = list.adjSegmentEntryCollection().begin(); !it.atEnd(); ++it)
    use(it->key(), it->value());
  // end example
}

void neighborSet(LinkKey const& link) {
  // example: Pathkit/SegmentRoutingMappers/AdjSegmentSets.h
  NeighborSet links;
  links.linkIs(link);  // a second linkIs changes nothing
  for (auto it = links.linkCollection().begin(); !it.atEnd(); ++it)
    use(it->key());
  // end example
}

void perProtoIdTable(LinkKey const& link, AdjSegmentList const& list) {
  // example: Pathkit/SegmentRoutingMappers/PerProtoIdTables.h
  auto t = adjSegmentListPerProtoIdFactory(1);
  t->adjSegmentListIs(link, list);                             // a private copy; equal list: silent
  t->adjSegmentListIs(link, AdjSegmentList(list));             // taken over, not copied
  if (AdjSegmentList const* in = t->adjSegmentListFind(link))  // read in place
    use(in->adjSegmentEntryCount());
  AdjSegmentList old = t->adjSegmentListDel(link);
  // end example
  use(old.adjSegmentEntryCount());
}

void connectorMap(LinkKey const& link, AdjSegmentList const& list) {
  // example: Pathkit/SegmentRoutingMappers/AdjSegmentConnectorMapV2.h
  auto connector = adjSegmentConnectorMapV2Factory();
  connector->mapIs(adjSegmentListPerProtoIdFactory(1));
  connector->map(1)->adjSegmentListIs(link, list);  // published by the child
  // end example
  use(connector->map(1)->adjSegmentListHas(link));
}

// example: platform/Vek/RbTreeMap.h
class VekPrefix : public Vek::RbTreeMember<VekPrefix, Prefix, bool>,
                  public Granule::SlabAllocated<VekPrefix> {
 public:
  using RbTreeMember::RbTreeMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Foo::VekPrefix"};
};
// end example

void rbTreeMap(Prefix const& p) {
  // example: platform/Vek/RbTreeMap.h
  Vek::RbTreeMap<VekPrefix, Prefix, bool> prefixes;
  prefixes.memberIs(p, true);
  bool const stored = prefixes.lookup(p);  // false when absent
  for (auto it = prefixes.iterFrom(p); !it.atEnd(); ++it)
    use(it->key());
  // end example
  use(stored);
}

// example: platform/Vek/HashMap2018.h
struct HN_Link : Vek::HashSetMember<HN_Link, LinkKey>, Granule::SlabAllocated<HN_Link> {
  using HashSetMember::HashSetMember;
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Ns::HN_Link"};
};
// end example

void hashMap(LinkKey const& key) {
  // example: platform/Vek/HashMap2018.h
  Vek::HashMap2018<HN_Link, LinkKey, Vek::SeededKeyOps<LinkKey, 3187245051u>> set;
  set.memberIs(Pavo::makePtr<HN_Link>(key));
  // end example
  use(set.size());
}

constexpr unsigned kCollectionConstant = 42316860;

unsigned bucketHash(LinkKey const& key) {
  // example: platform/Vek/Hash.h
  unsigned const seed = Vek::HashHelper::hashSeed32() ^ kCollectionConstant;
  unsigned const bucketHash = key.hash(seed);
  // end example
  return bucketHash;
}

unsigned entryHash(unsigned seed, bool isLocal, unsigned metric) {
  // example: platform/Vek/Hash.h
  Vek::Hash h(seed);
  h.hashMix<1>(isLocal);
  h.hashMix<4>(metric);
  return h.result();
  // end example
}

void addressFamily() {
  // example: platform/Vantre/AddressFamily.h
  Vantre::AddressFamily af = Vantre::AddressFamily::ipv4;
  // end example
  use(af);
}

// example: platform/Granule/Slab.h
class Foo : public Pavo::Node, public Granule::SlabAllocated<Foo> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Foo"};
};
// end example

void ptr() {
  // example: platform/Pavo/Ptr.h
  Pavo::Ptr<Foo> foo = Pavo::Ptr<Foo>::adopt(new Foo);  // takes the creation reference
  Pavo::Ptr<Foo> other = foo;                           // use count 2
  Pavo::Ptr<Foo const> view = foo;                      // read-only holder, count 3
  // end example
  use(view->useCount());
}

// example: platform/Vek/Trace.h
VEK_TRACE_HANDLE_DEFINE(traceHandle, "SegmentRoutingMappers", false)
// end example

void trace(Vantre::AddressFamily af) {
  // example: platform/Vek/Trace.h
  VEK_TRACE(traceHandle(), 9,
            "doCleanup"
                << ": " << af << "Cleaning up the map");
  // end example
}

// An entity with one ordered collection and an operation, registered in a
// module of its own and reached through the generic interface.
class Router : public Pavo::Node, public Granule::SlabAllocated<Router> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Example::Router"};
  explicit Router(std::uint32_t routerId) : routerId_(routerId) {}
  std::uint32_t routerId() const { return routerId_; }
  Vek::RbTreeMap<VekPrefix, Prefix, bool> const& prefixCollection() const { return prefixes_; }
  void prefixIs(Prefix const& p, bool value) { prefixes_.memberIs(p, value); }
  bool prefixDel(Prefix const& p) { return prefixes_.memberDel(p) != nullptr; }
  void reset() { prefixes_.deleteAll(); }
  Pavo::TypeData typeData() const override { return Pavo::Inspect::typeDataOf<Router>(); }

 private:
  std::uint32_t routerId_;
  Vek::RbTreeMap<VekPrefix, Prefix, bool> prefixes_;
};

Pavo::Ptr<Router> routerFactory(std::uint32_t routerId) {
  return Pavo::Ptr<Router>::adopt(new Router(routerId));
}

// example: platform/VekPavo/InspectModule.h
Pavo::ModuleInspectData& inspectModule() {
  static Pavo::ModuleInspectData module("Example/Routers");
  return module;
}
[[maybe_unused]] bool const registered = [] {
  // end example
  // example: platform/VekPavo/InspectDsl.h
  Pavo::Inspect::EntityType<Router>(inspectModule(), "Example::Router")
      .value("routerId", &Router::routerId)                    // 130
      .orderedCollection("prefix", &Router::prefixCollection,  // 131, Prefix -> bool
                         &Router::prefixIs, &Router::prefixDel)
      .operation("reset", &Router::reset)  // 132
      .constructor(&routerFactory, "routerId");
  // end example
  // example: platform/VekPavo/InspectModule.h
  inspectModule().loaded();
  return true;
}();
// end example

void genericIf(Pavo::Ptr<Router> const& router, Prefix const& p, AdjSegmentEntry const& entry) {
  // example: platform/VekPavo/GenericIf.h
  Vek::GenericValue r = router;
  GenericIf::set(r, 131, p, true);  // router->prefixIs(p, true)
  bool f = GenericIf::get(r, 131, p).as<bool>();
  GenericIf::iterate(r, 131, [](GenericValue const& k, GenericValue const&) { use(k); });
  GenericIf::invoke(r, 132);
  GenericValue e = GenericIf::construct("Example::Router", {7u});
  // end example
  use(f);
  // example: platform/VekPavo/GenericValue.h
  Vek::GenericValue a = 10u;      // U32
  Vek::GenericValue b = entry;    // registered value type
  Vek::GenericValue c = router;   // entity
  unsigned m = a.as<unsigned>();  // integers convert when in range
  AdjSegmentEntry const& x = b.ref<AdjSegmentEntry>();
  // end example
  use(m);
  use(x.metric());
  // example: platform/VekPavo/Strep.h
  Pavo::String s = VekPavo::valueToStrep(entry);
  // end example
  std::printf("%s %s %s\n", s.c_str(), c.typeName().c_str(), e.typeName().c_str());
}

}  // namespace

// An owner of the two kinds of child map (a child made from a key, and a
// child handed in and keyed by what it holds).
class Child : public Pavo::Node, public Granule::SlabAllocated<Child> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Example::Child"};
  explicit Child(Mpls::RouterId const& routerId) : routerId_(routerId) {}
  Mpls::RouterId const& routerId() const { return routerId_; }

 private:
  Mpls::RouterId routerId_;
};
class Peer : public Pavo::Node, public Granule::SlabAllocated<Peer> {
 public:
  static inline Vek::AllocTrackTypeInfo memAllocationTracker_{"Example::Peer"};
  explicit Peer(unsigned short protoId) : protoId_(protoId) {}
  unsigned short protoId() const { return protoId_; }

 private:
  unsigned short protoId_;
};
struct PeerKeyFunktor {
  unsigned short operator()(Peer const& p) const { return p.protoId(); }
};

class Owner {
 public:
  using RouterId = Mpls::RouterId;
  // example: platform/Vek/AttrHashCollections.h
  using HN_Child = Vek::AttrMapMember<"Ns::Owner::HN_Child", RouterId, Pavo::Ptr<Child>>;
  Vek::AttrChildMap<HN_Child, Vek::SeededKeyOps<RouterId, 297630782u>, 131> child_;
  Pavo::Ptr<Child> childIs(RouterId const& r) { return child_.childIs(r, &publisher_); }
  // end example
  // example: platform/Vek/AttrHashCollections.h
  using HN_Peer = Vek::AttrChildMember<"Ns::Owner::HN_Peer", Peer, PeerKeyFunktor>;
  void peerIs(Pavo::Ptr<Peer> const& p) { peer_.childIs(p, "Ns::Owner", &publisher_); }
  // end example
  Vek::AttrChildMap<HN_Peer, Vek::IntegerKeyOps<unsigned short, 524521858u>, 132> peer_;

 private:
  Pavo::Publisher publisher_;
};

void attrHashCollections() {
  Owner owner;
  owner.childIs(Mpls::RouterId::ipv4(0x0a000001));
  owner.peerIs(Pavo::makePtr<Peer>(1));
  use(owner.child_.size() + owner.peer_.size());
}

void rebuild() {}

void nimblog(Vantre::AddressFamily af, unsigned n) {
  // example: platform/Nimblog/Nimblog.h
  std::uint64_t const seq = Nimblog::log("entry %s, count %u", af, n);  // "entry ipv4, count 3"
  {
    Nimblog::BlockTimer const timer = Nimblog::logTimed("rebuild %s", af);
    rebuild();  // on leaving, a record "elapsed <ns> ns" tied to it
  }
  Nimblog::dump(std::cerr);
  // end example
  use(seq);
}

// example: platform/Duolog/Duolog.h
void handleInitialized(Vantre::AddressFamily af) {
  Nimblog::BlockTimer const timer =
      Duolog::entry(traceHandle(), 8, __FILE__, __LINE__, __func__,
                    "void SegmentRouting::Mappers::Mapper::handleInitialized()() %s", af);
  rebuild();  // the rest of the function, under the timer
}
// end example

void use(Prefix const& key, Kroma::SegmentRouting::Status::PrefixSegmentMap::Stored const* s) {
  use(key);
  use(s != nullptr);
}

void kroma(Kroma::SegmentRouting::Status const& status, Prefix const& key) {
  using Map = Kroma::SegmentRouting::Status::PrefixSegmentMap;
  using E = Kroma::SegmentRouting::PrefixSegment;
  using K = Prefix;
  using Key = Prefix;
  Map const& map = status.prefixSegment();
  {
    // example: platform/Kroma/KromaMap.h
    E const e = map.lookup(key);  // a full value, copied by its count;
                                  // the default when absent
    Kroma::IterHint hint;
    K k;
    for (bool more = map.firstKey(hint, k); more; more = map.nextKey(hint, k, k))
      use(k);
    // end example
    use(bool(e));
  }
  {
    Kroma::IterHint hint;
    // example: platform/Kroma/KromaMap.h
    Map::Stored const* s = map.find(key);  // null when absent
    for (Map::Stored const* w = map.first(hint); w; w = map.next(hint, w->key()))
      use(Map::entryOf(*w));
    // end example
    use(s != nullptr);
  }
  // example: platform/Kroma/Reading.h
  Map::Stored const* s = Kroma::findOrReport(map, key);  // null: absent or corrupt
  Kroma::walkOrReport(map, [&](Key const& k, Map::Stored const* walked) { use(k, walked); });
  // end example
  use(s != nullptr);
}

void adjacencySegmentMapper(Pavo::Ptr<Kroma::SegmentRouting::Status const> const& status) {
  // example: Pathkit/SegmentRoutingMappers/AdjacencySegmentMapperV2.h
  auto connectors = adjSegmentConnectorMapV2Factory();
  auto mapper = adjacencySegmentMapperV2Factory(Vantre::AddressFamily::ipv4, status, connectors);
  // connectors->map(0)->adjSegmentList(link) now lists the SIDs on `link`,
  // and follows each change of the table inside the table's publication.
  // end example
}

void isEqAndTrackers(Pavo::Publisher& publisher, unsigned short protoId, void const* prior) {
  Pavo::FieldId const field = 130;
  // example: platform/Pavo/IsEq.h
  publisher.publishChangeRecursive(field, &protoId, prior, &Pavo::Util::IsEq<unsigned short>::isEq);
  // end example
  // example: platform/Granule/AllocTrack.h
  bool const noneLeft = Vek::AllocTrackTypeInfo::liveObjectsAll() == 0;
  // end example
  use(noneLeft);
}

int main() {
  nodeSegmentReverseMapper(Kroma::SegmentRouting::Status::StatusIs());
  Mpls::SegmentRouting::SegmentIdentifier const sid(16001, 0x40);
  adjSegmentList(sid);
  neighborSet(LinkKey());
  AdjSegmentList list;
  list.adjSegmentEntryIs(AdjSegmentEntry(false, 10, sid), true);
  perProtoIdTable(LinkKey(), list);
  connectorMap(LinkKey(), list);
  Prefix const p = Prefix::parse("10.0.0.0/8");
  rbTreeMap(p);
  hashMap(LinkKey());
  use(bucketHash(LinkKey()) ^ entryHash(0, true, 10));
  addressFamily();
  ptr();
  trace(Vantre::AddressFamily::ipv6);
  genericIf(routerFactory(1), p, AdjSegmentEntry(true, 10, sid));
  attrHashCollections();
  nimblog(Vantre::AddressFamily::ipv4, 3);
  handleInitialized(Vantre::AddressFamily::ipv4);
  auto const status = Kroma::SegmentRouting::Status::StatusIs();
  kroma(*status, p);
  adjacencySegmentMapper(status);
  Pavo::Publisher publisher;
  isEqAndTrackers(publisher, 1, nullptr);
  return 0;
}
