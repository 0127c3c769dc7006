// Test support: the seeded runs of a randomized model test. The test's steps
// (variable `stepsVar`, else `steps`) are split into runs of `perRun` steps;
// run k is seeded with base + k (variable `seedVar`, else `seed`), so one
// failing run replays alone. After each run `teardown()` drops what the run
// made, and every allocation tracker must be back where it was.
//
//   TestSupport::seededRuns("X_SEED", 1, "X_STEPS", 60000, 3000,
//                           [&](std::uint64_t s, unsigned n) { runOnce(s, n); },
//                           [&] { mapper_.reset(); });
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "TrackedNode.h"
#include "Vek/Setting.h"

namespace TestSupport {

// The number in environment variable `name`, or `fallback` when it is unset
// or not a number.
inline std::uint64_t envNumber(char const* name, std::uint64_t fallback) {
  char const* v = std::getenv(name);
  return v == nullptr
             ? fallback
             : Vek::settingNumber(v, std::numeric_limits<std::uint64_t>::max()).value_or(fallback);
}

template <class Run, class Teardown>
void seededRuns(char const* seedVar, std::uint64_t seed, char const* stepsVar, std::uint64_t steps,
                unsigned perRun, Run&& run, Teardown&& teardown) {
  std::uint64_t const base = envNumber(seedVar, seed);
  std::uint64_t const runs = std::max<std::uint64_t>(1, envNumber(stepsVar, steps) / perRun);
  for (std::uint64_t k = 0; k < runs; ++k) {
    SCOPED_TRACE(::testing::Message() << seedVar << "=" << base + k << " (run " << k << ")");
    Vek::AllocTrackSnapshot const before;
    run(base + k, perRun);
    teardown();
    if (::testing::Test::HasFatalFailure())
      return;
    ASSERT_EQ(trackersChanged(before), "");
  }
}

}  // namespace TestSupport
