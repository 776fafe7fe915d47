// Every e2e test that fails leaves a picture of the screen at its first
// failure, while the program under test is still up:
// build/win64/screenshots/failed_<suite>_<test>.png.
#include <gtest/gtest.h>

#include "e2e/driver.h"

namespace tw::e2e {
namespace {

class CScreenshotOnFailure : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { m_bTaken = false; }
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed() || m_bTaken) return;
    m_bTaken = true;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info)
      Screenshot(std::string("failed_") + info->test_suite_name() + "_" + info->name());
  }
  bool m_bTaken = false;
};

// Registered before main runs; gtest owns the listener from here on.
const bool g_bRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new CScreenshotOnFailure);
  return true;
}();

}  // namespace
}  // namespace tw::e2e
