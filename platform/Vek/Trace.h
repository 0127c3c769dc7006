// Vek trace: facility handles with per-level switches, and the formatted
// trace back end that their messages go to.
//
// A TraceHandle belongs to one facility (a name shared by every module that
// traces under it) and carries levels 0..9, each on or off. Checking a level is
// one relaxed load and a bit test, so a disabled trace point costs next to
// nothing. Every handle registers in a process-wide registry for its lifetime;
// switching a level for a facility name changes every live handle of that name
// and is remembered for handles created later.
//
// A module makes its handle on first use, once per source file:
//
//   VEK_TRACE_HANDLE_DEFINE(traceHandle, "SegmentRoutingMappers", false)
//   ...
//   VEK_TRACE(traceHandle(), 9, "doCleanup" << ": " << af << "Cleaning up the map");
//
// VEK_TRACE evaluates its message operands only when the level is on. The
// message is built by a TraceHelper and handed, whole, to the installed sink on
// the helper's destruction. The default sink writes one line to stderr:
//
//   <facility> L<level> <file name>:<line> <function>: <text>
//
// where <file name> is the last path component of the file. Tests and tools
// install their own sink with traceSinkIs() and put the previous one back.
//
// Start-up setting: the first use of trace (a handle made, a level switched,
// a message written) reads the environment variable VEK_TRACE, e.g.
//   VEK_TRACE="SegmentRoutingMappers=0-3,8,9"
// in the grammar of traceSettingsApply(), strictly: every part must be well
// formed and name a facility declared by then (by a handle, or at load by
// VEK_TRACE_HANDLE_DEFINE or a TraceFacilityDeclared). Otherwise the whole
// value is reported once on standard error and ignored: every facility keeps
// its default levels. No static initialiser traces, so every module linked
// into the process has declared its facility before the value is read.
//
// Threads: level switches and the sink may be changed from any thread; a
// handle's levels are read without a lock. The registry owns no handle: a
// handle unregisters itself when destroyed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace Vek {

inline constexpr unsigned traceLevelMax = 9;
// Bit n stands for level n; bits above traceLevelMax are never set.
inline constexpr std::uint32_t traceLevelsAll = (1u << (traceLevelMax + 1)) - 1;

class TraceHandle {
 public:
  // `enabledByDefault` true starts with every level on, false with every level
  // off; levels set for the facility (by name or from VEK_TRACE) override it.
  TraceHandle(char const* facility, bool enabledByDefault);
  TraceHandle(TraceHandle const&) = delete;
  TraceHandle& operator=(TraceHandle const&) = delete;
  ~TraceHandle();

  bool enabled(unsigned level) const noexcept {
    return level <= traceLevelMax && ((mask_.load(std::memory_order_relaxed) >> level) & 1u) != 0;
  }
  std::string const& facility() const noexcept { return facility_; }
  std::uint32_t levelMask() const noexcept { return mask_.load(std::memory_order_relaxed); }
  std::uint32_t defaultMask() const noexcept { return defaultMask_; }

  // These change this handle only, not its facility's remembered setting.
  // A level above traceLevelMax raises Pavo::RangeException.
  void levelIs(unsigned level, bool on);
  void levelsAllIs(bool on) noexcept;
  void levelMaskIs(std::uint32_t mask) noexcept {
    mask_.store(mask & traceLevelsAll, std::memory_order_relaxed);
  }

 private:
  friend class TraceRegistry;
  std::string const facility_;
  std::uint32_t const defaultMask_;
  std::atomic<std::uint32_t> mask_;
  // Registry links, guarded by the registry's mutex.
  TraceHandle* prev_ = nullptr;
  TraceHandle* next_ = nullptr;
};

// "8,9", "0-3,9", "all", "none" -> level mask; nullopt when malformed (an
// empty list included).
std::optional<std::uint32_t> traceLevelsParse(std::string_view text);
// Switches `level` for every live handle of `facility` and for those created
// later. A level above traceLevelMax raises Pavo::RangeException.
void traceLevelIs(std::string_view facility, unsigned level, bool on);
// Switches every level of `facility`, now and for handles created later.
void traceLevelsAllIs(std::string_view facility, bool on);

// Applies a setting text: parts separated by ';' or blanks, each
// "<facility>=<levels>" where <levels> is "all", "none" or a comma list of
// levels and ranges ("8,9", "0-3,9"; numbers as in Vek/Setting.h), never
// empty. The facility's levels become exactly the listed ones. Malformed parts
// are skipped; returns false when there was one.
bool traceSettingsApply(std::string_view settings);
// What start-up does with VEK_TRACE's value: applies it when every part is
// well formed and names a declared facility; otherwise writes one message to
// standard error and applies nothing. Returns whether it applied.
bool traceEnvironmentApply(std::string_view value);

// Declares a facility name, so that VEK_TRACE may name it before any of its
// handles exists. Hold one at namespace scope (VEK_TRACE_HANDLE_DEFINE does).
class TraceFacilityDeclared {
 public:
  explicit TraceFacilityDeclared(char const* facility);
};
// Forgets every facility setting and returns every live handle to its default.
void traceSettingsReset();

// One finished message, as a sink sees it. The views live only for the call.
struct TraceRecord {
  std::string_view facility;
  unsigned level;
  char const* file;
  int line;
  char const* function;
  std::string_view text;
};

using TraceSink = std::function<void(TraceRecord const&)>;

// Installs `sink` (an empty one stands for the default stderr sink) and
// returns the sink it replaces, for the caller to put back.
TraceSink traceSinkIs(TraceSink sink);
// The default sink's line for `record`, without the newline.
std::string traceLineFormat(TraceRecord const& record);
// Hands one finished message to the installed sink. Does not check levels.
void traceEmit(TraceHandle const& handle, unsigned level, char const* file, int line,
               char const* function, std::string_view text);

// Builds one message stream-style and emits it when destroyed. Create it only
// when the level is on (VEK_TRACE does that): building always costs.
class TraceHelper {
 public:
  TraceHelper(TraceHandle const& handle, unsigned level, char const* file, int line,
              char const* function)
      : handle_(handle), level_(level), file_(file), line_(line), function_(function) {}
  TraceHelper(TraceHelper const&) = delete;
  TraceHelper& operator=(TraceHelper const&) = delete;
  // A sink that throws loses its message; the exception does not leave here.
  ~TraceHelper();

  // One-byte integers print as numbers, not characters; char prints as char.
  template <class T>
  TraceHelper& operator<<(T const& value) {
    if constexpr (std::is_same_v<T, signed char> || std::is_same_v<T, unsigned char>) {
      stream_ << static_cast<int>(value);
    } else {
      stream_ << value;
    }
    return *this;
  }
  TraceHelper& operator<<(std::ios_base& (*manip)(std::ios_base&)) {
    stream_ << manip;
    return *this;
  }

 private:
  TraceHandle const& handle_;
  unsigned const level_;
  char const* const file_;
  int const line_;
  char const* const function_;
  std::ostringstream stream_;
};

}  // namespace Vek

// Emits the message (the operands after `level`, joined by <<; commas inside
// them need no parentheses) at `level` on `handle` when that level is on;
// otherwise evaluates nothing but `handle` and `level`.
#define VEK_TRACE(handle, level, ...)                                                            \
  do {                                                                                           \
    if (::Vek::TraceHandle const& vekTraceHandle_ = (handle); vekTraceHandle_.enabled(level)) {  \
      ::Vek::TraceHelper(vekTraceHandle_, (level), __FILE__, __LINE__, __func__) << __VA_ARGS__; \
    }                                                                                            \
  } while (false)

// Defines `static Vek::TraceHandle& name()` that makes the file's handle on
// first use, and declares its facility at load. Use at namespace scope, once
// per source file.
#define VEK_TRACE_HANDLE_DEFINE(name, facility, enabledByDefault)          \
  static ::Vek::TraceFacilityDeclared const name##Facility_(facility);     \
  [[maybe_unused]] static ::Vek::TraceHandle& name() {                     \
    static ::Vek::TraceHandle vekTraceHandle_(facility, enabledByDefault); \
    return vekTraceHandle_;                                                \
  }
