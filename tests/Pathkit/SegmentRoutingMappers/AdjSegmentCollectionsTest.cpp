// The adjacency entry and the three collection values of entries or links.
// An entry's order, equality and hash agree with a tuple model. The
// collections share one contract (deep copies, equality, truth, membership,
// generic interface, no text form, no hash), checked by one typed suite
// against a std::set model (the list's false values are in the
// keyed-attribute model test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Pathkit/SegmentRoutingMappers/AdjSegmentList.h"
#include "Pathkit/SegmentRoutingMappers/AdjSegmentSets.h"
#include "VekPavo/CharRangeRead.h"
#include "VekPavo/GenericIf.h"
#include "VekPavo/Strep.h"
#include "support/ThrowsWith.h"
#include "support/TrackedNode.h"

namespace {

using Mpls::SegmentRouting::SegmentIdentifier;
using namespace SegmentRouting::Mappers;

// Entries from small pools (one time in four any value), so that many are
// near-equal and some are the default entry.
std::uint32_t pick(std::mt19937& r, std::initializer_list<std::uint32_t> pool) {
  return r() % 4 == 0 ? r() : pool.begin()[r() % pool.size()];
}
AdjSegmentEntry randomEntry(std::mt19937& r) {
  bool const isLocal = r() % 2 == 1;
  std::uint32_t const metric = pick(r, {0, 1, 4294967295u});
  std::uint32_t const sid = pick(r, {0, 16, 17});
  auto const flag = static_cast<std::uint8_t>(pick(r, {0, 0x40, 0xff}));
  return AdjSegmentEntry(isLocal, metric, SegmentIdentifier(sid, flag));
}

// The order written out: isLocal, metric, sid value, then the sid flag reversed.
auto model(AdjSegmentEntry const& e) {
  return std::make_tuple(e.isLocal(), e.metric(), e.sid().value(), 255 - e.sid().flag());
}

// Order, equality, generic comparison and hashing agree with the model; the
// truth value is "differs from the default".
TEST(AdjSegmentEntryTest, OrderEqualityAndHashAgreeWithTheModel) {
  std::mt19937 rng(7u);
  for (int i = 0; i < 2000; ++i) {
    AdjSegmentEntry const a = randomEntry(rng);
    AdjSegmentEntry const b = randomEntry(rng);
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

// The list and the set of entries; the set of links.
template <class C>
struct Traits {
  using Key = AdjSegmentEntry;
  static constexpr char const* kShortName =
      std::is_same_v<C, AdjSegmentList> ? "AdjSegmentList" : "AdjSegmentSet";
  static Key key(std::mt19937& r) { return randomEntry(r); }
  static void add(C& c, Key const& k) {
    if constexpr (std::is_same_v<C, AdjSegmentList>)
      c.adjSegmentEntryIs(k, true);
    else
      c.adjSegmentEntryIs(k);
  }
  static bool del(C& c, Key const& k) { return c.adjSegmentEntryDel(k); }
  static bool has(C const& c, Key const& k) { return c.adjSegmentEntryHas(k); }
  static auto const& members(C const& c) { return c.adjSegmentEntryCollection(); }
};
template <>
struct Traits<NeighborSet> {
  using Key = Cspf::LinkKey;
  static constexpr char const* kShortName = "NeighborSet";
  // Few distinct links, so adds and removes meet members.
  static Key key(std::mt19937& r) {
    Cspf::LinkDescription d;
    d.linkId = r() % 12;
    return {d, Cspf::IgpRouterId()};
  }
  static void add(NeighborSet& c, Key const& k) { c.linkIs(k); }
  static bool del(NeighborSet& c, Key const& k) { return c.linkDel(k); }
  static bool has(NeighborSet const& c, Key const& k) { return c.linkHas(k); }
  static auto const& members(NeighborSet const& c) { return c.linkCollection(); }
};

template <class C>
class AdjSegmentCollectionsTest : public ::testing::Test {
 protected:
  using T = Traits<C>;
  using Key = typename T::Key;

  static std::vector<Key> keys(C const& c) {
    std::vector<Key> out;
    for (auto it = T::members(c).begin(); !it.atEnd(); ++it)
      out.push_back(it->key());
    return out;
  }
  static std::vector<void const*> nodes(C const& c) {
    std::vector<void const*> out;
    for (auto it = T::members(c).begin(); !it.atEnd(); ++it)
      out.push_back(it.member());
    return out;
  }
  TestSupport::TrackerGuard trackers_;
};

using Collections = ::testing::Types<AdjSegmentList, NeighborSet, AdjSegmentSet>;
TYPED_TEST_SUITE(AdjSegmentCollectionsTest, Collections);

// Random adds and removes against a model; copies and assignments are deep,
// share no node, and are equal to the original (and sets built in another
// order iterate alike); one differing member makes them unequal.
TYPED_TEST(AdjSegmentCollectionsTest, FollowsTheModelAndCopiesShareNoNodes) {
  using T = Traits<TypeParam>;
  std::mt19937 r(11u);
  TypeParam c;
  std::set<typename T::Key> model;
  auto held = T::members(c).begin();
  for (int step = 0; step < 400; ++step) {
    auto const k = T::key(r);
    if (r() % 3 != 0) {
      T::add(c, k);
      model.insert(k);
    } else {
      EXPECT_EQ(T::del(c, k), model.erase(k) == 1);
    }
    EXPECT_EQ(T::has(c, k), model.count(k) == 1);
    // A list iterator held across the changes goes on after its entry, and
    // removes through it only while its entry is a member.
    if constexpr (std::is_same_v<TypeParam, AdjSegmentList>) {
      if (held.atEnd() || r() % 4 == 0) {
        auto const from = T::key(r);
        held = c.adjSegmentEntryCollection().iterFrom(from);
        auto const at = model.lower_bound(from);
        EXPECT_EQ(held.atEnd(), at == model.end());
        if (!held.atEnd() && at != model.end()) {
          EXPECT_EQ(held->key(), *at);
        }
      } else if (r() % 4 == 0) {
        EXPECT_EQ(c.adjSegmentEntryDel(held), model.erase(held->key()) == 1);
      } else {
        auto const next = model.upper_bound(held->key());
        ++held;
        EXPECT_EQ(held.atEnd(), next == model.end());
        if (!held.atEnd() && next != model.end()) {
          EXPECT_EQ(held->key(), *next);
        }
      }
    }
    if (step % 50 != 0)
      continue;
    // The model's members: in order for the list, in any for the hash sets.
    auto got = this->keys(c);
    if constexpr (!std::is_same_v<TypeParam, AdjSegmentList>)
      std::sort(got.begin(), got.end());
    EXPECT_EQ(got, std::vector<typename T::Key>(model.begin(), model.end()));
    EXPECT_EQ(static_cast<bool>(c), !model.empty());
    TypeParam copy(c);
    TypeParam reversed;
    for (auto it = model.rbegin(); it != model.rend(); ++it)
      T::add(reversed, *it);
    EXPECT_TRUE(copy == c);
    EXPECT_TRUE(TypeParam::isEq(&reversed, &c));
    EXPECT_EQ(this->keys(reversed), this->keys(c));
    for (void const* n : this->nodes(copy)) {
      auto const mine = this->nodes(c);
      EXPECT_EQ(std::find(mine.begin(), mine.end(), n), mine.end());
    }
    T::add(copy, T::key(r));
    if (!model.empty())
      T::del(copy, *model.begin());
    TypeParam const& self = copy;
    copy = self;
    if (this->keys(copy) != this->keys(c)) {
      EXPECT_FALSE(copy == c);
    }
    copy = c;
    EXPECT_TRUE(copy == c);
  }
}

// The generic interface reaches the one attribute (field 2); generic hash,
// the set-false error, and text in either direction are refused.
TYPED_TEST(AdjSegmentCollectionsTest, GenericInterfaceAndRefusals) {
  using T = Traits<TypeParam>;
  auto const* type = Pavo::Inspect::typeOf<TypeParam>();
  std::mt19937 r(3u);
  auto const k = T::key(r);
  Vek::GenericValue g = Vek::GenericIf::construct(*type, {});
  EXPECT_FALSE(Vek::GenericIf::truth(g));
  Vek::GenericIf::set(g, 2, k, true);
  EXPECT_TRUE(Vek::GenericIf::has(g, 2, k));
  EXPECT_TRUE(Vek::GenericIf::get(g, 2, k).template as<bool>());
  EXPECT_EQ(Vek::GenericIf::count(g, 2), 1u);
  EXPECT_TRUE(Vek::GenericIf::truth(g));
  Vek::GenericValue const copy = Vek::GenericIf::construct(*type, {g});
  EXPECT_TRUE(Vek::GenericIf::isEq(copy, g));
  if constexpr (std::is_same_v<TypeParam, AdjSegmentList>) {
    Vek::GenericIf::set(g, 2, k, false);
    EXPECT_TRUE(Vek::GenericIf::has(g, 2, k));
    EXPECT_FALSE(Vek::GenericIf::isEq(copy, g));
  } else {
    EXPECT_TRUE(
        throwsWith<Pavo::Exception>([&] { Vek::GenericIf::set(g, 2, k, false); }, {"false"}));
  }
  Vek::GenericIf::del(g, 2, k);
  EXPECT_FALSE(Vek::GenericIf::has(g, 2, k));
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { Vek::GenericIf::hash(copy); }, {T::kShortName}));
  std::string const refusal =
      std::string("No String constructor for ") + T::kShortName + " - has collection";
  std::string const text = std::string("SegmentRouting::Mappers::") + T::kShortName + "()";
  Vek::CharRange range(text);
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { TypeParam{range}; }, {refusal}));
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { Vek::strepToValue<TypeParam>(text); }, {refusal}));
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { Vek::GenericIf::decode(*type, text); }, {refusal}));
  EXPECT_TRUE(throwsWith<Pavo::Exception>([&] { Vek::GenericIf::encode(copy); }, {refusal}));
}

}  // namespace
