// stderrOf(fn): runs `fn` and returns what it wrote to standard error, for
// tests of the messages that refused settings write there.
#pragma once

#include <gtest/gtest.h>

#include <string>

template <class Fn>
std::string stderrOf(Fn&& fn) {
  ::testing::internal::CaptureStderr();
  fn();
  return ::testing::internal::GetCapturedStderr();
}
