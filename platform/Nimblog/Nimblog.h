// Nimblog: the process-wide binary trace ring.
//
// A fixed number of fixed-size records (128 bytes); when the ring is full the
// newest record overwrites the oldest. Recording copies a few scalars and short
// strings into a slot and never allocates; turning a record into text happens
// only when the ring is dumped.
//
//   std::uint64_t const seq = Nimblog::log("entry %s, count %u", afText, n);
//   {
//     Nimblog::BlockTimer const timer = Nimblog::logTimed("rebuild %s", afText);
//     rebuild();  // on leaving, a record "elapsed <ns> ns" tied to it
//   }
//   Nimblog::dump(std::cerr);
//
// Ownership and lifetime: a record keeps the format's pointer, not a copy, so
// a format must have static storage (a string literal, __PRETTY_FUNCTION__).
// Integer arguments are kept as 64-bit values, string arguments are copied,
// and cut to fit the record's text area when they are too long (see Record).
//
// Format conversions: %s, %d, %u, %x, %% (length modifiers l, ll, z, h are
// accepted and ignored, as every value is 64 bits wide). A record keeps each
// argument's kind, so %d and %u both print an integer in decimal with its own
// sign, %x prints its 64-bit pattern in hex, and %s prints strings and
// integers alike. A conversion without an argument prints "<missing>"; an
// unknown conversion prints as written; surplus arguments are not printed.
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
// Threads: one thread is the norm. While Pavo::ThreadControl::tsp_ is on,
// recording, dumping and clearing take the ring's lock, so several threads
// may log at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Nimblog/BlockTimer.h"

namespace Nimblog {

// One argument on its way into a record or into a text. A string view only
// borrows its characters.
struct Arg {
  enum class Kind : std::uint8_t { Unsigned, Signed, String };
  Kind kind = Kind::Unsigned;
  std::uint64_t u = 0;  // Unsigned; Signed keeps the value's bit pattern
  std::string_view s;   // String
};

template <class T>
Arg toArg(T const& v) noexcept {
  if constexpr (std::is_convertible_v<T const&, std::string_view>) {
    return Arg{Arg::Kind::String, 0, std::string_view(v)};
  } else if constexpr (std::is_same_v<T, bool>) {
    return Arg{Arg::Kind::Unsigned, v ? 1u : 0u, {}};
  } else if constexpr (std::is_enum_v<T>) {
    return toArg(static_cast<std::underlying_type_t<T>>(v));
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    return Arg{Arg::Kind::Signed, static_cast<std::uint64_t>(static_cast<std::int64_t>(v)), {}};
  } else {
    static_assert(std::is_integral_v<T>, "Nimblog takes integers, enums and strings");
    return Arg{Arg::Kind::Unsigned, static_cast<std::uint64_t>(v), {}};
  }
}
// A null C string stands for "(null)".
inline Arg toArg(char const* v) noexcept {
  return Arg{Arg::Kind::String, 0, v != nullptr ? std::string_view(v) : "(null)"};
}
inline Arg toArg(char* v) noexcept {
  return toArg(static_cast<char const*>(v));
}

// Appends `fmt` with `args` filled in to `out` (conversions: see above).
void formatTo(std::string& out, char const* fmt, Arg const* args, std::size_t count);

// One slot of the ring. seq 0 marks a slot never written.
struct Record {
  static constexpr std::size_t maxArgs = 4;
  // Room for the characters of every string argument together. Each string
  // gets an equal share of what the strings before it left over and is cut to
  // that length: one string keeps up to 56 characters, two up to 28 each.
  static constexpr std::size_t textBytes = 56;

  std::uint64_t seq;
  std::uint64_t timestampNs;  // steady clock, as read out
  char const* fmt;            // static storage; never owned
  std::uint64_t tiedTo;       // a block timer's entry record; 0 for others
  // An integer's value, or for a string (offset << 8 | length) into text.
  std::uint64_t values[maxArgs];
  Arg::Kind kinds[maxArgs];
  std::uint8_t argCount;
  std::uint8_t truncated;  // bit i: string argument i was cut
  char text[textBytes];

  // Argument `i` < argCount; a string's view points into this record.
  Arg arg(std::size_t i) const noexcept;
  // The format with the arguments filled in.
  std::string formatted() const;
};
static_assert(sizeof(Record) == 128, "a record fills two cache lines");

inline constexpr std::size_t defaultCapacity = 1024;

// Writes one record and returns its sequence number (the first is 1; numbers
// go on rising across clear() and capacityIs()).
std::uint64_t logArgs(char const* fmt, Arg const* args, std::size_t count) noexcept;
// As logArgs(), and starts a block timer tied to the new record, from its time.
BlockTimer logTimedArgs(char const* fmt, Arg const* args, std::size_t count) noexcept;

template <class... Args>
std::uint64_t log(char const* fmt, Args const&... args) noexcept {
  static_assert(sizeof...(Args) <= Record::maxArgs, "too many arguments for one record");
  if constexpr (sizeof...(Args) == 0) {
    return logArgs(fmt, nullptr, 0);
  } else {
    Arg const packed[] = {toArg(args)...};
    return logArgs(fmt, packed, sizeof...(Args));
  }
}

template <class... Args>
[[nodiscard]] BlockTimer logTimed(char const* fmt, Args const&... args) noexcept {
  static_assert(sizeof...(Args) <= Record::maxArgs, "too many arguments for one record");
  if constexpr (sizeof...(Args) == 0) {
    return logTimedArgs(fmt, nullptr, 0);
  } else {
    Arg const packed[] = {toArg(args)...};
    return logTimedArgs(fmt, packed, sizeof...(Args));
  }
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
