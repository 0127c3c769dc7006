#include "Pavo/Ptr.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/TrackedNode.h"

namespace {

using TestSupport::TrackedNode;
using TestSupport::TrackerGuard;

// Counts its destructions.
class Probe : public Pavo::Node {
 public:
  explicit Probe(int* destroyed) : destroyed_(destroyed) {}
  ~Probe() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

TEST(PtrTest, CountsFollowCopiesMovesAndReleases) {
  int destroyed = 0;
  {
    auto a = Pavo::Ptr<Probe>::adopt(new Probe(&destroyed));
    EXPECT_EQ(a->useCount(), 1u);
    Pavo::Ptr<Probe> b = a;
    EXPECT_EQ(a->useCount(), 2u);
    Pavo::Ptr<Probe const> c = b;  // read-only holder
    EXPECT_EQ(a->useCount(), 3u);
    Pavo::Ptr<Probe> d = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a->useCount(), 3u);
    d.reset();
    c = nullptr;
    EXPECT_EQ(a->useCount(), 1u);
    {
      Pavo::Ptr<Pavo::Node> base = a;  // converting copy
      EXPECT_EQ(base.get(), a.get());
      Pavo::Ptr<Probe> shared(a.get());  // sharing a raw pointer adds a use
      EXPECT_EQ(a->useCount(), 3u);
    }
    Probe* raw = a.release();
    EXPECT_EQ(raw->useCount(), 1u);
    a = Pavo::Ptr<Probe>::adopt(raw);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

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
