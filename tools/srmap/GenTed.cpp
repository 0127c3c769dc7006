#include "GenTed.h"

#include <charconv>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Srmap {

namespace {

constexpr std::size_t kMaxRouters = 100000;
constexpr std::uint32_t kSrgbLower = 16000;
constexpr std::uint32_t kAdjLabels = 15000;
constexpr std::uint32_t kLinkAddresses = 0x64400000;  // 100.64.0.0, two per link

// splitmix64: small, and the same sequence on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

 private:
  std::uint64_t state_;
};

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  Writer& operator<<(std::string_view s) {
    out_ += s;
    return *this;
  }
  Writer& operator<<(std::uint64_t n) {
    char buf[24];
    out_.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
    return *this;
  }
  Writer& ipv4(std::uint32_t a) {
    return *this << (a >> 24) << "." << ((a >> 16) & 255) << "." << ((a >> 8) & 255) << "."
                 << (a & 255);
  }
  Writer& hex4(unsigned v) {
    constexpr char kHex[] = "0123456789abcdef";
    for (int shift = 12; shift >= 0; shift -= 4)
      out_ += kHex[(v >> shift) & 15];
    return *this;
  }

 private:
  std::string& out_;
};

struct Net {
  bool isis;
  // Router n (1-based): IS-IS system id n, OSPF and TE router id 10.0.0.0 + n.
  std::uint64_t vertexId(std::size_t n) const { return isis ? n : 0x0A000000u + n; }
  void router(Writer& w, std::size_t n) const {
    if (!isis) {
      w.ipv4(static_cast<std::uint32_t>(0x0A000000u + n));
      return;
    }
    w << "0000.";
    w.hex4(static_cast<unsigned>(n >> 16)) << ".";
    w.hex4(static_cast<unsigned>(n & 0xFFFF));
  }
  char const* origin() const { return isis ? "ISIS_L2" : "OSPFv2"; }
};

}  // namespace

std::string genTed(GenTedOptions const& o) {
  if (o.routers < 2 || o.routers > kMaxRouters)
    throw std::invalid_argument("routers: from 2 to " + std::to_string(kMaxRouters));
  if (o.links < o.routers || o.links > 40 * o.routers)
    throw std::invalid_argument("links: from the number of routers (a ring) to 40 times it");
  Net const net{o.isis};
  Random random(o.seed);
  std::vector<std::pair<std::size_t, std::size_t>> links;
  links.reserve(o.links);
  for (std::size_t n = 1; n <= o.routers; ++n)
    links.emplace_back(n, n % o.routers + 1);
  while (links.size() < o.links) {
    std::size_t const a = 1 + random.below(o.routers);
    std::size_t const b = 1 + random.below(o.routers);
    if (a != b)
      links.emplace_back(a, b);
  }
  std::uint32_t const srgbSize = static_cast<std::uint32_t>(2 * o.routers + 1);
  std::string out;
  out.reserve(o.links * 900 + o.routers * 700);
  Writer w(out);
  w << "{\"ted\":{\"name\":\"" << (o.isis ? "ISIS" : "OSPF")
    << "\",\"key\":1,\"verticesCount\":" << o.routers << ",\"edgesCount\":" << 2 * o.links
    << ",\"subnetsCount\":" << 2 * o.routers << ",\n\"vertices\":[";
  for (std::size_t n = 1; n <= o.routers; ++n) {
    w << (n == 1 ? "\n" : ",\n") << "{\"vertex-id\":" << net.vertexId(n)
      << ",\"status\":\"Sync\",\"origin\":\"" << net.origin() << "\",\"name\":\"r" << n
      << "\",\"router-id\":\"";
    w.ipv4(static_cast<std::uint32_t>(0x0A000000u + n))
        << "\",\"segment-routing\":{\"srgb-lower\":" << kSrgbLower << ",\"srgb-size\":" << srgbSize
        << ",\"algorithms\":[{\"0\":\"SPF\"},{\"128\":\"Flex-Algo\"}],\"msd\":8}}";
  }
  w << "],\n\"edges\":[";
  std::vector<std::uint32_t> nextLabel(o.routers + 1, kAdjLabels);
  for (std::size_t j = 0; j < links.size(); ++j) {
    std::uint32_t const metric = 1 + static_cast<std::uint32_t>(random.below(100));
    for (int side = 0; side < 2; ++side) {
      std::size_t const local = side == 0 ? links[j].first : links[j].second;
      std::size_t const remote = side == 0 ? links[j].second : links[j].first;
      auto const address = static_cast<std::uint32_t>(kLinkAddresses + 2 * j + side);
      w << (j == 0 && side == 0 ? "\n" : ",\n") << "{\"edge-id\":\"";
      w.ipv4(address) << "\",\"status\":\"Sync\",\"origin\":\"" << net.origin()
                      << "\",\"advertised-router\":\"";
      net.router(w, local);
      w << "\",\"local-vertex-id\":" << net.vertexId(local)
        << ",\"remote-vertex-id\":" << net.vertexId(remote) << ",\"metric\":" << metric
        << ",\"edge-attributes\":{\"te-metric\":" << metric
        << ",\"admin-group\":0,\"local-address\":\"";
      w.ipv4(address) << "\",\"remote-address\":\"";
      w.ipv4(address ^ 1) << "\",\"max-link-bandwidth\":1250000000,\"delay\":" << 100 + metric
                          << "},\"segment-routing\":[{\"adj-sid\":" << nextLabel[local]++
                          << ",\"flags\":\"" << (o.isis ? "0x30" : "0x60") << "\",\"weight\":0}]}";
    }
  }
  w << "],\n\"subnets\":[";
  for (std::size_t n = 1; n <= o.routers; ++n) {
    for (std::uint32_t algo : {0u, 128u}) {
      w << (n == 1 && algo == 0 ? "\n" : ",\n") << "{\"subnet-id\":\"";
      w.ipv4(static_cast<std::uint32_t>((algo == 0 ? 0x0A000000u : 0x0B000000u) + n))
          << "/32\",\"status\":\"Sync\",\"origin\":\"" << net.origin()
          << "\",\"advertised-router\":\"";
      net.router(w, n);
      w << "\",\"vertex-id\":" << net.vertexId(n) << ",\"metric\":0,\"segment-routing\":{"
        << "\"pref-sid\":" << (algo == 0 ? n : o.routers + n) << ",\"algo\":" << algo
        << ",\"flags\":\"" << (o.isis ? "0x40" : "0x00") << "\"}}";
    }
  }
  w << "]}}\n";
  return out;
}

}  // namespace Srmap
