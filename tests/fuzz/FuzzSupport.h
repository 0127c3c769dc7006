// Shared pieces of the libFuzzer targets: the input read as a stream of small
// decisions, the check that stops a run with its reason, every registered
// type, and the check that an input left every allocation tracker as it
// found it.
//
//   FuzzSupport::Input in(data, size);
//   unsigned const op = in.below(6);       // 0 once the input is used up
//   FUZZ_CHECK(mapOk, "router entry left empty");
//   Vek::AllocTrackSnapshot const before;  // ... create, use, destroy ...
//   FuzzSupport::checkTrackersBack(before);
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Granule/AllocTrackSnapshot.h"
#include "VekPavo/InspectModule.h"
#include "VekPavo/InspectTypes.h"

// Stops the run (libFuzzer keeps the input as a crash) when `cond` is false.
#define FUZZ_CHECK(cond, what)                                                         \
  do {                                                                                 \
    if (!(cond)) {                                                                     \
      std::fprintf(stderr, "%s:%d: check failed: %s: %s\n", __FILE__, __LINE__, #cond, \
                   std::string(what).c_str());                                         \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

namespace FuzzSupport {

class Input {
 public:
  Input(std::uint8_t const* data, std::size_t size) : at_(data), end_(data + size) {}

  bool empty() const noexcept { return at_ == end_; }
  std::uint8_t byte() noexcept { return empty() ? 0 : *at_++; }
  // A number below `n` (n >= 1) from one byte, or two when n > 256.
  unsigned below(unsigned n) noexcept {
    unsigned const v = n > 256 ? (unsigned{byte()} << 8 | byte()) : byte();
    return v % n;
  }
  bool coin() noexcept { return (byte() & 1) != 0; }
  std::uint32_t u32() noexcept {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v = v << 8 | byte();
    return v;
  }
  // A text of up to `max` bytes, its length in the byte before it.
  std::string text(std::size_t max = 255) {
    // The length byte is read before the rest is measured (in one call the
    // order of the two is unspecified).
    std::size_t const want = byte() % (max + 1);
    std::size_t const n = std::min<std::size_t>(want, end_ - at_);
    std::string s(reinterpret_cast<char const*>(at_), n);
    at_ += n;
    return s;
  }

 private:
  std::uint8_t const* at_;
  std::uint8_t const* end_;
};

// The builtin scalars, then every type of the platform's and the library's
// modules, in registration order.
inline std::vector<Pavo::Inspect::TypeInfo const*> registeredTypes() {
  std::vector<Pavo::Inspect::TypeInfo const*> out;
  for (int b = 0; b <= static_cast<int>(Pavo::Inspect::Builtin::String); ++b)
    out.push_back(Pavo::Inspect::builtinType(static_cast<Pavo::Inspect::Builtin>(b)));
  for (char const* name : {"VekPavo/OutsideTypes", "Pathkit/SegmentRoutingMappers",
                           "Pathkit/NodeSegmentReverseMapper"}) {
    Pavo::ModuleInspectData const* m = Pavo::ModuleInspectData::module(name);
    FUZZ_CHECK(m != nullptr, name);
    for (std::uint32_t i = 0; i < m->typeCount(); ++i) {
      if (m->type(i) != nullptr)
        out.push_back(m->type(i));
    }
  }
  return out;
}

// Stops the run when a tracker's live objects or bytes differ from `before`'s.
inline void checkTrackersBack(Vek::AllocTrackSnapshot const& before) {
  auto const changed = Vek::AllocTrackSnapshot().changesSince(before);
  FUZZ_CHECK(changed.empty(), Vek::AllocTrackSnapshot::text(changed));
}

}  // namespace FuzzSupport
