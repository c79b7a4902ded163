// The scope guard that puts back what an operation changed: it runs on every way
// out, in reverse order, and a second failure never hides the first.
#include "engine/foundation/gs6_scope.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {
using devazoz::TgsScopeExit;

TEST(ScopeExit, RunsOnReturnAndOnExceptionInReverseOrder) {
  std::string trace;
  {
    TgsScopeExit a([&] { trace += "a"; });
    TgsScopeExit b([&] { trace += "b"; });
  }
  EXPECT_EQ(trace, "ba");
  trace.clear();
  EXPECT_THROW(
      {
        TgsScopeExit a([&] { trace += "a"; });
        TgsScopeExit b([&] { trace += "b"; });
        throw std::runtime_error("x");
      },
      std::runtime_error);
  EXPECT_EQ(trace, "ba");
}

TEST(ScopeExit, DismissedActionDoesNotRun) {
  bool ran = false;
  {
    TgsScopeExit g([&] { ran = true; });
    g.Dismiss();
  }
  EXPECT_FALSE(ran);
}

TEST(ScopeExit, FirstFailureWinsAndLaterGuardsStillRun) {
  bool outer_ran = false;
  try {
    TgsScopeExit outer([&] { outer_ran = true; });
    TgsScopeExit failing([] { throw std::logic_error("second"); });
    throw std::runtime_error("first");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first");
  }
  EXPECT_TRUE(outer_ran);
  // Without an exception on its way, the action's own failure reaches the caller,
  // and the guards declared before it still run.
  outer_ran = false;
  try {
    TgsScopeExit outer([&] { outer_ran = true; });
    TgsScopeExit failing([] { throw std::logic_error("only"); });
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "only");
  }
  EXPECT_TRUE(outer_ran);
}

}  // namespace
