// The scenario parser: one line at a time, words and the value types' own
// text forms (router ids, prefixes, SIDs, link keys, path keys) read with
// their readers. Grammar and errors: docs/scenario.md.
#include <algorithm>
#include <charconv>
#include <filesystem>

#include "Kroma/SegmentRouting/PrefixSegment.h"
#include "Pavo/Exception.h"
#include "Scenario.h"
#include "Vek/CharRange.h"
#include "Vek/QuotedText.h"
#include "Vek/Trace.h"

namespace Srmap {

namespace {

// A word of the input inside a message: quoted, escaped, cut when long.
std::string quoted(std::string_view word) {
  return Vek::quotedText(word);
}

// Failure inside one line; the caller adds file and line number.
struct LineError {
  std::string what;
};

// A cursor over one line without its comment: blank-separated words and
// values read by their types' readers.
class Line {
 public:
  explicit Line(std::string_view text) : range_(text) {}

  bool atEnd() {
    range_.skipSpaces();
    return range_.atEnd();
  }
  std::string_view peekWord() {
    range_.skipSpaces();
    std::string_view const rest = range_.rest();
    return rest.substr(0, rest.find(' '));
  }
  std::string_view word(char const* what) {
    std::string_view const w = peekWord();
    if (w.empty())
      throw LineError{std::string("missing ") + what};
    range_.advance(w.size());
    return w;
  }
  bool accept(std::string_view w) {
    if (peekWord() != w)
      return false;
    range_.advance(w.size());
    return true;
  }
  void need(std::string_view w) {
    if (!accept(w))
      throw LineError{"expected " + quoted(w) + "" + found()};
  }
  // One value in its type's text form; it must end at a blank or the line's end.
  template <class T>
  T value(T (*read)(Vek::CharRange&), char const* what) {
    range_.skipSpaces();
    if (range_.atEnd())
      throw LineError{std::string("missing ") + what};
    try {
      T v = read(range_);
      if (!range_.atEnd() && range_.peek() != ' ')
        range_.fail("unexpected text after the value");
      return v;
    } catch (Pavo::Exception const& e) {
      throw LineError{std::string("bad ") + what + ": " + e.msg()};
    }
  }
  std::uint64_t number(std::uint64_t max, char const* what) {
    std::string_view const w = word(what);
    std::uint64_t v = 0;
    int base = 10;
    std::string_view digits = w;
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
      base = 16;
      digits = w.substr(2);
    }
    auto const [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, base);
    if (ec == std::errc::result_out_of_range || (ec == std::errc() && v > max))
      throw LineError{std::string(what) + " " + quoted(w) + " out of range (at most " +
                      std::to_string(max) + ")"};
    if (ec != std::errc() || end != digits.data() + digits.size())
      throw LineError{std::string("bad ") + what + " " + quoted(w)};
    return v;
  }
  std::uint8_t algo() { return static_cast<std::uint8_t>(number(255, "algorithm")); }
  bool flag() {
    std::string_view const w = word("flag");
    if (w != "true" && w != "false")
      throw LineError{"bad flag " + quoted(w) + " (true or false)"};
    return w == "true";
  }
  Vantre::AddressFamily af() {
    std::string_view const w = word("address family");
    if (w != "ipv4" && w != "ipv6")
      throw LineError{"bad address family " + quoted(w) + " (ipv4 or ipv6)"};
    return w == "ipv4" ? Vantre::AddressFamily::ipv4 : Vantre::AddressFamily::ipv6;
  }
  void end() {
    if (!atEnd())
      throw LineError{"unexpected " + quoted(peekWord())};
  }
  std::string rest() {
    range_.skipSpaces();
    std::string r(range_.rest());
    range_.advance(r.size());
    return r;
  }
  std::string found() {
    return atEnd() ? ", found the end of the line" : ", found " + quoted(peekWord());
  }

 private:
  Vek::CharRange range_;
};

Mpls::RouterId router(Line& l) {
  return l.value(&Mpls::RouterId::read, "router id");
}
Vantre::IpGenPrefix prefix(Line& l) {
  return l.value(&Vantre::IpGenPrefix::read, "prefix");
}
Mpls::SegmentRouting::SegmentIdentifier sid(Line& l) {
  return l.value(&Mpls::SegmentRouting::SegmentIdentifier::read, "SID");
}
Cspf::Lfa::PqIdx pqIdx(Line& l) {
  return Cspf::Lfa::PqIdx(static_cast<std::uint16_t>(l.number(0xFFFF, "PQ index")));
}
Kroma::SegmentRouting::AdjacencySegmentKey adjKey(Line& l) {
  l.need("sid");
  auto const s = sid(l);
  l.need("router");
  return {s, router(l)};
}

// "node", "nomap", "none", a number, or names joined by '+'.
std::uint8_t prefixFlags(Line& l) {
  std::string_view const w = l.peekWord();
  if (!w.empty() && w[0] >= '0' && w[0] <= '9')
    return static_cast<std::uint8_t>(l.number(255, "flags"));
  std::string_view names = l.word("flags");
  std::uint8_t flags = 0;
  while (!names.empty()) {
    std::string_view const name = names.substr(0, names.find('+'));
    names.remove_prefix(std::min(names.size(), name.size() + 1));
    if (name == "node")
      flags |= Kroma::SegmentRouting::PrefixSegmentInfo::kFlagMapToOriginator;
    else if (name == "nomap")
      flags |= Kroma::SegmentRouting::PrefixSegmentInfo::kFlagDoNotMap;
    else if (name != "none")
      throw LineError{"bad flag name " + quoted(name) + " (node, nomap, none or a number)"};
  }
  return flags;
}

Collection collection(Line& l) {
  std::string_view const w = l.word("collection");
  for (Collection c :
       {Collection::prefix, Collection::prefixAlgo, Collection::adjIpv4, Collection::adjIpv6}) {
    if (w == collectionName(c))
      return c;
  }
  throw LineError{"bad collection " + quoted(w) + " (prefix, prefix-algo, adj-ipv4 or adj-ipv6)"};
}

std::string count(Line& l) {
  return std::to_string(l.number(UINT32_MAX, "count"));
}

// "del" (true) or "set" (false), the verb of the editing commands.
bool isDel(Line& l) {
  if (l.accept("del"))
    return true;
  l.need("set");
  return false;
}

Action prefixCommand(Line& l) {
  if (isDel(l)) {
    PrefixDel d{prefix(l), std::nullopt};
    if (l.accept("algo"))
      d.algo = l.algo();
    return d;
  }
  PrefixSet s;
  s.prefix = prefix(l);
  if (l.accept("algo"))
    s.algo = l.algo();
  l.need("originator");
  s.originator = router(l);
  if (l.accept("flags"))
    s.flags = prefixFlags(l);
  if (l.accept("sid"))
    s.sid = sid(l);
  return s;
}

Action adjCommand(Line& l) {
  bool const del = isDel(l);
  Vantre::AddressFamily const af = l.af();
  auto const key = adjKey(l);
  if (del)
    return AdjDel{af, key};
  AdjSet s{af, key, 0, {}};
  if (l.accept("flags"))
    s.flags = static_cast<std::uint8_t>(l.number(255, "flags"));
  return s;
}

Action pqCommand(Line& l) {
  Pq p;
  p.del = isDel(l);
  p.idx = pqIdx(l);
  if (l.accept("pathkey")) {
    p.what = Pq::What::pathKey;
    p.pathKey = l.value(&Cspf::PathKey::read, "path key");
    if (!p.del && l.accept("flag"))
      p.flag = l.flag();
  } else if (l.accept("algo")) {
    p.algo = l.algo();
    if (l.accept("pathkey")) {
      p.what = Pq::What::algoPathKey;
      p.pathKey = l.value(&Cspf::PathKey::read, "path key");
    } else {
      l.need("prefix");
      p.what = Pq::What::algoPrefix;
      p.prefix = prefix(l);
    }
  } else if (!p.del) {
    throw LineError{"expected 'pathkey' or 'algo'" + l.found()};
  }
  return p;
}

Action prouterCommand(Line& l) {
  PRouter p;
  p.del = isDel(l);
  p.router = router(l);
  if (!p.del || !l.atEnd()) {
    l.need("pq");
    p.idx = pqIdx(l);
    if (!p.del && l.accept("flag"))
      p.flag = l.flag();
  }
  return p;
}

Action corruptCommand(Line& l) {
  Corrupt c;
  c.collection = collection(l);
  std::string_view const op = l.word("operation");
  if (op == "lookup")
    c.op = Kroma::Fault::lookup;
  else if (op == "first")
    c.op = Kroma::Fault::firstKey;
  else if (op == "next")
    c.op = Kroma::Fault::nextKey;
  else if (op != "count")
    throw LineError{"bad operation " + quoted(op) + " (lookup, first, next or count)"};
  if (op == "count") {
    if (c.collection == Collection::adjIpv4 || c.collection == Collection::adjIpv6) {
      c.key = adjKey(l);
    } else {
      c.prefix = prefix(l);
      if (c.collection == Collection::prefixAlgo) {
        l.need("algo");
        c.algo = l.algo();
      }
    }
    c.count = static_cast<std::uint32_t>(l.number(UINT32_MAX, "record count"));
  } else if (l.accept("after"))
    c.after = static_cast<unsigned>(l.number(UINT32_MAX, "call count"));
  return c;
}

void expectNode(Line& l, Expect& e) {
  e.af = l.af();
  bool const cached = l.accept("cached");
  if (cached || l.accept("algos")) {
    e.what = cached ? Expect::What::nodeCached : Expect::What::nodeAlgos;
    e.expected = count(l);
    return;
  }
  l.need("algo");
  e.algo = l.algo();
  if (l.accept("routers")) {
    e.what = Expect::What::nodeRouters;
    e.expected = count(l);
    return;
  }
  e.router = router(l);
  if (l.accept("prefixes")) {
    e.what = Expect::What::nodePrefixes;
    e.expected = count(l);
    return;
  }
  e.what = Expect::What::nodeHas;
  e.expected = l.accept("has") ? "present" : (l.need("lacks"), "absent");
  e.prefix = prefix(l);
}

void expectAdj(Line& l, Expect& e) {
  e.af = l.af();
  l.need("proto");
  e.proto = static_cast<std::uint16_t>(l.number(0xFFFF, "protocol instance"));
  if (l.accept("links")) {
    e.what = Expect::What::adjLinks;
    e.expected = count(l);
  } else if (l.accept("link")) {
    e.link = l.value(&Cspf::LinkKey::read, "link key");
    if (l.accept("sids")) {
      e.what = Expect::What::adjSids;
      e.expected = count(l);
    } else {
      e.what = Expect::What::adjHas;
      e.expected = l.accept("has") ? "present" : (l.need("lacks"), "absent");
      e.sid = sid(l);
    }
  } else {
    e.what = Expect::What::adjSidLinks;
    e.key = adjKey(l);
    l.need("links");
    e.expected = count(l);
  }
}

// An expectation as its failure shows it: its words one blank apart, each as
// Vek::QuotedText shows it (without quotes), so that a word stretched by
// leading zeros cannot stretch the message.
std::string words(std::string_view line) {
  std::string out;
  while (!line.empty()) {
    std::string_view const w = line.substr(0, line.find(' '));
    line.remove_prefix(w.size());
    if (w.empty()) {
      line.remove_prefix(1);
      continue;
    }
    out.append(out.empty() ? "" : " ").append(Vek::QuotedText(w, 0).view());
  }
  return out;
}

Action expectCommand(Line& l, std::string_view text) {
  Expect e;
  e.text = words(text);
  std::string_view const what = l.word("what to expect");
  if (what == "node") {
    expectNode(l, e);
  } else if (what == "adj") {
    expectAdj(l, e);
  } else if (what == "pq") {
    if (l.accept("entries")) {
      e.what = Expect::What::pqEntries;
    } else {
      e.pqIdx = pqIdx(l);
      if (l.accept("algo"))
        e.algo = l.algo();
      if (e.algo && l.accept("prefixes")) {
        e.what = Expect::What::pqPrefixes;
      } else {
        l.need("pathkeys");
        e.what = Expect::What::pqPathKeys;
      }
    }
    e.expected = count(l);
  } else if (what == "prouter") {
    e.what = Expect::What::prouterIndexes;
    e.router = router(l);
    l.need("indexes");
    e.expected = count(l);
  } else if (what == "corruption") {
    e.what = Expect::What::corruption;
    e.collection = collection(l);
    e.expected = count(l);
  } else if (what == "changes") {
    e.what = Expect::What::changes;
    e.expected = count(l);
  } else if (what == "trace" || what == "ring") {
    e.what = what == "trace" ? Expect::What::trace : Expect::What::ring;
    if (l.accept("none")) {
      e.expected = "none";
    } else if (what == "ring") {
      e.expected = l.rest();
    } else {
      e.expected = std::to_string(l.number(Vek::traceLevelMax, "trace level"));
      if (!l.atEnd())
        e.expected += " " + l.rest();
    }
  } else {
    throw LineError{"bad expectation " + quoted(what) +
                    " (node, adj, pq, prouter, corruption, changes, trace or ring)"};
  }
  return e;
}

// FILE is taken relative to the scenario's folder.
Action importCommand(Line& l, std::string_view fileName) {
  Import im;
  std::filesystem::path const file(std::string(l.word("file")));
  im.file = (std::filesystem::path(std::string(fileName)).parent_path() / file).string();
  for (;;) {
    if (l.accept("local")) {
      im.options.local = l.word("local router");
    } else if (l.accept("ospf-node-sids")) {
      std::string_view const rule = l.word("OSPF node-SID rule");
      if (!ospfNodeSidsOf(rule, im.options.ospfNodeSids))
        throw LineError{"bad OSPF node-SID rule " + quoted(rule) + " (host, all or none)"};
    } else {
      return im;
    }
  }
}

// `start`, `stop` or `cleanup` (which leaves the mapper running).
Action mapperCommand(Line& l, std::string_view verb) {
  std::string_view const kind = l.word("mapper");
  if (kind != "node" && kind != "adj")
    throw LineError{"bad mapper " + quoted(kind) + " (node or adj)"};
  return MapperSwitch{kind == "node" ? MapperKind::node : MapperKind::adj, l.af(), verb != "stop",
                      verb == "cleanup"};
}

Action traceCommand(Line& l) {
  std::string_view const levels = l.word("trace levels");
  std::optional<std::uint32_t> const mask = Vek::traceLevelsParse(levels);
  if (!mask)
    throw LineError{"bad trace levels " + quoted(levels) +
                    " (levels 0-9 and ranges such as 8,9 or 0-3,9, all or none)"};
  return Trace{*mask};
}

// The line without its comment and surrounding blanks; tabs count as blanks.
std::string cleanLine(std::string_view raw) {
  std::string s(raw.substr(0, raw.find('#')));
  for (char& c : s) {
    if (c == '\t' || c == '\r')
      c = ' ';
  }
  std::size_t const first = s.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

ParseError::ParseError(std::string_view file, std::size_t line, std::string const& what)
    : std::runtime_error(std::string(file) + ":" + std::to_string(line) + ": " + what),
      line_(line) {}

char const* collectionName(Collection c) noexcept {
  switch (c) {
    case Collection::prefix:
      return "prefix";
    case Collection::prefixAlgo:
      return "prefix-algo";
    case Collection::adjIpv4:
      return "adj-ipv4";
    case Collection::adjIpv6:
      return "adj-ipv6";
  }
  return "?";
}

Scenario parseScenario(std::string_view text, std::string_view fileName) {
  Scenario scenario{Vek::QuotedText(fileName, 0, Vek::QuotedText::Keep::end).str(), {}};
  // A UTF-8 byte-order mark (some editors write one) is no part of the text.
  if (text.starts_with("\xEF\xBB\xBF"))
    text.remove_prefix(3);
  std::size_t lineNo = 0;
  // The adjacency segment that following "nbr" lines extend.
  AdjSet* open = nullptr;
  // Which mappers run at this line: [node, adj][ipv4, ipv6].
  bool started[2][2] = {};
  while (!text.empty()) {
    ++lineNo;
    std::size_t const eol = text.find('\n');
    std::string const line = cleanLine(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty())
      continue;
    try {
      Line l(line);
      std::string_view const keyword = l.word("command");
      if (keyword == "nbr") {
        if (open == nullptr)
          throw LineError{"'nbr' without an 'adj set' line before it"};
        if (open->neighbors.size() == Kroma::SegmentRouting::AdjacencySegment::kMaxNeighbors)
          throw LineError{"more than 512 neighbor records"};
        open->neighbors.push_back(
            l.value(&Kroma::SegmentRouting::AdjacencySegmentNeighbor::read, "neighbor record"));
        l.end();
        continue;
      }
      Action action;
      if (keyword == "step")
        action = Step{l.rest()};
      else if (keyword == "prefix")
        action = prefixCommand(l);
      else if (keyword == "adj")
        action = adjCommand(l);
      else if (keyword == "start" || keyword == "stop" || keyword == "cleanup")
        action = mapperCommand(l, keyword);
      else if (keyword == "trace")
        action = traceCommand(l);
      else if (keyword == "pq")
        action = pqCommand(l);
      else if (keyword == "prouter")
        action = prouterCommand(l);
      else if (keyword == "corrupt")
        action = corruptCommand(l);
      else if (keyword == "expect")
        action = expectCommand(l, line);
      else if (keyword == "import")
        action = importCommand(l, fileName);
      else
        throw LineError{"unknown command " + quoted(keyword)};
      l.end();
      if (auto const* m = std::get_if<MapperSwitch>(&action)) {
        bool& running = started[m->kind == MapperKind::adj][m->af == Vantre::AddressFamily::ipv6];
        if (m->cleanup ? !running : running == m->start)
          throw LineError{std::string("the mapper is ") +
                          (m->start && !m->cleanup ? "already" : "not") + " running"};
        running = m->start;
      }
      scenario.commands.push_back({lineNo, std::move(action)});
      open = std::get_if<AdjSet>(&scenario.commands.back().action);
    } catch (LineError const& e) {
      throw ParseError(scenario.fileName, lineNo, e.what);
    }
  }
  return scenario;
}

}  // namespace Srmap
