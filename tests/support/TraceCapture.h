// TraceCapture: collects the formatted trace messages written while it lives.
//
// Installs itself as the Vek trace sink on construction and puts the previous
// sink back on destruction, so captures nest. It does not switch levels:
// turn on the levels a test wants to see.
//
//   TraceCapture capture;
//   Vek::traceLevelIs("SegmentRoutingMappers", 9, true);
//   ...
//   EXPECT_EQ(capture.texts(9), std::vector<std::string>{"doCleanup: ipv4..."});
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Vek/Trace.h"

struct CapturedTrace {
  std::string facility;
  unsigned level;
  std::string text;
  std::string function;
  int line;
};

class TraceCapture {
 public:
  TraceCapture()
      : previous_(Vek::traceSinkIs([this](Vek::TraceRecord const& r) {
          messages_.push_back(CapturedTrace{std::string(r.facility), r.level, std::string(r.text),
                                            r.function != nullptr ? r.function : "", r.line});
        })) {}
  TraceCapture(TraceCapture const&) = delete;
  TraceCapture& operator=(TraceCapture const&) = delete;
  ~TraceCapture() { Vek::traceSinkIs(std::move(previous_)); }

  std::vector<CapturedTrace> const& messages() const { return messages_; }
  // The texts written at `level`, in order.
  std::vector<std::string> texts(unsigned level) const {
    std::vector<std::string> out;
    for (CapturedTrace const& m : messages_) {
      if (m.level == level)
        out.push_back(m.text);
    }
    return out;
  }

 private:
  std::vector<CapturedTrace> messages_;
  Vek::TraceSink previous_;
};
