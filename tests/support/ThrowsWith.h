// throwsWith<E>(fn, parts...): a GoogleTest assertion that `fn` raises
// exactly-or-derived E (a Pavo::Exception) whose msg() contains every one of
// `parts`.
//   EXPECT_TRUE(throwsWith<Vek::DeserializeException>([] { parse("x"); }, {"\"x\"", "position
//   0"}));
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "Pavo/Exception.h"

template <class E, class Fn>
::testing::AssertionResult throwsWith(Fn&& fn, std::initializer_list<std::string_view> parts) {
  try {
    fn();
  } catch (E const& e) {
    for (std::string_view part : parts) {
      if (e.msg().find(part) == std::string::npos) {
        return ::testing::AssertionFailure()
               << "message \"" << e.msg() << "\" lacks \"" << part << "\"";
      }
    }
    return ::testing::AssertionSuccess();
  } catch (std::exception const& e) {
    return ::testing::AssertionFailure() << "other exception: " << e.what();
  }
  return ::testing::AssertionFailure() << "nothing was thrown";
}
