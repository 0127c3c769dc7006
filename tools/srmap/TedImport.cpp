// The export reader, in two passes. The first streams the document (the
// JSON library's event interface, no document tree: the export can be tens
// of megabytes) into compact records of the fields the import reads,
// checking each value's own form as it comes and skipping everything else.
// The second resolves the records into entries: the routers the vertices
// stand for, SRGB labels, links, keys. Errors of either pass name the JSON
// path; the first knows it from its stack, the second rebuilds it from the
// records' positions. docs/ted-import.md tells the rules this file follows.
#include "TedImport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "Pavo/Exception.h"
#include "Vek/CharRange.h"

namespace Srmap {

namespace {

using Json = nlohmann::json;
namespace Sr = Kroma::SegmentRouting;
using Mpls::RouterId;
using Mpls::SegmentRouting::SegmentIdentifier;

constexpr std::uint32_t kMaxLabel = 0xFFFFF;  // 20 bits
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

// Text of the input inside a message: printable ASCII as it is, other bytes
// as \xNN, cut at 48 characters; quoted.
std::string inputText(std::string_view text) {
  constexpr std::size_t kMax = 48;
  std::string out = "'";
  for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
    auto const c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '\'') {
      out += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out + (text.size() > kMax ? "...'" : "'");
}

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

// ---- the fields read, as the first pass keeps them ----

struct VertexRec {
  std::optional<std::uint64_t> id;
  std::string name;
  bool hasSr = false;
  std::optional<std::uint64_t> srgbLower;
  std::optional<std::uint64_t> srgbSize;
};
struct SidRec {
  std::optional<std::uint64_t> adjSid;
  std::optional<std::uint64_t> lanAdjSid;
  std::optional<std::uint8_t> flags;
  std::optional<std::string> neighbor;
};
struct EdgeRec {
  bool deleted = false;
  bool hasAttrs = false;
  bool hasSids = false;
  std::optional<std::string> origin;
  std::optional<std::string> adv;
  std::optional<std::uint64_t> local;
  std::optional<std::uint64_t> remote;
  std::optional<std::uint64_t> metric;
  Vantre::IpGenPrefix address;  // none: not given
  Vantre::IpGenPrefix address6;
  std::uint64_t localId = 0;
  std::uint64_t remoteId = 0;
  std::size_t firstSid = 0;  // in Records::sids
  std::size_t sidCount = 0;
};
struct SubnetRec {
  bool deleted = false;
  bool hasSr = false;
  std::optional<Vantre::IpGenPrefix> prefix;
  std::optional<std::string> adv;
  std::optional<std::uint64_t> vertex;
  std::optional<std::uint64_t> prefSid;
  std::uint64_t algo = 0;
  std::optional<std::uint8_t> flags;
};
struct Records {
  bool hasTed = false;
  bool hasLists[3] = {};  // vertices, edges, subnets
  std::optional<std::string> name;
  std::vector<VertexRec> vertices;
  std::vector<EdgeRec> edges;
  std::vector<SidRec> sids;
  std::vector<SubnetRec> subnets;
};

// ---- the first pass ----

// What a position of the document is, as far as the import reads it.
enum class Ctx : std::uint8_t {
  root,
  ted,
  vertices,
  vertex,
  vertexSr,
  edges,
  edge,
  attrs,
  sids,
  sid,
  subnets,
  subnet,
  subnetSr
};
enum class Kind : std::uint8_t { text, number, flags, address, address6, prefix, object, array };

// A value as its field's kind reads it.
struct Value {
  std::string* text = nullptr;
  std::uint64_t number = 0;    // numbers, flags
  Vantre::IpGenPrefix prefix;  // addresses, prefixes
};

// One field the import reads: where it stands, its name there, the form its
// value must have (and the largest number); a value's field stores it in the
// latest record, an object's or list's opens a context, once per record.
struct Field {
  Ctx in;
  char const* name;
  Kind kind;
  std::uint64_t max = 0;
  void (*store)(Records&, Value&) = nullptr;
  Ctx opens = Ctx::root;
  bool& (*once)(Records&) = nullptr;
};

constexpr std::uint64_t kU32 = UINT32_MAX;
constexpr std::uint64_t kU64 = UINT64_MAX;

constexpr Field kFields[] = {
    {Ctx::root, "ted", Kind::object, 0, nullptr, Ctx::ted,
     [](Records& r) -> bool& { return r.hasTed; }},
    {Ctx::ted, "name", Kind::text, 0, [](Records& r, Value& v) { r.name = std::move(*v.text); }},
    {Ctx::ted, "vertices", Kind::array, 0, nullptr, Ctx::vertices,
     [](Records& r) -> bool& { return r.hasLists[0]; }},
    {Ctx::ted, "edges", Kind::array, 0, nullptr, Ctx::edges,
     [](Records& r) -> bool& { return r.hasLists[1]; }},
    {Ctx::ted, "subnets", Kind::array, 0, nullptr, Ctx::subnets,
     [](Records& r) -> bool& { return r.hasLists[2]; }},
    {Ctx::vertex, "vertex-id", Kind::number, kU64,
     [](Records& r, Value& v) { r.vertices.back().id = v.number; }},
    {Ctx::vertex, "name", Kind::text, 0,
     [](Records& r, Value& v) { r.vertices.back().name = std::move(*v.text); }},
    {Ctx::vertex, "segment-routing", Kind::object, 0, nullptr, Ctx::vertexSr,
     [](Records& r) -> bool& { return r.vertices.back().hasSr; }},
    {Ctx::vertexSr, "srgb-lower", Kind::number, kMaxLabel,
     [](Records& r, Value& v) { r.vertices.back().srgbLower = v.number; }},
    {Ctx::vertexSr, "srgb-size", Kind::number, kMaxLabel + 1,
     [](Records& r, Value& v) { r.vertices.back().srgbSize = v.number; }},
    {Ctx::edge, "status", Kind::text, 0,
     [](Records& r, Value& v) { r.edges.back().deleted = *v.text == "Delete"; }},
    {Ctx::edge, "origin", Kind::text, 0,
     [](Records& r, Value& v) { r.edges.back().origin = std::move(*v.text); }},
    {Ctx::edge, "advertised-router", Kind::text, 0,
     [](Records& r, Value& v) { r.edges.back().adv = std::move(*v.text); }},
    {Ctx::edge, "local-vertex-id", Kind::number, kU64,
     [](Records& r, Value& v) { r.edges.back().local = v.number; }},
    {Ctx::edge, "remote-vertex-id", Kind::number, kU64,
     [](Records& r, Value& v) { r.edges.back().remote = v.number; }},
    {Ctx::edge, "metric", Kind::number, kU32,
     [](Records& r, Value& v) { r.edges.back().metric = v.number; }},
    {Ctx::edge, "edge-attributes", Kind::object, 0, nullptr, Ctx::attrs,
     [](Records& r) -> bool& { return r.edges.back().hasAttrs; }},
    {Ctx::edge, "segment-routing", Kind::array, 0, nullptr, Ctx::sids,
     [](Records& r) -> bool& { return r.edges.back().hasSids; }},
    {Ctx::attrs, "local-address", Kind::address, 0,
     [](Records& r, Value& v) { r.edges.back().address = v.prefix; }},
    {Ctx::attrs, "local-address-v6", Kind::address6, 0,
     [](Records& r, Value& v) { r.edges.back().address6 = v.prefix; }},
    {Ctx::attrs, "local-identifier", Kind::number, kU32,
     [](Records& r, Value& v) { r.edges.back().localId = v.number; }},
    {Ctx::attrs, "remote-identifier", Kind::number, kU32,
     [](Records& r, Value& v) { r.edges.back().remoteId = v.number; }},
    {Ctx::sid, "adj-sid", Kind::number, kU32,
     [](Records& r, Value& v) { r.sids.back().adjSid = v.number; }},
    {Ctx::sid, "lan-adj-sid", Kind::number, kU32,
     [](Records& r, Value& v) { r.sids.back().lanAdjSid = v.number; }},
    {Ctx::sid, "flags", Kind::flags, 0xFF,
     [](Records& r, Value& v) { r.sids.back().flags = static_cast<std::uint8_t>(v.number); }},
    {Ctx::sid, "neighbor-id", Kind::text, 0,
     [](Records& r, Value& v) { r.sids.back().neighbor = std::move(*v.text); }},
    {Ctx::subnet, "status", Kind::text, 0,
     [](Records& r, Value& v) { r.subnets.back().deleted = *v.text == "Delete"; }},
    {Ctx::subnet, "subnet-id", Kind::prefix, 0,
     [](Records& r, Value& v) { r.subnets.back().prefix = v.prefix; }},
    {Ctx::subnet, "advertised-router", Kind::text, 0,
     [](Records& r, Value& v) { r.subnets.back().adv = std::move(*v.text); }},
    {Ctx::subnet, "vertex-id", Kind::number, kU64,
     [](Records& r, Value& v) { r.subnets.back().vertex = v.number; }},
    {Ctx::subnet, "segment-routing", Kind::object, 0, nullptr, Ctx::subnetSr,
     [](Records& r) -> bool& { return r.subnets.back().hasSr; }},
    {Ctx::subnetSr, "pref-sid", Kind::number, kU32,
     [](Records& r, Value& v) { r.subnets.back().prefSid = v.number; }},
    {Ctx::subnetSr, "algo", Kind::number, 255,
     [](Records& r, Value& v) { r.subnets.back().algo = v.number; }},
    {Ctx::subnetSr, "flags", Kind::flags, 0xFF,
     [](Records& r, Value& v) { r.subnets.back().flags = static_cast<std::uint8_t>(v.number); }},
};

// The elements of a list: what each one is.
Ctx elementOf(Ctx list) {
  switch (list) {
    case Ctx::vertices:
      return Ctx::vertex;
    case Ctx::edges:
      return Ctx::edge;
    case Ctx::sids:
      return Ctx::sid;
    default:
      return Ctx::subnet;
  }
}

std::uint32_t ipv4Of(std::string_view t) {
  Vek::CharRange r(t);
  std::uint32_t const v = Vantre::readIpv4Address(r);
  if (!r.atEnd())
    r.fail("unexpected text after the address");
  return v;
}

// Receives the document's events; keeps what kFields names, checks each
// value's form, skips the rest. Throws ImportError at the first fault.
class Streamer {
 public:
  Streamer(std::string_view file, std::string_view text, Records& out)
      : file_(file), text_(text), out_(out) {}

  bool null() { return scalar(nullptr, "null"); }
  bool boolean(bool) { return scalar(nullptr, "a boolean"); }
  bool number_integer(std::int64_t v) { return scalar(nullptr, "number", std::to_string(v)); }
  bool number_unsigned(std::uint64_t v) { return scalar(nullptr, "number", {}, v); }
  bool number_float(double, std::string const&) { return scalar(nullptr, "a fraction"); }
  bool string(std::string& v) { return scalar(&v, "text"); }
  bool binary(Json::binary_t&) { return scalar(nullptr, "binary"); }
  bool key(std::string& k) {
    if (skip_ == 0) {
      Frame& top = stack_.back();
      top.field = nullptr;
      for (Field const& f : kFields) {
        if (f.in == top.ctx && k == f.name) {
          top.field = &f;
          break;
        }
      }
    }
    return true;
  }
  bool start_object(std::size_t) { return open(Kind::object); }
  bool start_array(std::size_t) { return open(Kind::array); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, std::string const&, nlohmann::detail::exception const& e) {
    // The library's reason, without its own position and the input it quotes.
    std::string_view reason = e.what();
    reason = reason.substr(std::min(reason.size(), reason.find(": ") + 2));
    reason = reason.substr(0, reason.find("; last read"));
    std::size_t const at = std::min(position == 0 ? 0 : position - 1, text_.size());
    std::string_view const before = text_.substr(0, at);
    std::size_t const lineStart = before.rfind('\n');
    std::size_t const line =
        1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    std::size_t const column = at - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1;
    throw ImportError(file_, "",
                      "not JSON: line " + std::to_string(line) + ", column " +
                          std::to_string(column) + ": " + std::string(reason));
  }

 private:
  struct Frame {
    Ctx ctx;
    bool list = false;
    std::size_t index = 0;         // a list's next element
    Field const* field = nullptr;  // an object's member whose value comes next
  };

  // The path of the value about to be read, below the "ted" object (the
  // path of the whole document's "ted" member is "ted").
  std::string path() const {
    std::string s;
    for (std::size_t i = 2; i < stack_.size(); ++i) {
      Frame const& parent = stack_[i - 1];
      if (parent.list)
        s += "[" + std::to_string(parent.index - 1) + "]";
      else
        s += (s.empty() ? "" : ".") + std::string(parent.field->name);
    }
    Frame const& top = stack_.back();
    if (top.list)
      return s + "[" + std::to_string(top.index) + "]";
    return s + (s.empty() ? "" : ".") + top.field->name;
  }
  [[noreturn]] void fail(std::string const& what) const { throw ImportError(file_, path(), what); }
  [[noreturn]] void mismatch(Kind want) const {
    switch (want) {
      case Kind::object:
        fail("not an object");
      case Kind::array:
        fail("not an array");
      case Kind::number:
        fail("not an integer");
      case Kind::flags:
        fail("not a hex number");
      default:
        fail("not a string");
    }
  }

  bool open(Kind kind) {
    if (skip_ != 0 || (!stack_.empty() && !stack_.back().list && stack_.back().field == nullptr)) {
      ++skip_;
      return true;
    }
    if (stack_.empty()) {
      if (kind != Kind::object)
        throw ImportError(file_, "", "not a TED export: no \"ted\" object");
      stack_.push_back({Ctx::root});
      return true;
    }
    Frame& top = stack_.back();
    Ctx ctx = Ctx::root;
    if (top.list) {
      if (kind != Kind::object)
        mismatch(Kind::object);
      ctx = elementOf(top.ctx);
      element(ctx);
      ++top.index;
    } else {
      Field const& f = *top.field;
      if (f.kind != kind)
        mismatch(f.kind);
      ctx = f.opens;
      bool& given = f.once(out_);
      if (given)
        fail("given twice");
      given = true;
    }
    stack_.push_back({ctx, kind == Kind::array});
    return true;
  }
  bool close() {
    if (skip_ != 0)
      --skip_;
    else
      stack_.pop_back();
    return true;
  }

  // A new element of a list: its record.
  void element(Ctx ctx) {
    switch (ctx) {
      case Ctx::vertex:
        out_.vertices.emplace_back();
        break;
      case Ctx::edge:
        out_.edges.emplace_back();
        out_.edges.back().firstSid = out_.sids.size();
        break;
      case Ctx::sid:
        out_.sids.emplace_back();
        ++out_.edges.back().sidCount;
        break;
      default:
        out_.subnets.emplace_back();
        break;
    }
  }

  // A value that is not an object or a list. `text` for a string; for a
  // number, `negative` (its text) or `number`.
  bool scalar(std::string* text, char const* what, std::string const& negative = {},
              std::optional<std::uint64_t> number = std::nullopt) {
    if (stack_.empty())
      throw ImportError(file_, "", "not a TED export: no \"ted\" object");
    Frame const& top = stack_.back();
    if (skip_ != 0 || (!top.list && top.field == nullptr))
      return true;
    if (top.list)
      fail("not an object");
    if (std::string_view(what) == "null")
      return true;
    Field const& f = *top.field;
    Value v;
    v.text = text;
    if (f.kind == Kind::number) {
      if (std::string_view(what) != "number")
        fail("not an integer");
      if (!number || *number > f.max)
        fail((number ? std::to_string(*number) : negative) + " out of range (at most " +
             std::to_string(f.max) + ")");
      v.number = *number;
    } else if (text == nullptr || f.store == nullptr) {
      mismatch(f.kind);
    } else if (f.kind == Kind::flags) {
      v.number = flags(*text);
    } else if (f.kind == Kind::prefix) {
      try {
        v.prefix = Vantre::IpGenPrefix::parse(*text);
      } catch (Pavo::Exception const&) {
        fail(inputText(*text) + " is not a prefix");
      }
    } else if (f.kind != Kind::text) {
      v.prefix = address(*text, f.kind == Kind::address6);
    }
    f.store(out_, v);
    return true;
  }

  std::uint8_t flags(std::string const& t) const {
    std::string_view const digits = std::string_view(t).substr(std::min<std::size_t>(2, t.size()));
    if (t.size() < 3 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X') ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(c) != 0; }))
      fail("not a hex number");
    std::uint64_t v = 0;
    auto const [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
    if (ec != std::errc() || v > 0xFF)
      fail(inputText(t) + " out of range (at most 0xff)");
    return static_cast<std::uint8_t>(v);
  }
  Vantre::IpGenPrefix address(std::string const& t, bool v6) const {
    try {
      if (!v6)
        return Vantre::IpGenPrefix::ipv4(ipv4Of(t), 32);
      Vek::CharRange r(t);
      std::array<std::uint8_t, 16> a;
      Vantre::readIpv6Address(r, a);
      if (!r.atEnd())
        r.fail("unexpected text after the address");
      return Vantre::IpGenPrefix::ipv6(a, 128);
    } catch (Pavo::Exception const&) {
      fail(inputText(t) + (v6 ? " is not an IPv6 address" : " is not an IPv4 address"));
    }
  }

  std::string_view file_;
  std::string_view text_;
  Records& out_;
  std::vector<Frame> stack_;
  std::size_t skip_ = 0;  // depth inside a value the import does not read
};

// ---- the second pass ----

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
  Resolver(std::string_view file, TedOptions const& options, Records const& records)
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
      fail(w, inputText(t) + (isis_ ? " is not an IS-IS system id" : " is not an IPv4 router id"));
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
  Records const& r_;
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
      "the local router " + inputText(options_.local) + " is no vertex's name or router id");
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
      fail(originW, inputText(origin) + " is not ISIS_L1 or ISIS_L2");
    instance = origin == "ISIS_L1" ? 1 : 2;
  } else if (e.origin) {
    if (e.origin->rfind("OSPF", 0) != 0)
      fail(originW, inputText(*e.origin) + " is not an OSPF origin");
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
    fail(kRoot / "name", inputText(name) + " is not ISIS or OSPF");
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
    : std::runtime_error(std::string(file) + ": " + (path.empty() ? "" : path + ": ") + what) {}

TedSnapshot readTed(std::string_view text, std::string_view fileName, TedOptions const& options) {
  Records records;
  Streamer streamer(fileName, text, records);
  Json::sax_parse(text.begin(), text.end(), &streamer);
  return Resolver(fileName, options, records).resolve();
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
