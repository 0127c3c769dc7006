// What the two event-sequence targets share: a status table, one mapper of a
// family the input picks over an output it keeps, and the input played as
// events: table writes (add or replace, remove, a count near or over the
// bound as a corrupt table holds), corruption armed on a reading step, the
// mapper stopped and started, destroyed and built again, and its handlers,
// start-up build and clean-up invoked through the generic interface. The
// mapper's invariants (Srmap::invariantViolations) are checked after every
// event, and once everything is destroyed every tracker must be back.
//
//   extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
//     return FuzzSupport::fuzzReactor<NodeTraits>(data, size);
//   }
//
// The Traits class names the mapper (factory, the two collections it reads
// and which of them reach its handlers) and writes
// the table's entries from the input. Counts over a collection's bound are
// tracked per key, so that the range error is expected exactly where a
// handler copies an entry stored over its bound.
//
// A start-up build that throws (over a bound) must leave an emptied output,
// as destruction does, and a running node mapper an empty cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Kroma/KromaMap.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pavo/Exception.h"
#include "Vantre/AddressFamily.h"
#include "VekPavo/GenericIf.h"
#include "oracles/Invariants.h"

namespace FuzzSupport {

template <class Traits>
class ReactorRun {
 public:
  // Each mapper reads two collections; its operations, by field id: their
  // handlers, the start-up build and the clean-up.
  static constexpr unsigned kCollections = 2;
  static constexpr Pavo::FieldId kHandlers[2] = {135, 136};
  static constexpr Pavo::FieldId kHandleInitialized = 137;
  static constexpr Pavo::FieldId kDoCleanup = 138;

  explicit ReactorRun(Input& in)
      : in_(in), af_(Vantre::AddressFamily::fromValue(static_cast<std::uint8_t>(in.below(3)))) {
    if (in_.coin())
      build();
  }

  void play() {
    while (!in_.empty()) {
      unsigned const op = in_.below(8);
      unsigned const c = op >= 4 ? in_.below(kCollections) : 0;
      unsigned const k = op >= 4 ? in_.below(Traits::kKeys) : 0;
      Kroma::SegmentRouting::Status& s = *status_;
      if (op == 0 && mapper_) {
        mapper_->hasNotificationActiveIs(in_.coin());
      } else if (op == 1) {
        in_.coin() ? teardown() : build();
      } else if (op == 2) {
        collection(in_.below(kCollections))
            .faultIs(static_cast<Kroma::Fault>(1 + in_.below(3)), in_.below(6));
      } else if (op == 3 && mapper_) {
        invoke();
      } else if (op == 4) {
        write(c, k, false, [&] { return Traits::put(s, c, k, in_), true; });
      } else if (op == 5) {
        write(c, k, false, [&] { return Traits::del(s, c, k); });
      } else if (op >= 6) {
        std::uint32_t const n = op == 6 ? Traits::kBound - 1 + in_.below(3) : in_.u32();
        write(c, k, n > Traits::kBound, [&] { return Traits::countIs(s, c, k, n); });
      }
      check();
    }
    teardown();
  }

 private:
  Kroma::KromaMapBase& collection(unsigned c) { return Traits::collection(*status_, c); }
  bool isOver(unsigned c, unsigned key) const { return (over_[c] >> key & 1u) != 0; }
  bool anyOverReaching() const {
    for (unsigned c = 0; c < kCollections; ++c) {
      if (over_[c] != 0 && Traits::reaches(af_, c))
        return true;
    }
    return false;
  }
  std::uint32_t reports() {
    std::uint32_t n = 0;
    for (unsigned c = 0; c < kCollections; ++c)
      n += collection(c).corruptionReports();
    return n;
  }
  static void expectRange(Pavo::RangeException const& e, bool allowed) {
    FUZZ_CHECK(allowed, "unexpected range error: " + e.msg());
    FUZZ_CHECK(e.msg().find("bound of " + std::to_string(Traits::kBound)) != std::string::npos,
               e.msg());
  }

  // `fn` writes key `key` of collection `c` and returns whether the key was
  // there to write; what it stores is over the bound when `overBound`. A
  // mapper that the change reaches must then raise the range error (unless a
  // corruption report made its look-up count as absent), and in no other case.
  template <class Write>
  void write(unsigned c, unsigned key, bool overBound, Write&& fn) {
    std::uint32_t const before = reports();
    bool const reaching = mapper_ && mapper_->subscribed() && Traits::reaches(af_, c);
    bool present = true;
    try {
      present = fn();
      FUZZ_CHECK(!(overBound && present && reaching) || reports() != before,
                 "an entry over its bound reached the mapper without a range error");
    } catch (Pavo::RangeException const& e) {
      expectRange(e, overBound && reaching);
    }
    if (present || !overBound)
      over_[c] = overBound ? over_[c] | 1u << key : over_[c] & ~(1u << key);
  }

  static void expectNone(Srmap::Violations const& v) { FUZZ_CHECK(v.empty(), v.front()); }
  // The mapper's invariants after an event; the output's shape without one.
  void check() {
    if constexpr (Traits::kCleanupKeepsCache)
      expectNone(Srmap::invariantViolations(mapper_.get(), *out_, full_));
    else
      expectNone(Srmap::invariantViolations(mapper_.get(), *out_));
  }

  void build() {
    teardown();
    try {
      mapper_ = Traits::factory(af_, status_, out_);
      full_ = true;
    } catch (Pavo::RangeException const& e) {
      FUZZ_CHECK(anyOverReaching(), "start-up build raised " + e.msg());
      expectNone(Srmap::emptiedViolations(*out_));  // as destruction leaves it
    }
  }

  // Destroying the mapper empties its output (so does a failed build).
  void teardown() {
    if (!mapper_)
      return;
    mapper_ = {};
    expectNone(Srmap::emptiedViolations(*out_));
  }

  // A handler with a key of the run, the start-up build or the clean-up.
  void invoke() {
    Vek::GenericValue self(mapper_);
    unsigned const which = in_.below(4);
    unsigned const c = in_.below(kCollections);
    unsigned const key = in_.below(Traits::kKeys);
    bool const over = isOver(c, key) && Traits::reaches(af_, c);
    std::uint32_t const before = reports();
    bool failedBuild = false;
    try {
      if (which == 0) {
        Vek::GenericIf::invoke(self, kHandleInitialized);
      } else if (which == 1) {
        Vek::GenericIf::invoke(self, kDoCleanup);
      } else {
        Vek::GenericIf::invoke(self, kHandlers[c], {Traits::key(c, key)});
        FUZZ_CHECK(!over || reports() != before, "an entry over its bound copied without error");
      }
    } catch (Pavo::RangeException const& e) {
      expectRange(e, which == 0 ? anyOverReaching() : which >= 2 && over);
      failedBuild = which == 0;
    }
    // Invoked on a running mapper, a clean-up that keeps the cache (also the
    // one that starts a build) leaves entries whose outputs it removed; a
    // build that throws empties both.
    full_ = failedBuild || (full_ && (which >= 2 || !Traits::kCleanupKeepsCache));
    if (failedBuild)
      expectNone(Srmap::emptiedViolations(*out_));
  }

  Input& in_;
  Vantre::AddressFamily const af_;
  Pavo::Ptr<Kroma::SegmentRouting::Status> status_ = Kroma::SegmentRouting::Status::StatusIs();
  Pavo::Ptr<typename Traits::Output> out_ = Traits::output();
  Pavo::Ptr<typename Traits::Mapper> mapper_;
  std::uint32_t over_[kCollections] = {};  // bit k: key k is stored over its bound
  bool full_ = true;                       // the cache is checked against the output too
};

template <class Traits>
int fuzzReactor(std::uint8_t const* data, std::size_t size) {
  Input in(data, size);
  Vek::AllocTrackSnapshot const before;
  {
    ReactorRun<Traits> run(in);
    run.play();
  }
  FuzzSupport::checkTrackersBack(before);
  return 0;
}

}  // namespace FuzzSupport
