// The container choices of the plain implementations. The plain code is
// written once, over a container policy, and compiled twice: with the
// standard library's node-based containers (what a user reaches for first)
// and, when Abseil is found, with its swiss tables and B-trees (the strongest
// containers a user is likely to pick). Every container counts its memory
// through Bench::Counting.
//
//   template <class C> struct Mine { typename C::template HashMap<K, V> byKey; };
//   Mine<Bench::StdContainers> a;  Mine<Bench::AbslContainers> b;
//
// Hashes: the std side hashes a key with the key type's own hash; the Abseil
// side feeds that same hash through absl::Hash, as its open-addressing
// tables want: they take the slot from some bits of the hash and a tag kept
// beside it from others, so every bit must be mixed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "CountingAllocator.h"

#if PATHKIT_BENCH_ABSL
#include <absl/container/btree_map.h>
#include <absl/container/btree_set.h>
#include <absl/container/flat_hash_map.h>
#include <absl/hash/hash.h>
#endif

namespace Bench {

// A key's own hash, for std::unordered_map.
template <class K>
struct OwnHash {
  std::size_t operator()(K const& k) const noexcept { return k.hash(0x5bd1e995u); }
};

struct StdContainers {
  static constexpr char const* kName = "plain-std";
  template <class K, class V>
  using HashMap =
      std::unordered_map<K, V, OwnHash<K>, std::equal_to<K>, Counting<std::pair<K const, V>>>;
  template <class K, class V>
  using OrderedMap = std::map<K, V, std::less<K>, Counting<std::pair<K const, V>>>;
  template <class K>
  using OrderedSet = std::set<K, std::less<K>, Counting<K>>;
};

#if PATHKIT_BENCH_ABSL
// A key's own hash, mixed by absl::Hash.
template <class K>
struct AbslMixedHash {
  std::size_t operator()(K const& k) const noexcept { return absl::Hash<unsigned>()(k.hash(0)); }
};

struct AbslContainers {
  static constexpr char const* kName = "plain-absl";
  template <class K, class V>
  using HashMap = absl::flat_hash_map<K, V, AbslMixedHash<K>, std::equal_to<K>,
                                      Counting<std::pair<K const, V>>>;
  template <class K, class V>
  using OrderedMap = absl::btree_map<K, V, std::less<K>, Counting<std::pair<K const, V>>>;
  template <class K>
  using OrderedSet = absl::btree_set<K, std::less<K>, Counting<K>>;
};
#endif

}  // namespace Bench
