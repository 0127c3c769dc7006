// What the two event-sequence targets share: a status table, one mapper of a
// family the input picks over an output it keeps, and the events that are not
// table writes: corruption armed on a reading step, the mapper stopped and
// started, destroyed and built again, and its handlers, start-up build and
// clean-up invoked through the generic interface.
//
// A target names its mapper (field ids of its operations, the collections it
// reads, its invariant check) in a Traits class and writes the table itself.
// Counts over a collection's bound are tracked per key, so that a range error
// is accepted exactly where the stored entry is over its bound.
//
// Right after a start-up build that throws (over a bound), nothing is
// checked: what such a build leaves behind is being redefined.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Kroma/KromaMap.h"
#include "Kroma/SegmentRouting/Status.h"
#include "Pavo/Exception.h"
#include "Vantre/AddressFamily.h"
#include "Vek/GenericIf.h"

namespace FuzzSupport {

template <class Traits>
class ReactorRun {
 public:
  using Mapper = typename Traits::Mapper;
  using Output = typename Traits::Output;
  static constexpr unsigned kCollections = Traits::kCollections;

  explicit ReactorRun(Input& in)
      : in(in),
        af(Vantre::AddressFamily::fromValue(static_cast<std::uint8_t>(in.below(3)))),
        status(Kroma::SegmentRouting::Status::StatusIs()),
        out(Traits::output()) {
    if (in.coin())
      build();
  }

  // One event that is not a table write; false when `op` is not one of them.
  bool event(unsigned op) {
    switch (op) {
      case 0:
        if (mapper)
          mapper->hasNotificationActiveIs(in.coin());
        return true;
      case 1:
        in.coin() ? teardown() : build();
        return true;
      case 2:
        collection(in.below(kCollections))
            .faultIs(static_cast<Kroma::Fault>(1 + in.below(3)), in.below(6));
        return true;
      case 3:
        if (mapper)
          invoke();
        return true;
      default:
        return false;
    }
  }

  // `fn` writes key `key` of collection `c` and returns whether the key was
  // there to write; what it stores is over the bound when `overBound`. The
  // mapper must then raise the range error, unless a corruption report made
  // its look-up count as absent, and must raise it in no other case.
  template <class Write>
  void write(unsigned c, unsigned key, bool overBound, Write&& fn) {
    std::uint32_t const reports = collection(c).corruptionReports();
    bool const reaching = mapper && mapper->subscribed() && Traits::reaches(af, c);
    try {
      if (fn() || !overBound)
        overIs(c, key, overBound);
      FUZZ_CHECK(!(overBound && reaching && isOver(c, key)) ||
                     collection(c).corruptionReports() != reports,
                 "an entry over its bound reached the mapper without a range error");
    } catch (Pavo::RangeException const& e) {
      overIs(c, key, overBound);
      expectRange(e, c, overBound && reaching);
    }
  }

  // The mapper's invariants after an event; the output's shape without one.
  void check() {
    if (skipCheck) {
      skipCheck = false;
    } else if (mapper) {
      Traits::check(*mapper, *out, full);
    } else {
      Traits::checkShape(*out);
    }
  }

  // Destroys everything; the trackers must then be back.
  void end() {
    teardown();
    out = {};
    status = {};
  }

  Kroma::KromaMapBase& collection(unsigned c) { return Traits::collection(*status, c); }

  Input& in;
  Vantre::AddressFamily const af;
  Pavo::Ptr<Kroma::SegmentRouting::Status> status;
  Pavo::Ptr<Output> out;
  Pavo::Ptr<Mapper> mapper;

 private:
  bool isOver(unsigned c, unsigned key) const { return (over_[c] >> key & 1u) != 0; }
  void overIs(unsigned c, unsigned key, bool on) {
    over_[c] = on ? over_[c] | 1u << key : over_[c] & ~(1u << key);
  }
  bool anyOverWalked() const {
    for (unsigned c = 0; c < kCollections; ++c) {
      if (over_[c] != 0 && Traits::reaches(af, c))
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

  static void expectRange(Pavo::RangeException const& e, unsigned c, bool allowed) {
    FUZZ_CHECK(allowed, "unexpected range error: " + e.msg());
    FUZZ_CHECK(e.msg().find("bound of " + std::to_string(Traits::bound(c))) != std::string::npos,
               e.msg());
  }

  void build() {
    teardown();
    try {
      mapper = Traits::factory(af, status, out);
      full = true;
    } catch (Pavo::RangeException const& e) {
      FUZZ_CHECK(anyOverWalked(), "start-up build raised " + e.msg());
      skipCheck = true;
    }
  }

  // Destroying the mapper empties its output.
  void teardown() {
    if (!mapper)
      return;
    mapper = {};
    Traits::checkEmptied(*out);
  }

  // A handler with a key of the run, the start-up build or the clean-up.
  void invoke() {
    Vek::GenericValue self(mapper);
    unsigned const which = in.below(4);
    unsigned const c = in.below(kCollections);
    unsigned const key = in.below(Traits::kKeys);
    std::uint32_t const before = reports();
    try {
      if (which == 0) {
        Vek::GenericIf::invoke(self, Traits::kHandleInitialized);
      } else if (which == 1) {
        Vek::GenericIf::invoke(self, Traits::kDoCleanup);
      } else {
        Vek::GenericIf::invoke(self, Traits::handler(c), {Traits::key(c, key)});
        FUZZ_CHECK(!(isOver(c, key) && Traits::reaches(af, c)) || reports() != before,
                   "a handler copied an entry over its bound without a range error");
      }
    } catch (Pavo::RangeException const& e) {
      expectRange(e, c, which == 0 ? anyOverWalked() : isOver(c, key) && Traits::reaches(af, c));
      skipCheck = which == 0;
    }
    // Invoked on a running mapper, a clean-up that keeps the cache (also the
    // one that starts a build) leaves entries whose outputs it removed.
    full = full && (which >= 2 || !Traits::kCleanupKeepsCache);
  }

  std::uint32_t over_[kCollections] = {};  // bit k: key k is stored over its bound
  bool full = true;                        // the cache is checked against the output too
  bool skipCheck = false;                  // the last build threw
};

}  // namespace FuzzSupport
