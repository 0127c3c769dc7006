// Nimblog: the process-wide binary trace ring.
//
// A fixed number of fixed-size records (128 bytes); when the ring is full the
// newest record overwrites the oldest. Recording copies the arguments' bytes
// into a slot and never allocates; turning a record into text happens only
// when the ring is read out.
//
//   std::uint64_t const seq = Nimblog::log("entry %s, count %u", af, n);  // "entry ipv4, count 3"
//   {
//     Nimblog::BlockTimer const timer = Nimblog::logTimed("rebuild %s", af);
//     rebuild();  // on leaving, a record "elapsed <ns> ns" tied to it
//   }
//   Nimblog::dump(std::cerr);
//
// Ownership and lifetime: a record keeps the format's pointer, not a copy, so
// a format must have static storage (a string literal, __PRETTY_FUNCTION__).
// Arguments are kept as their bytes (integers at their own width, typed
// values whole) or characters (strings, cut to fit): nothing is turned into
// text until the ring is read out. Nimblog/ArgPack.h says what each kind of
// argument keeps and how strings and typed texts share a record's room.
//
// Format conversions: %s, %d, %u, %x, %% (length modifiers l, ll, z, h are
// accepted and ignored). A record keeps each argument's kind, so %d and %u
// both print an integer in decimal with its own sign, %x prints its 64-bit
// pattern in hex, and %s prints strings, typed values and integers alike (a
// typed value prints its text whatever the conversion). A conversion
// without an argument prints "<missing>"; an unknown conversion prints as
// written; surplus arguments are not printed.
//
// Dump lines, oldest first:
//   <seconds>.<nanoseconds> #<seq> <text>          a plain record
//   <seconds>.<nanoseconds> #<seq> [#<entry>] <text>   a block timer's record
// where the time is the steady clock's and <entry> the record the timer is
// tied to. Recording reads a cycle counter (where there is one; else the
// steady clock) and never makes a system call; stamps are turned into
// steady-clock nanoseconds when records are read out (records(), dump()),
// the first read-out calibrating the counter against the clock once.
//
// Threads: one thread is the norm, and then log() and logTimed() write in
// line: a slot claimed and the arguments packed into it, no call. While
// Pavo::ThreadControl::tsp_ is on, recording, dumping and clearing take the
// ring's lock, so several threads may log at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "Nimblog/ArgPack.h"
#include "Nimblog/BlockTimer.h"
#include "Pavo/ThreadControl.h"

namespace Nimblog {

// Appends `fmt` with `args` filled in to `out` (conversions: see above).
void formatTo(std::string& out, char const* fmt, Arg const* args, std::size_t count);

// One slot of the ring. seq 0 marks a slot never written.
struct Record {
  static constexpr std::size_t maxArgs = Nimblog::maxArgs;
  static constexpr std::size_t textBytes = Nimblog::textBytes;

  std::uint64_t seq;
  std::uint64_t timestampNs;  // steady clock, as read out
  char const* fmt;            // static storage; never owned
  std::uint64_t tiedTo;       // a block timer's entry record; 0 for others
  Layout const* layout;       // static storage: where data holds each argument
  std::uint8_t argCount;
  std::uint8_t truncated;  // bit i: string argument i was cut when written
  std::byte data[dataBytes];

  // Argument `i` < argCount; a string's view and a typed value's bytes point
  // into this record.
  Arg arg(std::size_t i) const noexcept;
  // The format with the arguments filled in, typed texts cut to their share.
  std::string formatted() const;
};
static_assert(sizeof(Record) == 128, "a record fills two cache lines");

inline constexpr std::size_t defaultCapacity = 1024;

namespace detail {

// The stamp a record takes: the cycle counter where there is one (no system
// call, a few nanoseconds), else the steady clock in nanoseconds. Stamps
// become steady-clock nanoseconds only when records are read out.
#if defined(__x86_64__) || defined(__i386__)
inline constexpr bool kCycleCounter = true;
inline std::uint64_t stampNow() noexcept {
  return __builtin_ia32_rdtsc();
}
#else
inline constexpr bool kCycleCounter = false;
std::uint64_t stampNow() noexcept;
#endif

// Where the ring's next record goes. Slot of sequence number s: s % capacity
// (nextSlot is nextSeq % capacity, kept without a division); records with
// sequence numbers [nextSeq - held, nextSeq) are in the ring, the newest
// last. While threads are off a record is claimed and filled in line, by the
// caller; while they are on, under the ring's lock (Nimblog.cpp).
struct RingCursor {
  Record* slots;
  std::size_t capacity;
  std::size_t held;
  std::uint64_t nextSeq;
  std::size_t nextSlot;

  // The next slot, stamped and numbered; the caller fills the arguments.
  Record& claim(char const* fmt, Layout const& layout, std::uint64_t tiedTo,
                std::uint64_t stamp) noexcept {
    if (held < capacity)
      ++held;
    Record& r = slots[nextSlot];
    nextSlot = nextSlot + 1 == capacity ? 0 : nextSlot + 1;
    r.seq = nextSeq++;
    r.timestampNs = stamp;
    r.fmt = fmt;
    r.tiedTo = tiedTo;
    r.layout = &layout;
    r.argCount = layout.count;
    return r;
  }
};
// The one ring's cursor: constant-initialised, never destroyed, so records
// may be written before and after main().
extern RingCursor ringCursor;

// Writes one record under the ring's lock: its arguments `pack` writes by
// `layout` from `args` (see ArgPack).
std::uint64_t writeLocked(char const* fmt, Layout const& layout, PackFn pack, void const* args,
                          std::uint64_t stamp) noexcept;

template <class... Args>
std::uint64_t write(char const* fmt, std::uint64_t stamp, Args const&... args) noexcept {
  using Pack = ArgPack<Args...>;
  if (Pavo::ThreadControl::tsp_) [[unlikely]] {
    typename Pack::Refs const refs(args...);
    return writeLocked(fmt, Pack::layout, Pack::packer(), &refs, stamp);
  }
  Record& r = ringCursor.claim(fmt, Pack::layout, 0, stamp);
  r.truncated = Pack::pack(r.data, args...);
  return r.seq;
}

}  // namespace detail

// Writes one record and returns its sequence number (the first is 1; numbers
// go on rising across clear() and capacityIs()).
template <class... Args>
std::uint64_t log(char const* fmt, Args const&... args) noexcept {
  return detail::write(fmt, detail::stampNow(), args...);
}

// As log(), and starts a block timer tied to the new record, from its time.
template <class... Args>
[[nodiscard]] BlockTimer logTimed(char const* fmt, Args const&... args) noexcept {
  std::uint64_t const start = detail::stampNow();
  return BlockTimer(detail::write(fmt, start, args...), start);
}

// Writes the ring's records as text lines, oldest first.
void dump(std::ostream& os);
// Copies the ring's records, oldest first.
std::vector<Record> records();
// Empties the ring; sequence numbers go on from where they were.
void clear();
// Replaces the ring by an empty one of `records` slots (at least 1). Set-up
// only: it allocates, and must not race with logging.
void capacityIs(std::size_t records);
std::size_t capacity();
// Records held now: at most capacity().
std::size_t size();

}  // namespace Nimblog
