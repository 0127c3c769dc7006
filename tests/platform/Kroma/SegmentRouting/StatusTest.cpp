#include "Kroma/SegmentRouting/Status.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Pavo/ScopedSubscriber.h"
#include "support/ThrowsWith.h"

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

// Records each publication as "field key prior|new present|gone", the last
// word saying what the table shows for the key by then.
struct Recorder {
  Status const* status = nullptr;
  std::vector<std::string> events;

  template <class Key, class Map>
  void note(Pavo::FieldId f, Map const& map, void const* key, void const* prior) {
    auto const& k = *static_cast<Key const*>(key);
    events.push_back(std::to_string(f) + " " + k.toString() + (prior ? " prior " : " new ") +
                     (map.contains(k) ? "present" : "gone"));
  }
  static void dispatch(Pavo::Publisher*, Pavo::Subscriber* s, Pavo::FieldId f, void const* key,
                       void const* prior) {
    Recorder* self = &Record::ownerOf(s);
    Status const& st = *self->status;
    if (f == Status::kPrefixSegment) {
      self->note<IpGenPrefix>(f, st.prefixSegment(), key, prior);
    } else if (f == Status::kPrefixSegmentWithAlgo) {
      self->note<PrefixAlgoKey>(f, st.prefixSegmentWithAlgo(), key, prior);
    } else {
      self->note<AdjacencySegmentKey>(f,
                                      f == Status::kIpv4AdjacencySegment
                                          ? st.ipv4AdjacencySegment()
                                          : st.ipv6AdjacencySegment(),
                                      key, prior);
    }
  }
  using Record = Pavo::ScopedSubscriber<Recorder, &Recorder::dispatch>;
  Record sub{*this};
};

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
  void SetUp() override {
    liveBefore_ = Vek::AllocTrackTypeInfo::liveObjectsAll();
    status_ = Status::StatusIs();
    rec_.status = status_.get();
    rec_.sub.subscribe(*status_->publisher());
  }
  void TearDown() override {
    rec_.sub.unsubscribe();
    status_.reset();
    EXPECT_EQ(Vek::AllocTrackTypeInfo::liveObjectsAll(), liveBefore_);
  }

  std::uint64_t liveBefore_ = 0;
  Pavo::Ptr<Status> status_;
  Recorder rec_;
};

TEST_F(StatusTest, EveryWritePublishesOnceAfterTheChange) {
  PrefixSegment const seg = prefixSegment("10.0.0.1/32", PrefixSegmentInfo::kFlagMapToOriginator);
  status_->prefixSegmentIs(seg);
  status_->prefixSegmentIs(seg);  // unchanged: nothing
  status_->prefixSegmentIs(prefixSegment("10.0.0.1/32", 0));
  EXPECT_TRUE(status_->prefixSegmentDel(IpGenPrefix("10.0.0.1/32")));
  EXPECT_FALSE(status_->prefixSegmentDel(IpGenPrefix("10.0.0.1/32")));

  PrefixAlgoKey const algoKey(IpGenPrefix("2001:db8::1/128"), 128);
  status_->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(algoKey, PrefixSegmentInfo()));
  status_->ipv4AdjacencySegmentIs(adjSegment(24001, 1));
  status_->ipv6AdjacencySegmentIs(adjSegment(24002, 2));
  EXPECT_TRUE(status_->ipv6AdjacencySegmentDel(adjSegment(24002, 0).key()));

  // An absent key reads as the default entry.
  EXPECT_FALSE(status_->prefixSegment().lookup(IpGenPrefix("10.0.0.1/32")));
  EXPECT_EQ(rec_.events, (std::vector<std::string>{
                             "258 10.0.0.1/32 new present",
                             "258 10.0.0.1/32 prior present",
                             "258 10.0.0.1/32 prior gone",
                             "259 2001:db8::1/128 algo 128 new present",
                             "263 sid 24001/0x40 router 0.0.0.1:0 new present",
                             "264 sid 24002/0x40 router 0.0.0.1:0 new present",
                             "264 sid 24002/0x40 router 0.0.0.1:0 prior gone",
                         }));
  EXPECT_EQ(status_->ipv4AdjacencySegment().lookup(adjSegment(24001, 0).key()).count(), 1u);
  EXPECT_EQ(status_->ipv6AdjacencySegment().size(), 0u);
}

TEST_F(StatusTest, CorruptCountsMakeTheReadersCopyFail) {
  status_->prefixSegmentIs(prefixSegment("10.0.0.1/32", 0));
  rec_.events.clear();
  EXPECT_TRUE(status_->prefixSegmentRecordCountIsUnchecked(IpGenPrefix("10.0.0.1/32"), 101));
  EXPECT_EQ(rec_.events, std::vector<std::string>{"258 10.0.0.1/32 new present"});
  EXPECT_FALSE(status_->prefixSegmentRecordCountIsUnchecked(IpGenPrefix("10.9.9.9/32"), 101));
  // The look-up copies the entry by its count: that copy raises.
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegment().lookup(IpGenPrefix("10.0.0.1/32")); },
      {"count 101", "bound of 100"}));

  PrefixAlgoKey const algoKey(IpGenPrefix("10.0.0.1/32"), 0);
  status_->prefixSegmentWithAlgoIs(PrefixSegmentWithAlgo(algoKey, PrefixSegmentInfo()));
  status_->prefixSegmentWithAlgoRecordCountIsUnchecked(algoKey, 4000);
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->prefixSegmentWithAlgo().lookup(algoKey); }, {"count 4000", "bound of 100"}));

  AdjacencySegment const seg = adjSegment(24001, 2);
  status_->ipv4AdjacencySegmentIs(seg);
  status_->ipv4AdjacencySegmentRecordCountIsUnchecked(seg.key(), 513);
  EXPECT_TRUE(throwsWith<Pavo::RangeException>(
      [&] { status_->ipv4AdjacencySegment().lookup(seg.key()); }, {"count 513", "bound of 512"}));
  // Back within the bound, above the records held: the missing ones read as zero.
  status_->ipv4AdjacencySegmentRecordCountIsUnchecked(seg.key(), 5);
  AdjacencySegment const back = status_->ipv4AdjacencySegment().lookup(seg.key());
  EXPECT_EQ(back.count(), 5u);
  EXPECT_EQ(back.neighbors()[4], Kroma::SegmentRouting::AdjacencySegmentNeighbor());
  // Storing a corrupt entry through the bounded writer is refused and
  // leaves the table as it was.
  auto corrupt = std::make_unique<AdjacencySegment>(seg);
  corrupt->neighbors().countIsUnchecked(513);
  rec_.events.clear();
  EXPECT_THROW(status_->ipv6AdjacencySegmentIs(*corrupt), Pavo::RangeException);
  EXPECT_EQ(status_->ipv6AdjacencySegment().size(), 0u);
  EXPECT_TRUE(rec_.events.empty());
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
  for (std::int64_t bad : {std::int64_t{-1}, std::int64_t{512}, std::int64_t{1} << 40}) {
    try {
      AdjSegmentNbrIdx idx(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (Pavo::RangeException const& e) {
      EXPECT_EQ(e.msg(), kText);
    }
  }
  AdjSegmentNbrIdx idx(510);
  ++idx;
  EXPECT_EQ(idx.value(), 511u);
  EXPECT_TRUE(throwsWith<Pavo::RangeException>([&] { ++idx; }, {kText}));

  AdjacencySegment const seg = adjSegment(5, 2);
  EXPECT_EQ(seg.neighbor(AdjSegmentNbrIdx(1)).metric, 11u);
  EXPECT_THROW(seg.neighbor(AdjSegmentNbrIdx(2)), Pavo::RangeException);
}

}  // namespace
