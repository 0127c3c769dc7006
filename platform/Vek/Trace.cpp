#include "Vek/Trace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

#include "Pavo/Exception.h"
#include "Vek/QuotedText.h"
#include "Vek/Setting.h"

namespace Vek {

namespace {

void checkLevel(unsigned level) {
  if (level > traceLevelMax) {
    throw Pavo::RangeException("trace level " + std::to_string(level) + " exceeds the highest, " +
                               std::to_string(traceLevelMax));
  }
}

// A facility's remembered levels: the bits in `set` take their value from
// `on`; the others keep each handle's default.
struct FacilitySetting {
  std::uint32_t set = 0;
  std::uint32_t on = 0;
  std::uint32_t applyTo(std::uint32_t defaultMask) const {
    return (defaultMask & ~set) | (on & set);
  }
};

// One "<facility>=<levels>" part of a setting text.
struct SettingPart {
  std::string_view text;
  std::string_view facility;
  std::optional<std::uint32_t> mask;  // nullopt: the part is malformed
};

// Calls `each(SettingPart)` for every part of `settings`, in order.
template <class F>
void forEachPart(std::string_view settings, F&& each) {
  constexpr std::string_view separators = "; \t\n";
  for (;;) {
    std::size_t const start = settings.find_first_not_of(separators);
    if (start == std::string_view::npos)
      return;
    settings.remove_prefix(start);
    std::size_t const end = std::min(settings.find_first_of(separators), settings.size());
    SettingPart part{settings.substr(0, end), {}, std::nullopt};
    settings.remove_prefix(end);
    std::size_t const eq = part.text.find('=');
    if (eq != 0 && eq != std::string_view::npos) {
      part.facility = part.text.substr(0, eq);
      part.mask = traceLevelsParse(part.text.substr(eq + 1));
    }
    each(part);
  }
}

// Facility names declared at load or by a handle; never destroyed, and
// separate from the registry so that declaring one does not read VEK_TRACE.
struct DeclaredFacilities {
  std::mutex mutex;
  std::set<std::string, std::less<>> names;
};
DeclaredFacilities& declaredFacilities() {
  static DeclaredFacilities* d = new DeclaredFacilities;
  return *d;
}

void facilityDeclare(char const* facility) {
  DeclaredFacilities& d = declaredFacilities();
  std::lock_guard lock(d.mutex);
  d.names.emplace(facility);
}

bool facilityDeclared(std::string_view facility) {
  DeclaredFacilities& d = declaredFacilities();
  std::lock_guard lock(d.mutex);
  return d.names.find(facility) != d.names.end();
}

}  // namespace

// Every live handle, and the settings remembered per facility name.
class TraceRegistry {
 public:
  // Never destroyed: handles of other shared objects may unregister late.
  static TraceRegistry& instance() {
    static TraceRegistry* r = new TraceRegistry;
    return *r;
  }

  void add(TraceHandle& h) {
    std::lock_guard lock(mutex_);
    auto const it = settings_.find(h.facility_);
    h.mask_.store(it == settings_.end() ? h.defaultMask_ : it->second.applyTo(h.defaultMask_),
                  std::memory_order_relaxed);
    h.next_ = head_;
    if (head_ != nullptr)
      head_->prev_ = &h;
    head_ = &h;
  }

  void remove(TraceHandle& h) {
    std::lock_guard lock(mutex_);
    (h.prev_ != nullptr ? h.prev_->next_ : head_) = h.next_;
    if (h.next_ != nullptr)
      h.next_->prev_ = h.prev_;
  }

  // Marks `bits` of `facility` as set to the matching bits of `on`, and
  // applies that to every live handle of the facility.
  void settingIs(std::string_view facility, std::uint32_t bits, std::uint32_t on) {
    std::lock_guard lock(mutex_);
    auto it = settings_.find(facility);
    if (it == settings_.end())
      it = settings_.emplace(std::string(facility), FacilitySetting{}).first;
    it->second.set |= bits;
    it->second.on = (it->second.on & ~bits) | (on & bits);
    for (TraceHandle* h = head_; h != nullptr; h = h->next_) {
      if (h->facility_ != facility)
        continue;
      std::uint32_t const old = h->mask_.load(std::memory_order_relaxed);
      h->mask_.store((old & ~bits) | (on & bits), std::memory_order_relaxed);
    }
  }

  void reset() {
    std::lock_guard lock(mutex_);
    settings_.clear();
    for (TraceHandle* h = head_; h != nullptr; h = h->next_) {
      h->mask_.store(h->defaultMask_, std::memory_order_relaxed);
    }
  }

  // See traceSettingsApply() and traceEnvironmentApply().
  bool apply(std::string_view settings);
  bool applyEnvironment(std::string_view value);

 private:
  TraceRegistry() {
    if (char const* env = std::getenv("VEK_TRACE"))
      applyEnvironment(env);
  }

  std::mutex mutex_;
  TraceHandle* head_ = nullptr;
  std::map<std::string, FacilitySetting, std::less<>> settings_;
};

TraceHandle::TraceHandle(char const* facility, bool enabledByDefault)
    : facility_(facility), defaultMask_(enabledByDefault ? traceLevelsAll : 0u), mask_(0) {
  facilityDeclare(facility);
  TraceRegistry::instance().add(*this);
}

TraceHandle::~TraceHandle() {
  TraceRegistry::instance().remove(*this);
}

void TraceHandle::levelIs(unsigned level, bool on) {
  checkLevel(level);
  std::uint32_t const bit = 1u << level;
  if (on) {
    mask_.fetch_or(bit, std::memory_order_relaxed);
  } else {
    mask_.fetch_and(~bit, std::memory_order_relaxed);
  }
}

void TraceHandle::levelsAllIs(bool on) noexcept {
  levelMaskIs(on ? traceLevelsAll : 0u);
}

std::optional<std::uint32_t> traceLevelsParse(std::string_view text) {
  if (text == "all")
    return traceLevelsAll;
  if (text == "none")
    return 0u;
  if (text.empty())
    return std::nullopt;
  std::uint32_t mask = 0;
  for (;;) {
    std::size_t const comma = text.find(',');
    std::string_view const item = text.substr(0, comma);
    std::size_t const dash = item.find('-');
    auto const low = settingNumber(item.substr(0, dash), traceLevelMax);
    auto const high =
        dash == std::string_view::npos ? low : settingNumber(item.substr(dash + 1), traceLevelMax);
    if (!low || !high || *low > *high)
      return std::nullopt;
    for (std::uint64_t l = *low; l <= *high; ++l)
      mask |= 1u << l;
    if (comma == std::string_view::npos)
      return mask;
    text.remove_prefix(comma + 1);
  }
}

void traceLevelIs(std::string_view facility, unsigned level, bool on) {
  checkLevel(level);
  std::uint32_t const bit = 1u << level;
  TraceRegistry::instance().settingIs(facility, bit, on ? bit : 0u);
}

void traceLevelsAllIs(std::string_view facility, bool on) {
  TraceRegistry::instance().settingIs(facility, traceLevelsAll, on ? traceLevelsAll : 0u);
}

bool TraceRegistry::apply(std::string_view settings) {
  bool wellFormed = true;
  forEachPart(settings, [&](SettingPart const& part) {
    if (part.mask) {
      settingIs(part.facility, traceLevelsAll, *part.mask);
    } else {
      wellFormed = false;
    }
  });
  return wellFormed;
}

bool TraceRegistry::applyEnvironment(std::string_view value) {
  std::string problem;
  forEachPart(value, [&](SettingPart const& part) {
    if (!problem.empty())
      return;
    if (!part.mask) {
      problem.append("has a part ")
          .append(QuotedText(part.text, '"').view())
          .append(
              " that is not <facility>=<levels> (levels: all, none or a comma list of levels and "
              "ranges from 0 to 9)");
    } else if (!facilityDeclared(part.facility)) {
      problem.append("names an unknown facility ").append(QuotedText(part.facility, '"').view());
    }
  });
  if (!problem.empty()) {
    settingRefused("VEK_TRACE", value, problem, "ignoring it, every facility keeps its defaults");
    return false;
  }
  return apply(value);
}

bool traceSettingsApply(std::string_view settings) {
  return TraceRegistry::instance().apply(settings);
}

bool traceEnvironmentApply(std::string_view value) {
  return TraceRegistry::instance().applyEnvironment(value);
}

TraceFacilityDeclared::TraceFacilityDeclared(char const* facility) {
  facilityDeclare(facility);
}

void traceSettingsReset() {
  TraceRegistry::instance().reset();
}

namespace {

// The installed sink. Emission copies the pointer under the lock and calls the
// sink outside it, so a sink may itself trace or install another sink.
struct SinkSlot {
  std::mutex mutex;
  std::shared_ptr<TraceSink const> sink;
};

// Never destroyed: traces may be written during static destruction.
SinkSlot& sinkSlot() {
  static SinkSlot* s = new SinkSlot;
  return *s;
}

void defaultSink(TraceRecord const& record) {
  std::string line = traceLineFormat(record);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

TraceSink traceSinkIs(TraceSink sink) {
  auto next = sink ? std::make_shared<TraceSink const>(std::move(sink)) : nullptr;
  SinkSlot& slot = sinkSlot();
  std::shared_ptr<TraceSink const> previous;
  {
    std::lock_guard lock(slot.mutex);
    previous = std::exchange(slot.sink, std::move(next));
  }
  return previous ? *previous : TraceSink{};
}

std::string traceLineFormat(TraceRecord const& record) {
  std::string_view file = record.file != nullptr ? record.file : "?";
  if (std::size_t const slash = file.find_last_of('/'); slash != std::string_view::npos) {
    file.remove_prefix(slash + 1);
  }
  std::string line;
  line.reserve(record.facility.size() + file.size() + record.text.size() + 48);
  line.append(record.facility);
  line += " L";
  line += std::to_string(record.level);
  line += ' ';
  line.append(file);
  line += ':';
  line += std::to_string(record.line);
  line += ' ';
  line += record.function != nullptr ? record.function : "?";
  line += ": ";
  line.append(record.text);
  return line;
}

void traceEmit(TraceHandle const& handle, unsigned level, char const* file, int line,
               char const* function, std::string_view text) {
  SinkSlot& slot = sinkSlot();
  std::shared_ptr<TraceSink const> sink;
  {
    std::lock_guard lock(slot.mutex);
    sink = slot.sink;
  }
  TraceRecord const record{handle.facility(), level, file, line, function, text};
  if (sink) {
    (*sink)(record);
  } else {
    defaultSink(record);
  }
}

TraceHelper::~TraceHelper() {
  try {
    traceEmit(handle_, level_, file_, line_, function_, stream_.view());
  } catch (...) {
    // A trace that cannot be written must not take its caller down.
  }
}

}  // namespace Vek
