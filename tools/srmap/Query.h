// Srmap::Query: the questions `srmap query` answers about a replayed or
// imported network, from the mappers' output maps alone (what an agent
// reading them would see), never from the input:
//
//   sid SID [router ROUTER]  the links an adjacency SID stands for, per map
//                            (adj-ipv4, adj-ipv6) and protocol instance;
//                            SID "15001" matches any flag byte, "15001/0x40"
//                            that one
//   link LINK                the adjacency SIDs filed on a link, with metric
//                            and whether filed as local. LINK: a link key as
//                            the maps print it, "FIRST -> SECOND" (every link
//                            between two vertices), or an interface address
//                            (every link with that local address)
//   router ROUTER            the prefixes of a router's node segments, per
//                            map (node-ipv4, node-ipv6) and algorithm
//
// ROUTER: a router id as the maps print it ("0000.0000.0001",
// "10.0.255.1:0"); an IPv4 address stands for its router id.
//
//   Question q = parseQuestion({"sid", "15001"});   // throws QueryError
//   std::vector<Answer> answers = ask(world, q);    // sorted
//   writeAnswers(std::cout, q, answers, json);
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "World.h"

namespace Srmap {

class QueryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Question {
  enum class Kind : std::uint8_t { sid, link, router };
  Kind kind = Kind::sid;
  std::string text;  // the question as asked
  Mpls::SegmentRouting::SegmentIdentifier sid;
  bool anyFlag = true;  // the SID was given without a flag byte
  std::optional<Mpls::RouterId> router;
  // link: the key, or the two vertices, or the address.
  std::optional<Cspf::LinkKey> link;
  std::optional<std::pair<Cspf::VertexIdentifierBase, Cspf::VertexIdentifierBase>> ends;
  std::optional<Vantre::IpGenPrefix> address;
};

Question parseQuestion(std::vector<std::string> const& words);

// One map's answer for one protocol instance or algorithm: what it is about
// (an adjacency segment key, a link key, a router id) and the items found
// (link keys, SIDs, prefixes), each as its text.
struct Answer {
  std::string map;
  char const* per = "proto";  // "proto" or "algo"
  unsigned number = 0;
  std::string subject;
  std::vector<std::string> items;
  // For a link's SIDs: each SID's metric and whether it is filed as local.
  std::vector<std::pair<std::uint32_t, bool>> details;
};

std::vector<Answer> ask(World const& world, Question const& question);

// Text: one line per item, "MAP proto P SUBJECT: ITEM" ("algo A" for a
// router's prefixes). JSON: {"question": TEXT, "answers": [{"map": MAP,
// "proto"|"algo": N, "sid"|"link"|"router": SUBJECT, "links"|"sids"|
// "prefixes": [...]}]}, a link's SIDs as {"sid", "metric", "local"}.
void writeAnswers(std::ostream& out, Question const& question, std::vector<Answer> const& answers,
                  bool json);

}  // namespace Srmap
