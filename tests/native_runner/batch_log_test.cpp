#include "native_runner/batch_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace native_runner {
namespace {

using json_text::Json;
using test_support::TempDir;

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

TEST(BatchLogTest, ProcessingEventsAppendOneLineEachAcrossBatches) {
  TempDir dir;
  const auto root = dir.path() / "out";  // neither "out" nor "logs" exists yet
  const auto log = root / "logs" / "processing" / "batch_processing_native_test.log";

  const BatchLog first(system_files(), root, "native_test", "cfg");
  ASSERT_TRUE(first.event("BATCH_START", "Native batch processing started"));
  ASSERT_TRUE(first.event("MODEL_START", "Processing model g_0", {"g_0", 0, 2}));
  const std::string first_batch = dir.read(log);
  const BatchLog second(system_files(), root, "native_test", "other");
  ASSERT_TRUE(second.event("BATCH_START", "line one\nline \"two\" C:\\x"));
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

TEST(BatchLogTest, StructuredErrorsAppendToTheErrorLog) {
  TempDir dir;
  Json details = Json::object();
  details["weather_file"] = "w.epw";
  details["model_file"] = "m.json";

  const BatchLog log(system_files(), dir.path(), "j", "cfg");
  ASSERT_TRUE(log.error("SIMULATION_FAILED", "Simulation failed: exit 1", {"g_1", 1, 2}, details));
  ASSERT_TRUE(log.error("OTHER", "m", {}, Json()));

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

TEST(BatchLogTest, LogWritersFailWhenTheLogRootIsAFile) {
  TempDir dir;
  const auto root = dir.write("not_a_dir", "keep");

  const BatchLog log(system_files(), root, "j", "cfg");
  EXPECT_FALSE(log.event("BATCH_START", "m"));
  EXPECT_FALSE(log.error("E", "m", {}, Json::object()));

  EXPECT_EQ(dir.read(root), "keep");
}

}  // namespace
}  // namespace native_runner
