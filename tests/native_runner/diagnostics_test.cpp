#include "native_runner/diagnostics.h"

#include <gtest/gtest.h>
#include <spdlog/spdlog.h>

#include <string>
#include <vector>

#include "support/diagnostics_sink.h"

namespace native_runner {
namespace {

TEST(DiagnosticsTest, LoggerIsRegisteredUnderTheTargetAtInfo) {
  const auto logger = diagnostics_logger();
  EXPECT_EQ(logger->name(), "app_lib::native_runner");
  EXPECT_EQ(logger->level(), spdlog::level::info);
  EXPECT_EQ(spdlog::get("app_lib::native_runner"), logger);
  EXPECT_EQ(diagnostics_logger(), logger);
}

TEST(DiagnosticsTest, EventsCarryTheMessageVerbatim) {
  test_support::ScopedDiagnosticsCapture capture;
  const std::vector<std::string> messages = {
      "[NATIVE_BATCH] Starting native batch with progress",
      "[NATIVE_BATCH] Config path: C:\\cfg\\{name}.json",
      "[PROGRESS] Progress data: {\n  \"a\": 1\n}",
      "{} {0} {:>5} %s",
      "",
  };
  for (const auto& message : messages) emit_diagnostic(message);

  std::vector<test_support::DiagnosticEvent> expected;
  for (const auto& message : messages) {
    expected.push_back({"app_lib::native_runner", spdlog::level::info, message});
  }
  EXPECT_EQ(capture.events(), expected);
}

}  // namespace
}  // namespace native_runner
