#include "Pathkit/SegmentRoutingMappers/AdjSegmentEntry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <tuple>

#include "VekPavo/GenericIf.h"
#include "VekPavo/Strep.h"

namespace {

using Mpls::SegmentRouting::SegmentIdentifier;
using SegmentRouting::Mappers::AdjSegmentEntry;

// The order written out: isLocal, metric, sid value, then the sid flag reversed.
auto model(AdjSegmentEntry const& e) {
  return std::make_tuple(e.isLocal(), e.metric(), e.sid().value(), 255 - e.sid().flag());
}

// On random entries with many near-equal pairs: order, equality, generic
// comparison and hashing all agree with the model; the truth value is
// "differs from the default".
TEST(AdjSegmentEntryTest, OrderEqualityAndHashAgreeWithTheModel) {
  std::mt19937 rng(7u);
  // One of `pool` or, one time in four, any value.
  auto pick = [&](std::initializer_list<std::uint32_t> pool) -> std::uint32_t {
    return rng() % 4 == 0 ? rng() : pool.begin()[rng() % pool.size()];
  };
  auto draw = [&] {
    bool const isLocal = rng() % 2 == 1;
    std::uint32_t const metric = pick({0, 1, 10, 4294967295u});
    std::uint32_t const sid = pick({0, 16, 17});
    auto const flag = static_cast<std::uint8_t>(rng() % 2 ? 0 : pick({0, 1, 0x0a, 0xaf, 0xff}));
    return AdjSegmentEntry(isLocal, metric, SegmentIdentifier(sid, flag));
  };
  for (int i = 0; i < 2000; ++i) {
    AdjSegmentEntry const a = draw();
    AdjSegmentEntry const b = draw();
    SCOPED_TRACE(VekPavo::valueToStrep(a) + " vs " + VekPavo::valueToStrep(b));
    EXPECT_EQ(a <=> b, model(a) <=> model(b));
    EXPECT_EQ(AdjSegmentEntry::isEq(&a, &b), model(a) == model(b));
    EXPECT_EQ(Vek::GenericIf::less(a, b), model(a) < model(b));
    EXPECT_EQ(Vek::GenericIf::isEq(a, b), a == b);
    EXPECT_EQ(static_cast<bool>(a), !(a == AdjSegmentEntry()));
    EXPECT_EQ(Vek::GenericIf::truth(a), static_cast<bool>(a));
    EXPECT_EQ(Vek::GenericIf::hash(a), a.hash(0));
    AdjSegmentEntry const copy = a;
    for (unsigned seed = 0; seed < 64; ++seed)
      ASSERT_EQ(copy.hash(seed * 2654435761u), a.hash(seed * 2654435761u));
    if (!(a == b)) {
      EXPECT_NE(a.hash(1), b.hash(1));
    }
  }
}

}  // namespace
