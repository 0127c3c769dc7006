// Duolog: one trace call that writes to both trace back ends.
//
// Each call writes one Nimblog ring record with the given format and
// arguments and, when `handle` has `level` on, one formatted trace message
// (Vek trace) whose text is the same format with the arguments filled in, in
// full: strings and typed texts are cut only in the ring record. entry() also starts a block
// timer tied to the ring record, meant to cover the rest of the function:
//
//   void handleInitialized(Vantre::AddressFamily af) {
//     Nimblog::BlockTimer const timer =
//         Duolog::entry(traceHandle(), 8, __FILE__, __LINE__, __func__,
//                       "void SegmentRouting::Mappers::Mapper::handleInitialized()() %s", af);
//     rebuild();  // the rest of the function, under the timer
//   }
//
// The format must have static storage, as for Nimblog::log(); the arguments
// are what a ring record takes (Nimblog/ArgPack.h: integers, enums, strings,
// typed values), at most Nimblog::maxArgs of them. The ring record keeps them
// as bytes; only a level that is on turns them into text (a typed value by
// its text function, in full). With the level off nothing is allocated and
// nothing formatted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Nimblog/Nimblog.h"
#include "Vek/Trace.h"

namespace Duolog {

// The formatted half: writes `fmt` with `args` filled in at `level`, whether
// or not the level is on.
void traceArgs(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
               char const* function, char const* fmt, Nimblog::Arg const* args, std::size_t count);

// The same for the arguments as the caller passed them (viewed, not copied).
template <class... Args>
void trace(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
           char const* function, char const* fmt, Args const&... args) {
  Nimblog::Arg const viewed[sizeof...(Args) + 1] = {Nimblog::toArg(args)...};
  traceArgs(handle, level, file, line, function, fmt, viewed, sizeof...(Args));
}

// Writes both back ends; returns the ring record's sequence number.
template <class... Args>
std::uint64_t log(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
                  char const* function, char const* fmt, Args const&... args) {
  std::uint64_t const seq = Nimblog::log(fmt, args...);
  if (handle.enabled(level)) [[unlikely]]
    trace(handle, level, file, line, function, fmt, args...);
  return seq;
}

// As log(), and returns a block timer tied to the ring record.
template <class... Args>
[[nodiscard]] Nimblog::BlockTimer entry(Vek::TraceHandle const& handle, unsigned level,
                                        char const* file, int line, char const* function,
                                        char const* fmt, Args const&... args) {
  Nimblog::BlockTimer timer = Nimblog::logTimed(fmt, args...);
  if (handle.enabled(level)) [[unlikely]]
    trace(handle, level, file, line, function, fmt, args...);
  return timer;
}

}  // namespace Duolog
