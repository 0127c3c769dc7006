// Duolog: one trace call that writes to both trace back ends.
//
// Each call writes one Nimblog ring record with the given format and
// arguments and, when `handle` has `level` on, one formatted trace message
// (Vek trace) whose text is the same format with the arguments filled in, in
// full: strings are cut only in the ring record. entry() also starts a block
// timer tied to the ring record, meant to cover the rest of the function:
//
//   void handleInitialized(std::string const& afText) {
//     Nimblog::BlockTimer const timer =
//         Duolog::entry(traceHandle(), 8, __FILE__, __LINE__, __func__,
//                       "void SegmentRouting::Mappers::Mapper::handleInitialized()() %s", afText);
//     rebuild();  // the rest of the function, under the timer
//   }
//
// The format must have static storage, as for Nimblog::log(); the arguments
// are integers, enums and strings, at most Nimblog::Record::maxArgs of them.
// With the level off nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Nimblog/Nimblog.h"
#include "Vek/Trace.h"

namespace Duolog {

// The formatted half: writes `fmt` with `args` filled in at `level`.
void traceArgs(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
               char const* function, char const* fmt, Nimblog::Arg const* args, std::size_t count);

// Writes both back ends; returns the ring record's sequence number.
template <class... Args>
std::uint64_t log(Vek::TraceHandle const& handle, unsigned level, char const* file, int line,
                  char const* function, char const* fmt, Args const&... args) {
  static_assert(sizeof...(Args) <= Nimblog::Record::maxArgs, "too many arguments for one record");
  Nimblog::Arg const packed[sizeof...(Args) + 1] = {Nimblog::toArg(args)...};
  std::uint64_t const seq = Nimblog::logArgs(fmt, packed, sizeof...(Args));
  if (handle.enabled(level)) {
    traceArgs(handle, level, file, line, function, fmt, packed, sizeof...(Args));
  }
  return seq;
}

// As log(), and returns a block timer tied to the ring record.
template <class... Args>
[[nodiscard]] Nimblog::BlockTimer entry(Vek::TraceHandle const& handle, unsigned level,
                                        char const* file, int line, char const* function,
                                        char const* fmt, Args const&... args) {
  static_assert(sizeof...(Args) <= Nimblog::Record::maxArgs, "too many arguments for one record");
  Nimblog::Arg const packed[sizeof...(Args) + 1] = {Nimblog::toArg(args)...};
  Nimblog::BlockTimer timer = Nimblog::logTimedArgs(fmt, packed, sizeof...(Args));
  if (handle.enabled(level)) {
    traceArgs(handle, level, file, line, function, fmt, packed, sizeof...(Args));
  }
  return timer;
}

}  // namespace Duolog
