#include "Query.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <tuple>

#include "Pavo/Exception.h"
#include "Vek/CharRange.h"

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;

// Reads the whole of `text` with `read`, or raises QueryError naming `what`.
template <class T>
T whole(std::string const& text, T (*read)(Vek::CharRange&), char const* what) {
  try {
    Vek::CharRange r(text);
    T v = read(r);
    if (!r.atEnd())
      r.fail("unexpected text after it");
    return v;
  } catch (Pavo::Exception const& e) {
    throw QueryError(std::string("bad ") + what + " '" + text + "': " + e.msg());
  }
}

std::uint32_t readIpv4(Vek::CharRange& r) {
  return Vantre::readIpv4Address(r);
}

Vantre::IpGenPrefix readAddress(Vek::CharRange& r) {
  if (r.rest().find(':') == std::string_view::npos)
    return Vantre::IpGenPrefix::ipv4(Vantre::readIpv4Address(r), 32);
  std::array<std::uint8_t, 16> a;
  Vantre::readIpv6Address(r, a);
  return Vantre::IpGenPrefix::ipv6(a, 128);
}

Mpls::RouterId routerOf(std::string const& text) {
  if (std::count(text.begin(), text.end(), '.') == 3 && text.find(':') == std::string::npos)
    return Mpls::RouterId::ipv4(whole(text, &readIpv4, "router id"));
  return whole(text, &Mpls::RouterId::read, "router id");
}

std::string joined(std::vector<std::string> const& words, std::size_t from) {
  std::string s;
  for (std::size_t i = from; i < words.size(); ++i)
    s += (i == from ? "" : " ") + words[i];
  return s;
}

bool linkMatches(Question const& q, Cspf::LinkKey const& link) {
  if (q.link)
    return link == *q.link;
  if (q.ends)
    return link.firstVertex() == q.ends->first && link.secondVertex() == q.ends->second;
  return Kroma::SegmentRouting::AdjacencyLink::of(link.description()).localAddress == *q.address;
}

// Calls visit(map name, per-instance table) for each connector map in use.
template <class Table, class Collection, class Visit>
void forEachTable(World const& world,
                  Collection const& (M::AdjSegmentConnectorMapV2::*tables)() const, Visit visit) {
  for (World::Root const& root : world.roots()) {
    if (root.family == nullptr || root.kind != MapperKind::adj)
      continue;
    for (auto t = ((*root.family->adjMap).*tables)().begin(); !t.atEnd(); ++t)
      visit(root.name, static_cast<Table const&>(*t->value()));
  }
}

}  // namespace

Question parseQuestion(std::vector<std::string> const& words) {
  Question q;
  q.text = joined(words, 0);
  std::string const kind = words.empty() ? std::string() : words[0];
  auto const need = [&](std::size_t n, char const* usage) {
    if (words.size() != n)
      throw QueryError("usage: " + std::string(usage));
  };
  if (kind == "sid") {
    if (words.size() != 2)
      need(4, "sid SID [router ROUTER]");
    q.sid = whole(words[1], &Mpls::SegmentRouting::SegmentIdentifier::read, "SID");
    q.anyFlag = words[1].find('/') == std::string::npos;
    if (words.size() == 4) {
      if (words[2] != "router")
        throw QueryError("usage: sid SID [router ROUTER]");
      q.router = routerOf(words[3]);
    }
  } else if (kind == "router") {
    need(2, "router ROUTER");
    q.kind = Question::Kind::router;
    q.router = routerOf(words[1]);
  } else if (kind == "link") {
    if (words.size() < 2)
      need(2, "link LINK");
    q.kind = Question::Kind::link;
    std::string const link = joined(words, 1);
    std::size_t const arrow = link.find(" -> ");
    if (link.find(" last ") != std::string::npos) {
      q.link = whole(link, &Cspf::LinkKey::read, "link key");
    } else if (arrow != std::string::npos) {
      q.ends = {whole(link.substr(0, arrow), &Cspf::VertexIdentifierBase::read, "vertex"),
                whole(link.substr(arrow + 4), &Cspf::VertexIdentifierBase::read, "vertex")};
    } else {
      q.address = whole(link, &readAddress, "address");
    }
  } else {
    throw QueryError(
        "a question is sid SID [router ROUTER], link LINK or router ROUTER, before --on or "
        "after --");
  }
  return q;
}

std::vector<Answer> ask(World const& world, Question const& q) {
  std::vector<Answer> out;
  if (q.kind == Question::Kind::sid) {
    forEachTable<M::NeighborSetPerProtoId>(
        world, &M::AdjSegmentConnectorMapV2::cacheCollection,
        [&](std::string const& map, M::NeighborSetPerProtoId const& table) {
          for (auto k = table.neighborSetCollection().begin(); !k.atEnd(); ++k) {
            auto const& key = k->key();
            if (key.sidValue() != q.sid.value() || (!q.anyFlag && key.sidFlag() != q.sid.flag()) ||
                (q.router && key.routerId() != *q.router))
              continue;
            Answer a{map, "proto", table.protoId(), key.toString(), {}, {}};
            for (auto l = k->value().linkCollection().begin(); !l.atEnd(); ++l)
              a.items.push_back(l->key().toString());
            std::sort(a.items.begin(), a.items.end());
            out.push_back(std::move(a));
          }
        });
  } else if (q.kind == Question::Kind::link) {
    forEachTable<M::AdjSegmentListPerProtoId>(
        world, &M::AdjSegmentConnectorMapV2::mapCollection,
        [&](std::string const& map, M::AdjSegmentListPerProtoId const& table) {
          for (auto l = table.adjSegmentListCollection().begin(); !l.atEnd(); ++l) {
            if (!linkMatches(q, l->key()))
              continue;
            Answer a{map, "proto", table.protoId(), l->key().toString(), {}, {}};
            // In the list's own order (SID, then flag byte).
            for (auto e = l->value().adjSegmentEntryCollection().begin(); !e.atEnd(); ++e) {
              a.items.push_back(e->key().sid().toString());
              a.details.emplace_back(e->key().metric(), e->key().isLocal());
            }
            out.push_back(std::move(a));
          }
        });
  } else {
    for (World::Root const& root : world.roots()) {
      if (root.family == nullptr || root.kind != MapperKind::node)
        continue;
      auto const& perAlgo = *root.family->nodeMap;
      for (auto a = perAlgo.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a) {
        Pavo::Ptr<M::RouterToNodeSegment> const r = a->value()->prefixMap(*q.router);
        if (!r)
          continue;
        Answer answer{root.name, "algo", a->value()->algo(), q.router->toString(), {}, {}};
        for (auto p = r->prefixCollection().begin(); !p.atEnd(); ++p)
          answer.items.push_back(p->key().toString());
        out.push_back(std::move(answer));
      }
    }
  }
  std::sort(out.begin(), out.end(), [](Answer const& a, Answer const& b) {
    return std::tie(a.map, a.number, a.subject) < std::tie(b.map, b.number, b.subject);
  });
  return out;
}

void writeAnswers(std::ostream& out, Question const& q, std::vector<Answer> const& answers,
                  bool json) {
  char const* const subject = q.kind == Question::Kind::sid    ? "sid"
                              : q.kind == Question::Kind::link ? "link"
                                                               : "router";
  char const* const items = q.kind == Question::Kind::sid    ? "links"
                            : q.kind == Question::Kind::link ? "sids"
                                                             : "prefixes";
  if (!json) {
    for (Answer const& a : answers) {
      for (std::size_t i = 0; i < a.items.size(); ++i) {
        out << a.map << " " << a.per << " " << a.number << " " << a.subject << ": " << a.items[i];
        if (i < a.details.size())
          out << " metric " << a.details[i].first << (a.details[i].second ? " local" : "");
        out << "\n";
      }
    }
    return;
  }
  using Json = nlohmann::ordered_json;
  Json list = Json::array();
  for (Answer const& a : answers) {
    Json found = Json::array();
    for (std::size_t i = 0; i < a.items.size(); ++i) {
      if (i < a.details.size())
        found.push_back(
            {{"sid", a.items[i]}, {"metric", a.details[i].first}, {"local", a.details[i].second}});
      else
        found.push_back(a.items[i]);
    }
    list.push_back({{"map", a.map}, {a.per, a.number}, {subject, a.subject}, {items, found}});
  }
  out << Json{{"question", q.text}, {"answers", list}}.dump(2) << "\n";
}

}  // namespace Srmap
