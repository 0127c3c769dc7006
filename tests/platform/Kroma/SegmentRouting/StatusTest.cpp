#include "Kroma/SegmentRouting/Status.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "Pavo/ScopedSubscriber.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using Kroma::SegmentRouting::AdjacencySegment;
using Kroma::SegmentRouting::AdjacencySegmentKey;
using Kroma::SegmentRouting::AdjacencySegmentNeighbor;
using Kroma::SegmentRouting::AdjSegmentNbrIdx;
using Kroma::SegmentRouting::PrefixSegment;
using Kroma::SegmentRouting::PrefixSegmentInfo;
using Kroma::SegmentRouting::PrefixSegmentWithAlgo;
using Kroma::SegmentRouting::Status;
using Mpls::RouterId;
using Mpls::SegmentRouting::PrefixAlgoKey;
using Mpls::SegmentRouting::SegmentIdentifier;
using Vantre::IpGenPrefix;

// The field id of each publication, and whether it handed over a prior.
// (What a collection publishes, and when, is the KromaMap model test's.)
struct Heard {
  std::vector<std::pair<Pavo::FieldId, bool>> calls;
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const*,
                       void const* prior) {
    Record::ownerOf(s).calls.emplace_back(f, prior != nullptr);
  }
  using Record = Pavo::ScopedSubscriber<Heard, &Heard::dispatch>;
  Record sub{*this};
};
using Calls = std::vector<std::pair<Pavo::FieldId, bool>>;

PrefixSegment prefixSegment(char const* prefix, std::uint8_t flags, std::uint32_t sid = 16001) {
  PrefixSegmentInfo info(RouterId::ipv4(0x0A000001u), flags);
  Kroma::SegmentRouting::PrefixSegmentRecord rec;
  rec.sidValue = sid;
  info.records().push(rec);
  return PrefixSegment(IpGenPrefix(prefix), info);
}

AdjacencySegment adjSegment(std::uint32_t sid, std::uint32_t neighbours) {
  AdjacencySegment seg(AdjacencySegmentKey(SegmentIdentifier(sid, 0x40), RouterId::ipv4(1)));
  for (std::uint32_t i = 0; i < neighbours; ++i) {
    AdjacencySegmentNeighbor n;
    n.metric = 10 + i;
    n.protoInstance = 1;
    seg.neighbors().push(n);
  }
  return seg;
}

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override { heard_.sub.subscribe(*status_->publisher()); }
  void TearDown() override { heard_.sub.unsubscribe(); }

  TestSupport::TrackerGuard guard_;  // checks the trackers once the table is gone
  Pavo::Ptr<Status> status_ = Status::StatusIs();
  Heard heard_;
};

// Each collection publishes under its own field id; an unchecked count
// publishes the key with no prior; the bounded writer refuses a corrupt entry.
TEST_F(StatusTest, UncheckedCountsArePublishedAndCorruptEntriesRefused) {
  IpGenPrefix const prefix("10.0.0.1/32");
  PrefixAlgoKey const algoKey(prefix, 0);
  AdjacencySegment const seg = adjSegment(24001, 2);
  status_->prefixSegmentIs(prefixSegment("10.0.0.1/32", 0));
  status_->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(algoKey, PrefixSegmentInfo()));
  status_->ipv4AdjacencySegmentIs(seg);
  status_->ipv6AdjacencySegmentIs(seg);
  EXPECT_TRUE(status_->prefixSegmentRecordCountIsUnchecked(prefix, 101));
  EXPECT_FALSE(status_->prefixSegmentRecordCountIsUnchecked(IpGenPrefix("10.9.9.9/32"), 101));
  status_->prefixSegmentWithAlgoRecordCountIsUnchecked(algoKey, 4000);
  status_->ipv4AdjacencySegmentRecordCountIsUnchecked(seg.key(), 513);
  EXPECT_TRUE(status_->ipv6AdjacencySegmentDel(seg.key()));
  EXPECT_EQ(heard_.calls, (Calls{{258, false},
                                 {259, false},
                                 {263, false},
                                 {264, false},
                                 {258, false},
                                 {259, false},
                                 {263, false},
                                 {264, true}}));
  // (The copies of entries stored over their bounds raise in the fuzz
  // targets node_events and adjacency_events, and in srmap.library-error.)
  // Back within the bound, above the records held: the missing ones read as zero.
  status_->ipv4AdjacencySegmentRecordCountIsUnchecked(seg.key(), 5);
  AdjacencySegment const back = status_->ipv4AdjacencySegment().lookup(seg.key());
  EXPECT_EQ(back.count(), 5u);
  EXPECT_EQ(back.neighbors()[4], Kroma::SegmentRouting::AdjacencySegmentNeighbor());
  // Storing a corrupt entry through the bounded writer is refused and
  // leaves the table as it was.
  auto corrupt = std::make_unique<AdjacencySegment>(seg);
  corrupt->neighbors().countIsUnchecked(513);
  heard_.calls.clear();
  EXPECT_THROW(status_->ipv6AdjacencySegmentIs(*corrupt), Pavo::RangeException);
  EXPECT_EQ(status_->ipv6AdjacencySegment().size(), 0u);
  EXPECT_TRUE(heard_.calls.empty());
}

TEST_F(StatusTest, EntriesTakeTheRoomOfTheRecordsInUse) {
  constexpr std::uint32_t kEntries = 1000;
  for (std::uint32_t i = 0; i < kEntries; ++i) {
    status_->prefixSegmentIs(PrefixSegment(IpGenPrefix::ipv4(0x0A000000u + i, 32),
                                           prefixSegment("0.0.0.0/0", 4).info()));
    status_->ipv4AdjacencySegmentIs(adjSegment(30000 + i, 4));
  }
  auto const& prefixes = status_->prefixSegment();
  auto const& adjacencies = status_->ipv4AdjacencySegment();
  EXPECT_LE(prefixes.memoryBytes() / kEntries, 200u);  // every overhead included
  EXPECT_LE(adjacencies.memoryBytes() / kEntries, 1024u);

  // Replacing keeps the node (and a walk's place) while the records fit;
  // more records than the node holds grow it, and it keeps that room.
  std::size_t const before = adjacencies.memoryBytes();
  Kroma::IterHint hint;
  auto const* at = adjacencies.first(hint);
  ASSERT_NE(at, nullptr);
  AdjacencySegmentKey const first = at->key();
  status_->ipv4AdjacencySegmentIs(adjSegment(first.sidValue(), 2));
  EXPECT_EQ(adjacencies.memoryBytes(), before);
  EXPECT_EQ(adjacencies.next(hint, first)->key(), adjSegment(30001, 0).key());
  status_->ipv4AdjacencySegmentIs(adjSegment(first.sidValue(), 40));
  std::size_t const grown = adjacencies.memoryBytes();
  EXPECT_GT(grown, before);
  status_->ipv4AdjacencySegmentIs(adjSegment(first.sidValue(), 5));
  EXPECT_EQ(adjacencies.memoryBytes(), grown);
  EXPECT_EQ(adjacencies.lookup(first), adjSegment(first.sidValue(), 5));
}

TEST(StatusEntriesTest, NeighbourIndexRange) {
  char const* const kText =
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::value < "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::min or > "
      "Kroma::SegmentRouting::AdjSegmentNbrIdx::max not allowed";
  for (std::int64_t bad : {std::int64_t{-1}, std::int64_t{512}, std::int64_t{1} << 40})
    EXPECT_TRUE(throwsWith<Pavo::RangeException>([&] { (void)AdjSegmentNbrIdx(bad); }, {kText}))
        << bad;
  AdjSegmentNbrIdx idx(510);
  ++idx;
  EXPECT_EQ(idx.value(), 511u);
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([&] { ++idx; }, {kText}));

  AdjacencySegment const seg = adjSegment(5, 2);
  EXPECT_EQ(seg.neighbor(AdjSegmentNbrIdx(1)).metric, 11u);
  EXPECT_THROW(seg.neighbor(AdjSegmentNbrIdx(2)), Pavo::RangeException);
}

}  // namespace
