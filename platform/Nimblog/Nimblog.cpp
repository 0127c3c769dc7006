#include "Nimblog/Nimblog.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <type_traits>
#include <utility>

#include "Pavo/ThreadControl.h"

namespace Nimblog {

namespace {

std::int64_t steadyNs() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

using detail::kCycleCounter;
using detail::stampNow;

// Stamp -> steady-clock nanoseconds: a line through the pair taken when the
// ring was made and a second pair taken at the first read-out, at least
// kCalibrationNs later (the first read-out waits for that once).
class StampClock {
 public:
  StampClock() noexcept : stamp0_(stampNow()), ns0_(steadyNs()) {}

  std::uint64_t toNs(std::uint64_t stamp) noexcept {
    if (!kCycleCounter)
      return stamp;
    if (nsPerStamp_ == 0)
      calibrate();
    double const delta = static_cast<double>(static_cast<std::int64_t>(stamp - stamp0_));
    return static_cast<std::uint64_t>(ns0_ + static_cast<std::int64_t>(delta * nsPerStamp_));
  }

 private:
  static constexpr std::int64_t kCalibrationNs = 20'000'000;

  void calibrate() noexcept {
    std::int64_t ns1 = steadyNs();
    if (ns1 - ns0_ < kCalibrationNs) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(kCalibrationNs - (ns1 - ns0_)));
      ns1 = steadyNs();
    }
    std::uint64_t const stamp1 = stampNow();
    nsPerStamp_ = static_cast<double>(ns1 - ns0_) / static_cast<double>(stamp1 - stamp0_);
  }

  std::uint64_t const stamp0_;
  std::int64_t const ns0_;
  double nsPerStamp_ = 0;  // 0 until calibrated
};

char const elapsedFormat[] = "elapsed %llu ns";
// A block timer's report: its start stamp, as one unsigned argument.
using ElapsedPack = ArgPack<std::uint64_t>;

// Until capacityIs() the ring's records live in static storage, so that no
// record ever waits for an allocation.
Record initialSlots[defaultCapacity];

// The ring: its lock, its storage once capacityIs() replaced the initial one,
// and its clock; where records go is detail::ringCursor. In the ring a
// record's timestampNs holds its raw stamp, and a block timer's elapsed
// record holds its start stamp as its argument; both are turned into
// nanoseconds on the way out (readOut).
class Ring {
 public:
  static Ring& instance() {
    // Never destroyed: timers may report during static destruction.
    alignas(Ring) static std::byte storage[sizeof(Ring)];
    static Ring* r = new (storage) Ring;
    return *r;
  }

  std::uint64_t write(char const* fmt, Layout const& layout, PackFn pack, void const* args,
                      std::uint64_t stamp) noexcept {
    std::lock_guard const lock(mutex_);
    Record& r = cursor().claim(fmt, layout, 0, stamp);
    r.truncated = pack != nullptr ? pack(r.data, args) : 0;
    return r.seq;
  }

  // A block timer's report: its start stamp as the one unsigned argument.
  static std::uint64_t writeElapsed(std::uint64_t tiedTo, std::uint64_t start,
                                    std::uint64_t stamp) noexcept {
    Record& r = cursor().claim(elapsedFormat, ElapsedPack::layout, tiedTo, stamp);
    r.truncated = 0;
    std::memcpy(r.data, &start, sizeof start);
    return r.seq;
  }
  std::uint64_t writeElapsedLocked(std::uint64_t tiedTo, std::uint64_t start,
                                   std::uint64_t stamp) noexcept {
    std::lock_guard const lock(mutex_);
    return writeElapsed(tiedTo, start, stamp);
  }

  // A record as read out: stamps turned into nanoseconds. An elapsed record
  // measures from its start stamp to its own, both converted, so it never
  // exceeds the distance between its entry's and its own time.
  Record readOut(Record const& in) noexcept {
    Record r = in;
    r.timestampNs = clock_.toNs(in.timestampNs);
    if (in.fmt == elapsedFormat) {
      std::uint64_t start;
      std::memcpy(&start, in.data, sizeof start);
      std::uint64_t const elapsed = r.timestampNs - clock_.toNs(start);
      std::memcpy(r.data, &elapsed, sizeof elapsed);
    }
    return r;
  }

  template <class Fn>
  void forEachOldestFirst(Fn&& fn) {
    locked([&] {
      detail::RingCursor const& c = cursor();
      for (std::uint64_t seq = c.nextSeq - c.held; seq != c.nextSeq; ++seq)
        fn(readOut(c.slots[seq % c.capacity]));
    });
  }

  void clear() {
    locked([&] { cursor().held = 0; });
  }

  void capacityIs(std::size_t records) {
    records = std::max<std::size_t>(records, 1);
    auto fresh = std::make_unique<Record[]>(records);
    locked([&] {
      owned_ = std::move(fresh);
      detail::RingCursor& c = cursor();
      c.slots = owned_.get();
      c.capacity = records;
      c.held = 0;
      c.nextSlot = c.nextSeq % c.capacity;
    });
  }

 private:
  Ring() = default;

  static detail::RingCursor& cursor() noexcept { return detail::ringCursor; }

  // Runs `fn` under the ring's lock while threads are on, else as it is.
  template <class Fn>
  std::invoke_result_t<Fn&> locked(Fn&& fn) {
    if (Pavo::ThreadControl::tsp_) [[unlikely]] {
      std::lock_guard const lock(mutex_);
      return fn();
    }
    return fn();
  }

  std::mutex mutex_;
  std::unique_ptr<Record[]> owned_;
  StampClock clock_;
};

// Made at load, so that the clock's first reading comes before any read-out.
[[maybe_unused]] Ring const& ringAtLoad = Ring::instance();

void appendUnsigned(std::string& out, std::uint64_t v, unsigned base) {
  char digits[24];
  char* p = digits + sizeof digits;
  do {
    *--p = "0123456789abcdef"[v % base];
    v /= base;
  } while (v != 0);
  out.append(p, digits + sizeof digits);
}

void appendInteger(std::string& out, Arg const& a) {
  auto const s = static_cast<std::int64_t>(a.u);
  if (a.kind == Arg::Kind::Signed && s < 0) {
    out += '-';
    appendUnsigned(out, 0 - a.u, 10);
  } else {
    appendUnsigned(out, a.u, 10);
  }
}

}  // namespace

void formatTo(std::string& out, char const* fmt, Arg const* args, std::size_t count) {
  if (fmt == nullptr)
    return;
  std::size_t next = 0;
  for (char const* p = fmt; *p != '\0'; ++p) {
    if (*p != '%') {
      char const* run = p;
      while (p[1] != '\0' && p[1] != '%')
        ++p;
      out.append(run, p + 1);
      continue;
    }
    char const* start = p++;
    if (*p == '%') {
      out += '%';
      continue;
    }
    while (*p == 'l' || *p == 'h' || *p == 'z')
      ++p;
    char const conversion = *p;
    if (conversion != 's' && conversion != 'd' && conversion != 'u' && conversion != 'x') {
      // Not ours: print it as written and go on after it.
      if (conversion == '\0') {
        out.append(start);
        return;
      }
      out.append(start, p + 1);
      continue;
    }
    if (next == count) {
      out += "<missing>";
      continue;
    }
    Arg const& a = args[next++];
    if (a.kind == Arg::Kind::String) {
      out.append(a.s);
    } else if (a.kind == Arg::Kind::Typed) {
      a.text(out, a.bytes);
    } else if (conversion == 'x') {
      appendUnsigned(out, a.u, 16);
    } else {
      appendInteger(out, a);
    }
  }
}

Arg Record::arg(std::size_t i) const noexcept {
  ArgSlot const& slot = layout->args[i];
  std::byte const* const at = data + slot.offset;
  switch (slot.kind) {
    case Arg::Kind::Unsigned:
    case Arg::Kind::Signed: {
      std::uint64_t u = 0;
      std::memcpy(&u, at, slot.size);  // little-endian: the low bytes
      unsigned const unused = 64 - 8 * slot.size;
      if (slot.kind == Arg::Kind::Signed && unused != 0)
        u = static_cast<std::uint64_t>(static_cast<std::int64_t>(u << unused) >> unused);
      return Arg::integer(slot.kind, u);
    }
    case Arg::Kind::String: {
      // The characters follow the fixed part, string after string.
      std::size_t start = layout->fixedBytes;
      for (std::size_t j = 0; j < i; ++j) {
        if (layout->args[j].kind == Arg::Kind::String)
          start += std::to_integer<std::size_t>(data[layout->args[j].offset]);
      }
      return Arg::string(std::string_view(reinterpret_cast<char const*>(data + start),
                                          std::to_integer<std::size_t>(*at)));
    }
    case Arg::Kind::Typed:
      break;
  }
  return Arg::typed(at, slot.text);
}

std::string Record::formatted() const {
  // Typed texts are made here and cut to their share of what the texts
  // before them left (see Nimblog/ArgPack.h); strings were cut when written.
  Arg args[maxArgs];
  std::string typedTexts[maxArgs];
  std::size_t textsLeft = 0;
  for (std::size_t i = 0; i < argCount; ++i) {
    args[i] = arg(i);
    textsLeft += args[i].kind == Arg::Kind::String || args[i].kind == Arg::Kind::Typed;
  }
  std::size_t used = 0;
  for (std::size_t i = 0; i < argCount; ++i) {
    if (args[i].kind == Arg::Kind::String) {
      used += args[i].s.size();
      --textsLeft;
    } else if (args[i].kind == Arg::Kind::Typed) {
      args[i].text(typedTexts[i], args[i].bytes);
      typedTexts[i].resize(std::min(typedTexts[i].size(), (layout->textRoom - used) / textsLeft--));
      used += typedTexts[i].size();
      args[i] = Arg::string(typedTexts[i]);
    }
  }
  std::string out;
  formatTo(out, fmt, args, argCount);
  return out;
}

namespace detail {

constinit RingCursor ringCursor{initialSlots, defaultCapacity, 0, 1, 1};

#if !defined(__x86_64__) && !defined(__i386__)
std::uint64_t stampNow() noexcept {
  return static_cast<std::uint64_t>(steadyNs());
}
#endif

std::uint64_t writeLocked(char const* fmt, Layout const& layout, PackFn pack, void const* args,
                          std::uint64_t stamp) noexcept {
  return Ring::instance().write(fmt, layout, pack, args, stamp);
}

}  // namespace detail

BlockTimer& BlockTimer::operator=(BlockTimer&& other) noexcept {
  if (this != &other) {
    stop();
    entrySeq_ = std::exchange(other.entrySeq_, 0);
    startStamp_ = other.startStamp_;
  }
  return *this;
}

std::uint64_t BlockTimer::stop() noexcept {
  if (entrySeq_ == 0)
    return 0;
  // The record's own time is the end; it carries the start stamp, and the
  // elapsed time is worked out when the record is read out.
  std::uint64_t const tiedTo = std::exchange(entrySeq_, 0);
  std::uint64_t const end = stampNow();
  if (Pavo::ThreadControl::tsp_) [[unlikely]]
    return Ring::instance().writeElapsedLocked(tiedTo, startStamp_, end);
  return Ring::writeElapsed(tiedTo, startStamp_, end);
}

void dump(std::ostream& os) {
  std::string line;
  Ring::instance().forEachOldestFirst([&](Record const& r) {
    line.clear();
    appendUnsigned(line, r.timestampNs / 1000000000u, 10);
    line += '.';
    std::string nanos;
    appendUnsigned(nanos, r.timestampNs % 1000000000u, 10);
    line.append(9 - nanos.size(), '0');
    line += nanos;
    line += " #";
    appendUnsigned(line, r.seq, 10);
    if (r.tiedTo != 0) {
      line += " [#";
      appendUnsigned(line, r.tiedTo, 10);
      line += ']';
    }
    line += ' ';
    line += r.formatted();
    line += '\n';
    os << line;
  });
}

std::vector<Record> records() {
  std::vector<Record> out;
  Ring::instance().forEachOldestFirst([&](Record const& r) { out.push_back(r); });
  return out;
}

void clear() {
  Ring::instance().clear();
}

void capacityIs(std::size_t records) {
  Ring::instance().capacityIs(records);
}

std::size_t capacity() {
  return detail::ringCursor.capacity;
}

std::size_t size() {
  return detail::ringCursor.held;
}

}  // namespace Nimblog
