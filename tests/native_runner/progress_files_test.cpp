#include "native_runner/progress_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "native_runner/progress_records.h"
#include "support/diagnostics_sink.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

using json_text::Json;
using test_support::TempDir;

ProgressUpdate snapshot(std::uint64_t reached, double percentage, std::string model) {
  return {.job_id = "native_test",
          .current_combination = reached,
          .total_combinations = 2,
          .percentage = percentage,
          .current_model_name = std::move(model),
          .status_message = "Processing",
          .timestamp = "2026-12-06T10:03:33Z"};
}

std::string pretty_snapshot(std::uint64_t reached, const std::string& percentage,
                            const std::string& model) {
  return "{\n"
         "  \"job_id\": \"native_test\",\n"
         "  \"current_combination\": " +
         std::to_string(reached) +
         ",\n"
         "  \"total_combinations\": 2,\n"
         "  \"percentage\": " +
         percentage +
         ",\n"
         "  \"current_model_name\": \"" +
         model +
         "\",\n"
         "  \"status_message\": \"Processing\",\n"
         "  \"timestamp\": \"2026-12-06T10:03:33Z\"\n"
         "}";
}

TEST(ProgressFilesTest, WriteProgressKeepsOnlyTheLatestSnapshotAndReportsEachWrite) {
  TempDir dir;
  test_support::ScopedDiagnosticsCapture diagnostics;
  std::ostringstream out;

  const ProgressFiles files(system_files(), dir.path(), "native_test");
  ASSERT_TRUE(files.write(snapshot(0, 0.0, "g"), out));
  ASSERT_TRUE(files.write(snapshot(1, 50.0, "g_0"), out));

  const auto path = dir.path() / "progress_native_test.json";
  const std::string first = pretty_snapshot(0, "0.0", "g");
  const std::string second = pretty_snapshot(1, "50.0", "g_0");
  EXPECT_EQ(dir.read(path), second);
  const std::string path_line = "[PROGRESS] Writing progress to: " + path.string();
  EXPECT_EQ(out.str(), path_line + "\n[PROGRESS] Progress data: " + first + "\n" + path_line +
                           "\n[PROGRESS] Progress data: " + second + "\n");

  const auto info = spdlog::level::info;
  const std::string target = "app_lib::native_runner";
  const std::vector<test_support::DiagnosticEvent> expected = {
      {target, info, path_line},
      {target, info, "[PROGRESS] Progress data: " + first},
      {target, info, path_line},
      {target, info, "[PROGRESS] Progress data: " + second},
  };
  EXPECT_EQ(diagnostics.events(), expected);
}

TEST(ProgressFilesTest, ProgressWritersFailSilentlyWhenTheDirectoryIsMissing) {
  TempDir dir;
  test_support::ScopedDiagnosticsCapture diagnostics;
  std::ostringstream out;
  const auto missing = dir.path() / "absent";

  const ProgressFiles files(system_files(), missing, "j");
  EXPECT_FALSE(files.write(snapshot(0, 0.0, "g"), out));
  EXPECT_FALSE(files.write_simulation(SimulationProgress{}));

  EXPECT_EQ(out.str(), "");
  EXPECT_TRUE(diagnostics.events().empty());
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(ProgressFilesTest, SimulationProgressReplacesTheFileWithoutPrinting) {
  TempDir dir;
  SimulationProgress progress{.job_id = "j",
                              .model_name = "g_0",
                              .current_timestep = 0,
                              .total_timesteps = 8760,
                              .percentage = 0.0,
                              .current_month = "January",
                              .current_day = 1,
                              .current_hour = 0.0,
                              .status_message = "Starting simulation",
                              .timestamp = "2026-01-02T03:04:05Z"};
  dir.write("sim_progress_j.json", std::string(1000, 'x'));

  ASSERT_TRUE(ProgressFiles(system_files(), dir.path(), "j").write_simulation(progress));

  EXPECT_EQ(dir.read("sim_progress_j.json"), to_pretty_json(progress));
}

}  // namespace
}  // namespace native_runner
