// Srmap::readTedRecords: the first pass of the export reader (TedImport.h).
// The document streams through the JSON library's event interface, with no
// document tree (an export can be tens of megabytes), into compact records
// of the fields the import reads. Each value's own form is checked as it
// comes (kind, number range, flags, address, prefix) and everything else is
// skipped; the first fault raises an ImportError naming its JSON path, known
// from the stack of open objects and lists. What the fields mean, and the
// checks across elements, belong to the second pass (TedImport.cpp).
//
//   TedRecords r = readTedRecords(text, "r1.json");  // throws ImportError
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Vantre/IpGenPrefix.h"

namespace Srmap {

constexpr std::uint32_t kMaxLabel = 0xFFFFF;  // 20 bits

// The fields read, as given: absent ones empty. Lists keep the export's
// order, so that a record's position is its element's index.
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
  std::size_t firstSid = 0;  // in TedRecords::sids
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
struct TedRecords {
  bool hasTed = false;
  bool hasLists[3] = {};  // vertices, edges, subnets
  std::optional<std::string> name;
  std::vector<VertexRec> vertices;
  std::vector<EdgeRec> edges;
  std::vector<SidRec> sids;
  std::vector<SubnetRec> subnets;
};

TedRecords readTedRecords(std::string_view text, std::string_view fileName);

// "a.b.c.d", whole, in host order; raises Pavo::RangeException otherwise.
std::uint32_t ipv4Of(std::string_view text);

}  // namespace Srmap
