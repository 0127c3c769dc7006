#include "TedRecords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <nlohmann/json.hpp>

#include "Pavo/Exception.h"
#include "TedImport.h"
#include "Vek/CharRange.h"
#include "Vek/QuotedText.h"

namespace Srmap {

namespace {

using Json = nlohmann::json;

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
  void (*store)(TedRecords&, Value&) = nullptr;
  Ctx opens = Ctx::root;
  bool& (*once)(TedRecords&) = nullptr;
};

constexpr std::uint64_t kU32 = UINT32_MAX;
constexpr std::uint64_t kU64 = UINT64_MAX;

constexpr Field kFields[] = {
    {Ctx::root, "ted", Kind::object, 0, nullptr, Ctx::ted,
     [](TedRecords& r) -> bool& { return r.hasTed; }},
    {Ctx::ted, "name", Kind::text, 0, [](TedRecords& r, Value& v) { r.name = std::move(*v.text); }},
    {Ctx::ted, "vertices", Kind::array, 0, nullptr, Ctx::vertices,
     [](TedRecords& r) -> bool& { return r.hasLists[0]; }},
    {Ctx::ted, "edges", Kind::array, 0, nullptr, Ctx::edges,
     [](TedRecords& r) -> bool& { return r.hasLists[1]; }},
    {Ctx::ted, "subnets", Kind::array, 0, nullptr, Ctx::subnets,
     [](TedRecords& r) -> bool& { return r.hasLists[2]; }},
    {Ctx::vertex, "vertex-id", Kind::number, kU64,
     [](TedRecords& r, Value& v) { r.vertices.back().id = v.number; }},
    {Ctx::vertex, "name", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.vertices.back().name = std::move(*v.text); }},
    {Ctx::vertex, "segment-routing", Kind::object, 0, nullptr, Ctx::vertexSr,
     [](TedRecords& r) -> bool& { return r.vertices.back().hasSr; }},
    {Ctx::vertexSr, "srgb-lower", Kind::number, kMaxLabel,
     [](TedRecords& r, Value& v) { r.vertices.back().srgbLower = v.number; }},
    {Ctx::vertexSr, "srgb-size", Kind::number, kMaxLabel + 1,
     [](TedRecords& r, Value& v) { r.vertices.back().srgbSize = v.number; }},
    {Ctx::edge, "status", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.edges.back().deleted = *v.text == "Delete"; }},
    {Ctx::edge, "origin", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.edges.back().origin = std::move(*v.text); }},
    {Ctx::edge, "advertised-router", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.edges.back().adv = std::move(*v.text); }},
    {Ctx::edge, "local-vertex-id", Kind::number, kU64,
     [](TedRecords& r, Value& v) { r.edges.back().local = v.number; }},
    {Ctx::edge, "remote-vertex-id", Kind::number, kU64,
     [](TedRecords& r, Value& v) { r.edges.back().remote = v.number; }},
    {Ctx::edge, "metric", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.edges.back().metric = v.number; }},
    {Ctx::edge, "edge-attributes", Kind::object, 0, nullptr, Ctx::attrs,
     [](TedRecords& r) -> bool& { return r.edges.back().hasAttrs; }},
    {Ctx::edge, "segment-routing", Kind::array, 0, nullptr, Ctx::sids,
     [](TedRecords& r) -> bool& { return r.edges.back().hasSids; }},
    {Ctx::attrs, "local-address", Kind::address, 0,
     [](TedRecords& r, Value& v) { r.edges.back().address = v.prefix; }},
    {Ctx::attrs, "local-address-v6", Kind::address6, 0,
     [](TedRecords& r, Value& v) { r.edges.back().address6 = v.prefix; }},
    {Ctx::attrs, "local-identifier", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.edges.back().localId = v.number; }},
    {Ctx::attrs, "remote-identifier", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.edges.back().remoteId = v.number; }},
    {Ctx::sid, "adj-sid", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.sids.back().adjSid = v.number; }},
    {Ctx::sid, "lan-adj-sid", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.sids.back().lanAdjSid = v.number; }},
    {Ctx::sid, "flags", Kind::flags, 0xFF,
     [](TedRecords& r, Value& v) { r.sids.back().flags = static_cast<std::uint8_t>(v.number); }},
    {Ctx::sid, "neighbor-id", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.sids.back().neighbor = std::move(*v.text); }},
    {Ctx::subnet, "status", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.subnets.back().deleted = *v.text == "Delete"; }},
    {Ctx::subnet, "subnet-id", Kind::prefix, 0,
     [](TedRecords& r, Value& v) { r.subnets.back().prefix = v.prefix; }},
    {Ctx::subnet, "advertised-router", Kind::text, 0,
     [](TedRecords& r, Value& v) { r.subnets.back().adv = std::move(*v.text); }},
    {Ctx::subnet, "vertex-id", Kind::number, kU64,
     [](TedRecords& r, Value& v) { r.subnets.back().vertex = v.number; }},
    {Ctx::subnet, "segment-routing", Kind::object, 0, nullptr, Ctx::subnetSr,
     [](TedRecords& r) -> bool& { return r.subnets.back().hasSr; }},
    {Ctx::subnetSr, "pref-sid", Kind::number, kU32,
     [](TedRecords& r, Value& v) { r.subnets.back().prefSid = v.number; }},
    {Ctx::subnetSr, "algo", Kind::number, 255,
     [](TedRecords& r, Value& v) { r.subnets.back().algo = v.number; }},
    {Ctx::subnetSr, "flags", Kind::flags, 0xFF,
     [](TedRecords& r, Value& v) { r.subnets.back().flags = static_cast<std::uint8_t>(v.number); }},
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

// Receives the document's events; keeps what kFields names, checks each
// value's form, skips the rest. Throws ImportError at the first fault.
class Streamer {
 public:
  Streamer(std::string_view file, std::string_view text, TedRecords& out)
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
        fail(Vek::quotedText(*text) + " is not a prefix");
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
      fail(Vek::quotedText(t) + " out of range (at most 0xff)");
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
      fail(Vek::quotedText(t) + (v6 ? " is not an IPv6 address" : " is not an IPv4 address"));
    }
  }

  std::string_view file_;
  std::string_view text_;
  TedRecords& out_;
  std::vector<Frame> stack_;
  std::size_t skip_ = 0;  // depth inside a value the import does not read
};

}  // namespace

std::uint32_t ipv4Of(std::string_view t) {
  Vek::CharRange r(t);
  std::uint32_t const v = Vantre::readIpv4Address(r);
  if (!r.atEnd())
    r.fail("unexpected text after the address");
  return v;
}

TedRecords readTedRecords(std::string_view text, std::string_view fileName) {
  TedRecords records;
  Streamer streamer(fileName, text, records);
  Json::sax_parse(text.begin(), text.end(), &streamer);
  return records;
}

}  // namespace Srmap
