#include "native_runner/progress_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
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

// The log writers stamp the current time; tests compare everything else byte for byte.
std::vector<std::string> lines_without_timestamps(const std::string& text) {
  static const std::regex stamp(R"("timestamp":"\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z")");
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(std::regex_replace(line, stamp, R"("timestamp":"T")"));
  }
  return lines;
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

  ASSERT_TRUE(write_progress(dir.path(), "native_test", snapshot(0, 0.0, "g"), out));
  ASSERT_TRUE(write_progress(dir.path(), "native_test", snapshot(1, 50.0, "g_0"), out));

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

  EXPECT_FALSE(write_progress(missing, "j", snapshot(0, 0.0, "g"), out));
  EXPECT_FALSE(write_simulation_progress(missing, "j", SimulationProgress{}));

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

  ASSERT_TRUE(write_simulation_progress(dir.path(), "j", progress));

  EXPECT_EQ(dir.read("sim_progress_j.json"), to_pretty_json(progress));
}

TEST(ProgressFilesTest, ProcessingEventsAppendOneLineEachAcrossBatches) {
  TempDir dir;
  const auto root = dir.path() / "out";  // neither "out" nor "logs" exists yet
  const auto log = root / "logs" / "processing" / "batch_processing_native_test.log";

  ASSERT_TRUE(log_processing_event(root, "native_test", "cfg", "BATCH_START",
                                   "Native batch processing started", "", 0, 0));
  ASSERT_TRUE(log_processing_event(root, "native_test", "cfg", "MODEL_START",
                                   "Processing model g_0", "g_0", 0, 2));
  const std::string first_batch = dir.read(log);
  ASSERT_TRUE(log_processing_event(root, "native_test", "other", "BATCH_START",
                                   "line one\nline \"two\" C:\\x", "", 0, 0));
  const std::string both_batches = dir.read(log);

  EXPECT_EQ(both_batches.substr(0, first_batch.size()), first_batch);
  const std::vector<std::string> expected = {
      R"({"timestamp":"T","job_id":"native_test","config_name":"cfg","event_type":"BATCH_START",)"
      R"("message":"Native batch processing started","model_name":"","combination_index":0,)"
      R"("total_combinations":0})",
      R"({"timestamp":"T","job_id":"native_test","config_name":"cfg","event_type":"MODEL_START",)"
      R"("message":"Processing model g_0","model_name":"g_0","combination_index":0,)"
      R"("total_combinations":2})",
      R"({"timestamp":"T","job_id":"native_test","config_name":"other",)"
      R"("event_type":"BATCH_START","message":"line one\nline \"two\" C:\\x","model_name":"",)"
      R"("combination_index":0,"total_combinations":0})",
  };
  EXPECT_EQ(lines_without_timestamps(both_batches), expected);
  EXPECT_EQ(both_batches.back(), '\n');
}

TEST(ProgressFilesTest, StructuredErrorsAppendToTheErrorLog) {
  TempDir dir;
  Json details = Json::object();
  details["weather_file"] = "w.epw";
  details["model_file"] = "m.json";

  ASSERT_TRUE(log_structured_error(dir.path(), "j", "cfg", "SIMULATION_FAILED",
                                   "Simulation failed: exit 1", "g_1", 1, 2, details));
  ASSERT_TRUE(log_structured_error(dir.path(), "j", "cfg", "OTHER", "m", "", 0, 0, Json()));

  const std::vector<std::string> expected = {
      R"({"timestamp":"T","job_id":"j","config_name":"cfg","error_code":"SIMULATION_FAILED",)"
      R"("error_message":"Simulation failed: exit 1","model_name":"g_1","combination_index":1,)"
      R"("total_combinations":2,"additional_data":{"model_file":"m.json","weather_file":"w.epw"}})",
      R"({"timestamp":"T","job_id":"j","config_name":"cfg","error_code":"OTHER",)"
      R"("error_message":"m","model_name":"","combination_index":0,"total_combinations":0,)"
      R"("additional_data":null})",
  };
  EXPECT_EQ(lines_without_timestamps(dir.read("logs/errors/batch_errors_j.jsonl")), expected);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "logs" / "processing"));
}

TEST(ProgressFilesTest, LogWritersFailWhenTheLogRootIsAFile) {
  TempDir dir;
  const auto root = dir.write("not_a_dir", "keep");

  EXPECT_FALSE(log_processing_event(root, "j", "cfg", "BATCH_START", "m", "", 0, 0));
  EXPECT_FALSE(log_structured_error(root, "j", "cfg", "E", "m", "", 0, 0, Json::object()));

  EXPECT_EQ(dir.read(root), "keep");
}

}  // namespace
}  // namespace native_runner
