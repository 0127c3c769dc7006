// Srmap::TedOptions: the choices an import of a link-state (TED) export
// leaves to its user, shared by the command line and the scenario command
// `import FILE [local ROUTER] [ospf-node-sids host|all|none]`
// (docs/ted-import.md).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Srmap {

// Which OSPF prefix SIDs are node SIDs: the export does not carry OSPF's
// node flag (it comes with the extended prefix, not with the Prefix-SID).
enum class OspfNodeSids : std::uint8_t {
  host,  // host routes (/32, /128) with a prefix SID, the usual reading
  all,   // every prefix SID
  none,  // no prefix SID
};

struct TedOptions {
  // The router the export was taken on, as its host name, IS-IS system id
  // or OSPF router id: its adjacency SIDs are filed as local. Empty: none.
  std::string local;
  OspfNodeSids ospfNodeSids = OspfNodeSids::host;
};

// "host", "all", "none"; false for another word.
bool ospfNodeSidsOf(std::string_view word, OspfNodeSids& out);

}  // namespace Srmap
