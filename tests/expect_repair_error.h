#pragma once

#include <gtest/gtest.h>

#include <string>

#include "repair/repair_error.h"

namespace plindor::testing {

// The message `action` raised as a RepairError, or "" when it raised nothing.
template <typename Action>
std::string RepairErrorOf(Action action) {
  try {
    action();
  } catch (const repair::RepairError& e) {
    return e.what();
  }
  return "";
}

}  // namespace plindor::testing

// Expects `statement` to raise a RepairError with exactly `message` ("" for none).
#define EXPECT_REPAIR_ERROR(statement, message) \
  EXPECT_EQ(::plindor::testing::RepairErrorOf([&] { statement; }), message)
