// The failure regimes: a failure of the run is skipped and kept pending, a bug is not.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "tests/testing/testing.h"

namespace kr::test {
namespace {

TEST(FailureTest, AFailedStepIsPendingAndTheNextOneStillRuns) {
  StepAndContinue steps("Update2019ValR0111");
  steps.SetPlace("File\\2019年度\\KrVal.mdb");
  steps.SetStep("T Val120 [Code]");
  EXPECT_FALSE(steps.Step([] { throw Failure::Runtime(kErrDiskFull); }));
  ASSERT_TRUE(steps.failed());
  EXPECT_EQ(steps.pending()->number(), kErrDiskFull);
  EXPECT_TRUE(steps.Step([] {}));
  EXPECT_EQ(steps.Value(7, []() -> int { throw Failure::Runtime(kErrPathNotFound); }), 7);
  EXPECT_EQ(steps.pending()->number(), kErrPathNotFound);
}

// A routine's failures on one database, the toolkit's dropped ones beneath it included, reach the
// report and name the routine, database and step in the log.
TEST(FailureTest, AScopeHearsEveryFailureLoggedWithinAndPutsItsPlaceBeforeTheOthers) {
  testing::TempDir dir;
  std::string log = dir.Native("run.log");
  setenv("KR_LOG", log.c_str(), 1);
  std::vector<int> heard;
  StepAndContinue steps("Update2019ValR0111");
  steps.SetPlace("File\\2019年度\\KrVal.mdb");
  steps.SetStep("T Val120 [Code]");
  {
    FailureScope scope(steps, [&](const Failure& failure) { heard.push_back(failure.number()); });
    steps.Step([] { throw Failure::Runtime(kErrDiskFull); });
    LeaveOnError("TransferRows", [] { throw Failure::Runtime(kErrPathNotFound); });
  }
  LeaveOnError("elsewhere", [] { throw Failure::Runtime(kErrFileNotFound); });
  unsetenv("KR_LOG");
  EXPECT_EQ(heard, (std::vector<int>{kErrDiskFull, kErrPathNotFound}));
  std::string text = dir.Read("run.log");
  const std::string where = "Update2019ValR0111: File\\2019年度\\KrVal.mdb: T Val120 [Code]: ";
  EXPECT_NE(text.find(where + "error 61"), std::string::npos) << text;
  EXPECT_NE(text.find(where + "TransferRows: error 76"), std::string::npos) << text;
  EXPECT_NE(text.find(" elsewhere: error 53"), std::string::npos) << text;
}

// The test suite runs with KR_STRICT=1: an exception that is no failure of the run is a bug and
// must not be skipped as a step, or a fault would hide behind "step failed".
TEST(FailureDeathTest, ABugAbortsNamingWhereTheStepIsWritten) {
  if (!internal::StrictFailures()) GTEST_SKIP() << "runs where KR_STRICT=1, as under ctest";
  StepAndContinue steps("routine");
  EXPECT_DEATH(steps.Step([] { throw std::out_of_range("index 3"); }),
               "internal error at .*failure_test.cpp:[0-9]+.*index 3");
  EXPECT_DEATH(LeaveOnError("lookup", [] { throw std::logic_error("broken"); }),
               "internal error at .*failure_test.cpp.*broken");
}

}  // namespace
}  // namespace kr::test
