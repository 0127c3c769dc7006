// Nimblog::BlockTimer: measures a block of code and reports it to the ring.
//
// A timer is tied to one ring record (its entry record, usually the function
// entry) and started from that record's time. When the timer is destroyed, or
// stopped, it writes one record "elapsed <ns> ns" whose tiedTo is the entry's
// sequence number, so a dump pairs each exit with its entry even after other
// records came in between. A timer reports at most once; a default-made or
// moved-from timer reports nothing. Timers come from Nimblog::logTimed() or
// Duolog::entry(). Starting and stopping read the ring's stamp (a cycle
// counter where there is one): no system call; stamps become nanoseconds
// when the ring is read out.
#pragma once

#include <cstdint>

namespace Nimblog {

class BlockTimer {
 public:
  BlockTimer() noexcept = default;
  // Tied to record `entrySeq`, started at the ring stamp `startStamp`.
  BlockTimer(std::uint64_t entrySeq, std::uint64_t startStamp) noexcept
      : entrySeq_(entrySeq), startStamp_(startStamp) {}
  BlockTimer(BlockTimer&& other) noexcept
      : entrySeq_(other.entrySeq_), startStamp_(other.startStamp_) {
    other.entrySeq_ = 0;
  }
  BlockTimer& operator=(BlockTimer&& other) noexcept;
  BlockTimer(BlockTimer const&) = delete;
  BlockTimer& operator=(BlockTimer const&) = delete;
  ~BlockTimer() { stop(); }

  // Writes the elapsed record now and returns its sequence number; 0 when the
  // timer had already reported or was never tied.
  std::uint64_t stop() noexcept;

  bool active() const noexcept { return entrySeq_ != 0; }
  std::uint64_t entrySeq() const noexcept { return entrySeq_; }

 private:
  std::uint64_t entrySeq_ = 0;  // 0: nothing to report
  std::uint64_t startStamp_ = 0;
};

}  // namespace Nimblog
