// Outside input in messages: Vek::QuotedText over hostile texts (short and
// long, printable and binary), and the environment settings' refusals with
// such values.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
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

// Each setting refuses a value it cannot take with one readable line.
TEST(QuotedTextTest, SettingsRefuseAnyValueInOneReadableLine) {
  for (std::string const& value : TestSupport::hostileTexts(false)) {
    std::string const errs[] = {
        stderrOf([&] { Vek::hashSeedSetting(value.c_str()); }),
        stderrOf([&] { Vek::traceEnvironmentApply(value); }),
        stderrOf([&] { Membly::alignmentFromText(value.c_str()); }),
    };
    for (std::string const& err : errs) {
      if (err.empty())
        continue;
      ASSERT_TRUE(err.ends_with('\n')) << err;
      ASSERT_EQ(TestSupport::readableProblem(std::string_view(err).substr(0, err.size() - 1)), "");
    }
  }
}

}  // namespace
