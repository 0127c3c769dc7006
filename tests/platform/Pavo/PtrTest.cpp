#include "Pavo/Ptr.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/TrackedNode.h"

namespace {

using TestSupport::TrackedNode;
using TestSupport::TrackerGuard;

// With the thread-safe switch on, concurrent copies and releases of one
// pointer lose no count: the node is destroyed exactly once, at the end.
TEST(PtrTest, ThreadSafeSwitchKeepsCountsExactAcrossThreads) {
  TrackerGuard guard;
  Pavo::ThreadControl::tsp_ = true;
  auto shared = Pavo::makePtr<TrackedNode>(1);
  constexpr int kThreads = 4;
  constexpr int kRounds = 100000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < kRounds; ++i) {
        Pavo::Ptr<TrackedNode> copy = shared;
        Pavo::Ptr<TrackedNode> again = copy;
      }
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(shared->useCount(), 1u);
  // Last releases race too: every thread drops its own copy.
  std::vector<Pavo::Ptr<TrackedNode>> copies(kThreads, shared);
  shared.reset();
  threads.clear();
  for (auto& c : copies) {
    threads.emplace_back([&c] { c.reset(); });
  }
  for (auto& t : threads)
    t.join();
  Pavo::ThreadControl::tsp_ = false;
  EXPECT_EQ(TrackedNode::memAllocationTracker_.liveObjects(), 0u);
}

}  // namespace
