#include "Vek/Trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "Pavo/Exception.h"
#include "support/StderrCapture.h"
#include "support/TraceCapture.h"

namespace {

// Every test starts and ends with no remembered facility settings.
class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override { Vek::traceSettingsReset(); }
  void TearDown() override { Vek::traceSettingsReset(); }
};

std::uint32_t bit(unsigned level) {
  return 1u << level;
}

// A facility setting reaches live and later handles of that name only, leaves
// a later handle's other levels at its default, and is forgotten on reset.
TEST_F(TraceTest, FacilitySettingsReachHandlesOfThatNameUntilReset) {
  Vek::TraceHandle a1("TraceTest.A", false);
  Vek::TraceHandle b("TraceTest.B", false);
  Vek::traceLevelIs("TraceTest.A", 9, true);
  Vek::TraceHandle a2("TraceTest.A", false);
  EXPECT_EQ(a1.levelMask(), bit(9));
  EXPECT_EQ(a2.levelMask(), bit(9));
  EXPECT_FALSE(b.enabled(9));
  Vek::TraceHandle a3("TraceTest.A", true);
  EXPECT_EQ(a3.levelMask(), Vek::traceLevelsAll);
  Vek::traceLevelIs("TraceTest.A", 2, false);
  Vek::TraceHandle a4("TraceTest.A", true);
  EXPECT_EQ(a3.levelMask(), Vek::traceLevelsAll & ~bit(2));
  EXPECT_EQ(a4.levelMask(), Vek::traceLevelsAll & ~bit(2));
  EXPECT_EQ(a1.levelMask(), bit(9));

  a4.levelIs(7, false);
  Vek::traceSettingsReset();
  EXPECT_EQ(a1.levelMask(), 0u);
  EXPECT_EQ(a4.levelMask(), Vek::traceLevelsAll);
  EXPECT_FALSE(Vek::TraceHandle("TraceTest.A", false).enabled(9));

  Vek::traceLevelsAllIs("TraceTest.A", false);
  Vek::TraceHandle a5("TraceTest.A", true);
  EXPECT_EQ(a1.levelMask() | a2.levelMask() | a3.levelMask() | a5.levelMask(), 0u);
  Vek::traceLevelsAllIs("TraceTest.B", true);
  EXPECT_EQ(b.levelMask(), Vek::traceLevelsAll);
  // A handle's own switch touches that handle only; levels past the highest
  // are off and cannot be set.
  a1.levelIs(9, true);
  EXPECT_EQ(a1.levelMask(), bit(9));
  EXPECT_EQ(a2.levelMask(), 0u);
  EXPECT_FALSE(b.enabled(10));
  EXPECT_THROW(a1.levelIs(10, true), Pavo::RangeException);
}

TEST_F(TraceTest, SettingTextSetsExactLevelsAndSkipsMalformedParts) {
  Vek::TraceHandle a("TraceTest.A", true);
  Vek::TraceHandle b("TraceTest.B", false);
  Vek::TraceHandle c("TraceTest.C", false);
  EXPECT_TRUE(Vek::traceSettingsApply("TraceTest.A=8,9; TraceTest.B=0-2,5\tTraceTest.C=all"));
  EXPECT_EQ(a.levelMask(), bit(8) | bit(9));
  EXPECT_EQ(b.levelMask(), bit(0) | bit(1) | bit(2) | bit(5));
  EXPECT_EQ(c.levelMask(), Vek::traceLevelsAll);
  EXPECT_EQ(Vek::TraceHandle("TraceTest.A", true).levelMask(), bit(8) | bit(9));

  EXPECT_FALSE(Vek::traceSettingsApply("TraceTest.C=none;TraceTest.A=10;=3;TraceTest.B"));
  EXPECT_EQ(c.levelMask(), 0u);
  EXPECT_EQ(a.levelMask(), bit(8) | bit(9));
  EXPECT_EQ(b.levelMask(), bit(0) | bit(1) | bit(2) | bit(5));
  EXPECT_TRUE(Vek::traceSettingsApply(" ;; "));
}

// Declared at load; its handle is never made.
VEK_TRACE_HANDLE_DEFINE(declaredOnly, "TraceTest.Declared", false)

// The start-up setting is all or nothing: a value is applied silently, or
// refused whole with one message naming it, every level staying at default.
TEST_F(TraceTest, EnvironmentValueIsAppliedWholeOrRefusedWithOneMessage) {
  Vek::TraceHandle const env("TraceTest.Env", false);
  auto check = [&](char const* value, std::optional<std::uint32_t> mask) {
    Vek::traceSettingsReset();
    bool applied = false;
    std::string const err = stderrOf([&] { applied = Vek::traceEnvironmentApply(value); });
    EXPECT_EQ(applied, mask.has_value()) << value;
    EXPECT_EQ(env.levelMask(), mask.value_or(0)) << value;
    bool const oneRefusal = err.starts_with("VEK_TRACE=\"" + std::string(value) + "\" ") &&
                            err.ends_with("; ignoring it, every facility keeps its defaults\n") &&
                            err.find('\n') == err.size() - 1;
    EXPECT_TRUE(mask ? err.empty() : oneRefusal) << err;
  };
  check("TraceTest.Env=8,9", bit(8) | bit(9));
  check(" TraceTest.Env=0-2;TraceTest.Declared=all\t", bit(0) | bit(1) | bit(2));
  check("TraceTest.Env=07,0x9", bit(7) | bit(9));
  check("", 0u);
  for (char const* bad : {"TraceTest.Env=9;TraceTest.Unknown=9", "TraceTest.Env=",
                          "TraceTest.Env=10", "TraceTest.Env=3-1", "TraceTest.Env=9,",
                          "TraceTest.Env", "=9", "TraceTest.Env=a", "TraceTest.Env=1-"})
    check(bad, std::nullopt);
  std::string const err = stderrOf([] { Vek::traceEnvironmentApply("TraceTest.Unknown=9"); });
  EXPECT_NE(err.find("unknown facility \"TraceTest.Unknown\""), std::string::npos) << err;
}

int sideEffects = 0;
int touch() {
  return ++sideEffects;
}

// The message is built only when the level is on, and the macro is one
// statement; the sink gets the facility, level, text, function and line.
// Replacing the sink hands back the previous one, so captures nest; a
// throwing sink does not escape the message. The default line names the
// facility, level, place and function.
TEST_F(TraceTest, MacroBuildsTheMessageOnlyWhenTheLevelIsOnForTheSinkInPlace) {
  TraceCapture capture;
  Vek::TraceHandle h("TraceTest.A", false);
  h.levelIs(9, true);
  VEK_TRACE(h, 8, "value " << touch());
  EXPECT_EQ(sideEffects, 0);
  bool const branch = false;
  if (branch)
    VEK_TRACE(h, 9, "then " << touch());
  else
    VEK_TRACE(h, 9, "else " << touch());
  std::string const name = "doCleanup";
  std::uint8_t const af = 2;
  std::int64_t const negative = -42;
  int const line = __LINE__ + 1;
  VEK_TRACE(h, 9, name << ": " << af << ' ' << negative << " " << 7u << std::hex << 255);
  ASSERT_EQ(capture.messages().size(), 2u);
  CapturedTrace const& m = capture.messages()[1];
  EXPECT_EQ(m.facility, "TraceTest.A");
  EXPECT_EQ(m.level, 9u);
  EXPECT_EQ(m.function, "TestBody");
  EXPECT_EQ(m.line, line);
  {
    TraceCapture inner;
    VEK_TRACE(h, 9, "inner");
    EXPECT_EQ(inner.texts(9), std::vector<std::string>{"inner"});
  }
  Vek::TraceSink const before = Vek::traceSinkIs([](Vek::TraceRecord const&) { throw 1; });
  EXPECT_NO_THROW(VEK_TRACE(h, 9, "lost"));
  Vek::traceSinkIs(before);
  VEK_TRACE(h, 9, "outer");
  EXPECT_EQ(capture.texts(9),
            (std::vector<std::string>{"else 1", "doCleanup: 2 -42 7ff", "outer"}));

  EXPECT_EQ(Vek::traceLineFormat({"SegmentRoutingMappers", 9, "/src/Pathkit/Mapper.cpp", 123,
                                  "doCleanup", "doCleanup: ipv4Cleaning up"}),
            "SegmentRoutingMappers L9 Mapper.cpp:123 doCleanup: doCleanup: ipv4Cleaning up");
  EXPECT_EQ(Vek::traceLineFormat({"F", 0, "plain.cpp", 7, "f", ""}), "F L0 plain.cpp:7 f: ");
}

}  // namespace
