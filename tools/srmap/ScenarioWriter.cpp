#include "ScenarioWriter.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace Srmap {

namespace {

namespace M = SegmentRouting::Mappers;

std::string algoWords(std::optional<std::uint8_t> algo) {
  return algo ? " algo " + std::to_string(*algo) : std::string();
}

std::string adjKeyWords(Vantre::AddressFamily af,
                        Kroma::SegmentRouting::AdjacencySegmentKey const& key) {
  return af.toString() + " sid " + key.sid().toString() + " router " + key.routerId().toString();
}

}  // namespace

void ScenarioWriter::command(Action const& action) {
  if (auto const* s = std::get_if<Step>(&action)) {
    // '#' would start a comment.
    expectations();
    std::string text = s->text;
    std::replace(text.begin(), text.end(), '#', '_');
    out_ << "\nstep " << text << "\n";
  } else if (auto const* p = std::get_if<PrefixSet>(&action)) {
    out_ << "prefix set " << p->prefix.toString() << algoWords(p->algo) << " originator "
         << p->originator.toString() << " flags " << unsigned{p->flags};
    if (p->sid)
      out_ << " sid " << p->sid->toString();
    out_ << "\n";
  } else if (auto const* d = std::get_if<PrefixDel>(&action)) {
    out_ << "prefix del " << d->prefix.toString() << algoWords(d->algo) << "\n";
  } else if (auto const* a = std::get_if<AdjSet>(&action)) {
    out_ << "adj set " << adjKeyWords(a->af, a->key) << " flags " << unsigned{a->flags} << "\n";
    for (auto const& n : a->neighbors)
      out_ << "nbr " << n.toString() << "\n";
  } else if (auto const* ad = std::get_if<AdjDel>(&action)) {
    out_ << "adj del " << adjKeyWords(ad->af, ad->key) << "\n";
  } else if (auto const* m = std::get_if<MapperSwitch>(&action)) {
    out_ << (m->cleanup ? "cleanup "
             : m->start ? "start "
                        : "stop ")
         << (m->kind == MapperKind::node ? "node " : "adj ") << m->af.toString() << "\n";
  } else {
    throw std::logic_error("a scenario written from an import holds no such command");
  }
}

void ScenarioWriter::expectations() {
  // Sorted, so that the file does not depend on the maps' hash order.
  std::map<std::string, std::size_t> now;
  auto const expect = [&](std::string const& question, std::size_t n) { now[question] = n; };
  for (World::Root const& root : world_.roots()) {
    if (root.family == nullptr)
      continue;
    std::string const af = root.af.toString();
    if (root.kind == MapperKind::node && root.family->nodeMapper) {
      M::RouterToNodeSegmentMapPerAlgo const& map = *root.family->nodeMap;
      expect("expect node " + af + " algos", map.routerToNodeSegmentMapCount());
      for (auto a = map.routerToNodeSegmentMapCollection().begin(); !a.atEnd(); ++a)
        expect("expect node " + af + " algo " + std::to_string(a->value()->algo()) + " routers",
               a->value()->prefixMapCount());
    } else if (root.kind == MapperKind::adj && root.family->adjMapper) {
      for (auto p = root.family->adjMap->mapCollection().begin(); !p.atEnd(); ++p)
        expect("expect adj " + af + " proto " + std::to_string(p->value()->protoId()) + " links",
               p->value()->adjSegmentListCount());
    }
  }
  for (std::string const& gone : asked_) {
    if (!now.contains(gone))
      now[gone] = 0;
  }
  asked_.clear();
  for (auto const& [question, n] : now) {
    out_ << question << " " << n << "\n";
    if (n != 0)
      asked_.insert(question);
  }
}

}  // namespace Srmap
