// Outside input in messages: Vek::QuotedText over hostile texts (short and
// long, printable and binary), and the environment settings' values and
// refusals, such values among them.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Membly/Membly.h"
#include "Vek/Hash.h"
#include "Vek/QuotedText.h"
#include "Vek/Trace.h"
#include "support/Readable.h"
#include "support/StderrCapture.h"

namespace {

using Vek::QuotedText;

// The bytes that `shown` (QuotedText's form without quotes) stands for.
std::string unescaped(std::string_view shown) {
  std::string out;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown.substr(i, 2) == "\\x") {
      out += static_cast<char>(std::stoi(std::string(shown.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else if (shown.substr(i, 2) == "\\\\") {
      out += shown[i++];
    } else {
      out += shown[i];
    }
  }
  return out;
}

TEST(QuotedTextTest, ShowsEveryTextShortAndPrintableAndWhatItShowsIsTheText) {
  for (std::string const& text : TestSupport::hostileTexts(true)) {
    for (QuotedText::Keep keep : {QuotedText::Keep::start, QuotedText::Keep::end}) {
      std::string const q = QuotedText(text, '"', keep).str();
      ASSERT_EQ(TestSupport::readableProblem(q), "") << q;
      ASSERT_LE(q.size(), QuotedText::kMaxSize);
      std::string const tail = " (" + std::to_string(text.size()) + " bytes)";
      bool const cut = q.ends_with(tail);
      std::string const inner = q.substr(1, q.size() - 2 - (cut ? tail.size() : 0));
      ASSERT_EQ(q[0], '"');
      ASSERT_EQ(q[inner.size() + 1], '"') << q;
      if (!cut) {
        EXPECT_EQ(unescaped(inner), text);
        continue;
      }
      bool const atStart = keep == QuotedText::Keep::start;
      ASSERT_EQ(atStart ? inner.substr(inner.size() - 3) : inner.substr(0, 3), "...");
      std::string const part =
          unescaped(atStart ? inner.substr(0, inner.size() - 3) : inner.substr(3));
      EXPECT_TRUE(atStart ? text.starts_with(part) : text.ends_with(part)) << q;
      EXPECT_GE(inner.size(), QuotedText::kShown - 6) << q;  // cut no earlier than it had to
    }
  }
  // A short printable word reads as it is; no quote, no quotes.
  EXPECT_EQ(QuotedText("ipv4").view(), "'ipv4'");
  EXPECT_EQ(QuotedText("ipv4", 0).view(), "ipv4");
}

// Each setting takes a value silently, or refuses it with exactly one line
// that names the variable and the value, and takes its default; unset, it
// takes its default silently. Any outside value is taken or refused, in one
// readable line. (The trace setting's values are TraceTest's.)
TEST(QuotedTextTest, SettingsTakeAValueOrRefuseItInOneReadableLine) {
  using Value = std::optional<std::uint64_t>;
  struct Setting {
    std::function<Value(char const*)> read;
    std::string variable;
    std::string refusal = {};  // the refusal's line after the value
    Value fallback = {};
    std::vector<std::pair<char const*, Value>> taken = {};
    std::vector<char const*> refused = {};
  };
  Setting const settings[] = {
      {[](char const* t) -> Value { return Vek::hashSeedSetting(t); },
       "VEK_HASH_SEED",
       " is not a decimal or 0x-hex number that fits 32 bits; using a random seed\n",
       std::nullopt,
       {{"1", 1},
        {"010", 10},
        {"4294967295", 0xFFFFFFFF},
        {"0xFFFFFFFF", 0xFFFFFFFF},
        {"0X1f", 31}},
       {"", "abc", "1x", "0x", "0xg", "1 ", " 1", "-1", "+1", "4294967296", "0x100000000",
        "18446744073709551617"}},
      // Decimal, not octal: "016" is sixteen (octal 14), "0100" a hundred (octal 64).
      {[](char const* t) -> Value { return Membly::alignmentFromText(t); },
       "MEMBLY_BUFFER_ALIGNMENT_OVERRIDE",
       " is not a power of two from 8 to 4096 in decimal or 0x-hex; using 64\n",
       Membly::kDefaultAlignment,
       {{"128", 128}, {"0x1000", 4096}, {"8", 8}, {"016", 16}},
       {"0100", "4", "8192", "96", "0", "-64", " 64", "64k", ""}},
      {[](char const* t) -> Value { return Vek::traceEnvironmentApply(t) ? 1 : 0; }, "VEK_TRACE"},
  };
  for (Setting const& s : settings) {
    auto const check = [&s](char const* text, Value want, std::string const& err) {
      Value got;
      EXPECT_EQ(stderrOf([&] { got = s.read(text); }), err);
      EXPECT_EQ(got, want) << s.variable << '=' << (text ? text : "(unset)");
    };
    for (auto const& [text, value] : s.taken)
      check(text, value, "");
    for (char const* text : s.refused)
      check(text, s.fallback, s.variable + "=\"" + text + "\"" + s.refusal);
    if (!s.taken.empty())
      check(nullptr, s.fallback, "");
    for (std::string const& value : TestSupport::hostileTexts(false)) {
      std::string const err = stderrOf([&] { s.read(value.c_str()); });
      ASSERT_TRUE(err.empty() || err.ends_with('\n')) << err;
      ASSERT_EQ(TestSupport::readableProblem(err.substr(0, err.empty() ? 0 : err.size() - 1)), "");
    }
  }
}

}  // namespace
