// What the reverse mapper writes to its trace: the exact level 8 and level 9
// texts under the "SegmentRoutingMappers" facility, nothing while the levels
// are off, and the binary ring's function-entry records with their timers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Nimblog/Nimblog.h"
#include "Pathkit/NodeSegmentReverseMapper/NodeSegmentReverseMapper.h"
#include "Segments.h"
#include "support/TraceCapture.h"
#include "support/TrackedNode.h"

namespace {

using namespace NodeSegTest;
using Kroma::SegmentRouting::Status;
using SegmentRouting::Mappers::NodeSegmentReverseMapper;
using SegmentRouting::Mappers::nodeSegmentReverseMapperFactory;
using SegmentRouting::Mappers::RouterToNodeSegmentMapPerAlgo;
using SegmentRouting::Mappers::routerToNodeSegmentMapPerAlgoFactory;
using Vantre::AddressFamily;
using Vantre::IpGenPrefix;

using Line = std::pair<unsigned, std::string>;

char const* const kFacility = "SegmentRoutingMappers";
std::string const kInitSignature =
    "void SegmentRouting::Mappers::NodeSegmentReverseMapper::handleInitialized()()";
std::string const kUpdateSignature =
    "void SegmentRouting::Mappers::NodeSegmentReverseMapper::doUpdateRouterToNodeSegmentMap("
    "const Mpls::SegmentRouting::PrefixAlgoKey&, const "
    "Kroma::SegmentRouting::PrefixSegmentWithAlgo&)()";

class NodeSegmentTraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Vek::traceSettingsReset();
    Nimblog::clear();
  }
  void TearDown() override {
    mapper_.reset();
    Vek::traceSettingsReset();
  }
  void levels(bool eight, bool nine) {
    Vek::traceLevelIs(kFacility, 8, eight);
    Vek::traceLevelIs(kFacility, 9, nine);
  }
  void start(AddressFamily af = AddressFamily::ipv4) {
    mapper_ = nodeSegmentReverseMapperFactory(af, status_, out_);
  }
  std::vector<Line> lines() const {
    std::vector<Line> out;
    for (CapturedTrace const& m : capture_.messages()) {
      EXPECT_EQ(m.facility, kFacility);
      out.emplace_back(m.level, m.text);
    }
    return out;
  }
  static std::vector<Line> update(std::string const& af, std::string const& prefix, unsigned algo,
                                  bool adds) {
    std::vector<Line> out{{8, kUpdateSignature + " " + af},
                          {9, "doUpdateRouterToNodeSegmentMap: prefix : " + prefix +
                                  ", algo : " + std::to_string(algo)}};
    if (adds) {
      out.emplace_back(9, "doUpdateRouterToNodeSegmentMap: " + af +
                              ", adding prefix in routerToNodeSegmentMap " + prefix +
                              ", algo: " + std::to_string(algo));
    }
    return out;
  }

  TestSupport::TrackerGuard guard_;
  TraceCapture capture_;
  Pavo::Ptr<Status> status_ = Status::StatusIs();
  Pavo::Ptr<RouterToNodeSegmentMapPerAlgo> out_ = routerToNodeSegmentMapPerAlgoFactory();
  Pavo::Ptr<NodeSegmentReverseMapper> mapper_;
  IpGenPrefix const p1_ = hostPrefix(AddressFamily::ipv4, 1);
};

TEST_F(NodeSegmentTraceTest, StartUpWritesEntryCleanupWalkAndUpdateTexts) {
  status_->prefixSegmentIs(segment(p1_, router(1)));
  levels(true, true);
  start();
  std::vector<Line> expected{
      {8, kInitSignature + " ipv4"},
      {9, "doCleanup: ipv4Cleaning up the routerToNodeSegment map"},
      {9,
       "handleInitialized: ipv4: Iterating over prefix segments to build the prefix to "
       "originator map"},
  };
  for (Line const& l : update("ipv4", "10.0.0.1/32", 0, true))
    expected.push_back(l);
  EXPECT_EQ(lines(), expected);
}

TEST_F(NodeSegmentTraceTest, TheAddingTextComesAgainForAnUnchangedOriginator) {
  start(AddressFamily::ipv6);
  IpGenPrefix const v6 = hostPrefix(AddressFamily::ipv6, 0x1f);
  levels(true, true);
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(v6, 128, router(1), kMap, 1));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(v6, 128, router(1), kMap, 2));
  std::vector<Line> expected = update("ipv6", "2001:db8::1f/128", 128, true);
  for (Line const& l : update("ipv6", "2001:db8::1f/128", 128, true))
    expected.push_back(l);
  EXPECT_EQ(lines(), expected);
}

// Level 8 off, then level 9 off too: only what is on is written.
TEST_F(NodeSegmentTraceTest, AnotherFamilyIsSkippedWithItsOwnText) {
  start(AddressFamily::ipv6);
  levels(false, true);
  status_->prefixSegmentIs(segment(p1_, router(1)));
  EXPECT_EQ(lines(),
            (std::vector<Line>{
                {9, "doUpdateRouterToNodeSegmentMap: prefix : 10.0.0.1/32, algo : 0"},
                {9,
                 "doUpdateRouterToNodeSegmentMap: ipv6: Skipping prefix 10.0.0.1/32: address "
                 "family mismatch"},
            }));
  capture_.clear();
  levels(false, false);
  status_->prefixSegmentIs(segment(p1_, router(2)));
  mapper_->doCleanup();
  EXPECT_TRUE(capture_.messages().empty());
}

// The ring gets the entries whatever the trace levels say.
TEST_F(NodeSegmentTraceTest, TheRingHoldsEachEntryWithItsTimer) {
  status_->prefixSegmentIs(segment(p1_, router(1)));
  status_->prefixSegmentWithAlgoIs(segmentWithAlgo(p1_, 129, router(1)));
  start();
  status_->prefixSegmentDel(p1_);
  std::vector<Nimblog::Record> const recs = Nimblog::records();
  // handleInitialized, two updates inside it, its timer; then one update.
  ASSERT_EQ(recs.size(), 8u);
  auto const isEntry = [](Nimblog::Record const& r, std::string const& sig) {
    return r.tiedTo == 0 && r.formatted() == sig + " ipv4" &&
           std::strcmp(r.fmt, (sig + " %s").c_str()) == 0;
  };
  auto const isTimerOf = [](Nimblog::Record const& r, Nimblog::Record const& entry) {
    return r.tiedTo == entry.seq && r.formatted().rfind("elapsed ", 0) == 0;
  };
  EXPECT_TRUE(isEntry(recs[0], kInitSignature)) << recs[0].formatted();
  EXPECT_TRUE(isEntry(recs[1], kUpdateSignature)) << recs[1].formatted();
  EXPECT_TRUE(isTimerOf(recs[2], recs[1])) << recs[2].formatted();
  EXPECT_TRUE(isEntry(recs[3], kUpdateSignature));
  EXPECT_TRUE(isTimerOf(recs[4], recs[3]));
  EXPECT_TRUE(isTimerOf(recs[5], recs[0])) << "the start-up timer covers both updates";
  EXPECT_TRUE(isEntry(recs[6], kUpdateSignature));
  EXPECT_TRUE(isTimerOf(recs[7], recs[6]));
  for (std::size_t i = 1; i < recs.size(); ++i)
    EXPECT_GT(recs[i].seq, recs[i - 1].seq);
}

}  // namespace
