#include "native_runner/progress_records.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace native_runner {
namespace {

using json_text::Json;

ProgressUpdate group_snapshot() {
  return {.job_id = "native_test",
          .current_combination = 2,
          .total_combinations = 3,
          .percentage = 66.66666666666666,
          .current_model_name = "g_1",
          .status_message = "Processing model g_1",
          .timestamp = "2026-12-06T10:03:33Z"};
}

SimulationProgress finished_run() {
  return {.job_id = "native_test",
          .model_name = "g_0",
          .current_timestep = 8760,
          .total_timesteps = 8760,
          .percentage = 100.0,
          .current_month = "December",
          .current_day = 31,
          .current_hour = 23.0,
          .status_message = "Simulation completed successfully",
          .timestamp = "2026-01-02T03:04:05Z"};
}

StructuredError weather_error(Json additional_data) {
  return {.timestamp = "2026-01-02T03:04:05Z",
          .job_id = "j",
          .config_name = "cfg",
          .error_code = "WEATHER_FILE_NOT_FOUND",
          .error_message = "No weather file specified for this combination",
          .model_name = "g_3",
          .combination_index = 3,
          .total_combinations = 4,
          .additional_data = std::move(additional_data)};
}

ProcessingEvent batch_start() {
  return {.timestamp = "2026-01-02T03:04:05Z",
          .job_id = "j",
          .config_name = "cfg",
          .event_type = "BATCH_START",
          .message = "Native batch processing started",
          .model_name = "",
          .combination_index = 0,
          .total_combinations = 0};
}

// Members given out of order on purpose: the nested document must come out sorted.
Json unordered_details() {
  Json details = Json::object();
  details["group_name"] = "g";
  details["combination"] = 3;
  return details;
}

struct RenderCase {
  std::string name;
  std::string actual;
  std::string expected;
};

TEST(ProgressRecordsTest, RendersEveryRecordInDeclarationOrder) {
  ProgressUpdate group_start = group_snapshot();
  group_start.current_combination = 0;
  group_start.percentage = 0.0;
  group_start.current_model_name = "g";
  SimulationProgress starting = finished_run();
  starting.current_timestep = 0;
  starting.percentage = 0.0;
  starting.current_month = "January";
  starting.current_day = 1;
  starting.current_hour = 0.0;

  const std::vector<RenderCase> cases = {
      {"progress pretty", to_pretty_json(group_snapshot()),
       "{\n"
       "  \"job_id\": \"native_test\",\n"
       "  \"current_combination\": 2,\n"
       "  \"total_combinations\": 3,\n"
       "  \"percentage\": 66.66666666666666,\n"
       "  \"current_model_name\": \"g_1\",\n"
       "  \"status_message\": \"Processing model g_1\",\n"
       "  \"timestamp\": \"2026-12-06T10:03:33Z\"\n"
       "}"},
      {"progress compact with 0.0", to_compact_json(group_start),
       R"({"job_id":"native_test","current_combination":0,"total_combinations":3,)"
       R"("percentage":0.0,"current_model_name":"g","status_message":"Processing model g_1",)"
       R"("timestamp":"2026-12-06T10:03:33Z"})"},
      {"simulation pretty", to_pretty_json(finished_run()),
       "{\n"
       "  \"job_id\": \"native_test\",\n"
       "  \"model_name\": \"g_0\",\n"
       "  \"current_timestep\": 8760,\n"
       "  \"total_timesteps\": 8760,\n"
       "  \"percentage\": 100.0,\n"
       "  \"current_month\": \"December\",\n"
       "  \"current_day\": 31,\n"
       "  \"current_hour\": 23.0,\n"
       "  \"status_message\": \"Simulation completed successfully\",\n"
       "  \"timestamp\": \"2026-01-02T03:04:05Z\"\n"
       "}"},
      {"simulation compact before the run", to_compact_json(starting),
       R"({"job_id":"native_test","model_name":"g_0","current_timestep":0,"total_timesteps":8760,)"
       R"("percentage":0.0,"current_month":"January","current_day":1,"current_hour":0.0,)"
       R"("status_message":"Simulation completed successfully",)"
       R"("timestamp":"2026-01-02T03:04:05Z"})"},
      {"error compact, details sorted", to_compact_json(weather_error(unordered_details())),
       R"({"timestamp":"2026-01-02T03:04:05Z","job_id":"j","config_name":"cfg",)"
       R"("error_code":"WEATHER_FILE_NOT_FOUND",)"
       R"("error_message":"No weather file specified for this combination","model_name":"g_3",)"
       R"("combination_index":3,"total_combinations":4,)"
       R"("additional_data":{"combination":3,"group_name":"g"}})"},
      {"error compact, null details", to_compact_json(weather_error(Json(nullptr))),
       R"({"timestamp":"2026-01-02T03:04:05Z","job_id":"j","config_name":"cfg",)"
       R"("error_code":"WEATHER_FILE_NOT_FOUND",)"
       R"("error_message":"No weather file specified for this combination","model_name":"g_3",)"
       R"("combination_index":3,"total_combinations":4,"additional_data":null})"},
      {"error pretty nests the details one level down",
       to_pretty_json(weather_error(unordered_details())),
       "{\n"
       "  \"timestamp\": \"2026-01-02T03:04:05Z\",\n"
       "  \"job_id\": \"j\",\n"
       "  \"config_name\": \"cfg\",\n"
       "  \"error_code\": \"WEATHER_FILE_NOT_FOUND\",\n"
       "  \"error_message\": \"No weather file specified for this combination\",\n"
       "  \"model_name\": \"g_3\",\n"
       "  \"combination_index\": 3,\n"
       "  \"total_combinations\": 4,\n"
       "  \"additional_data\": {\n"
       "    \"combination\": 3,\n"
       "    \"group_name\": \"g\"\n"
       "  }\n"
       "}"},
      {"event compact keeps the empty model name", to_compact_json(batch_start()),
       R"({"timestamp":"2026-01-02T03:04:05Z","job_id":"j","config_name":"cfg",)"
       R"("event_type":"BATCH_START","message":"Native batch processing started",)"
       R"("model_name":"","combination_index":0,"total_combinations":0})"},
      {"event pretty", to_pretty_json(batch_start()),
       "{\n"
       "  \"timestamp\": \"2026-01-02T03:04:05Z\",\n"
       "  \"job_id\": \"j\",\n"
       "  \"config_name\": \"cfg\",\n"
       "  \"event_type\": \"BATCH_START\",\n"
       "  \"message\": \"Native batch processing started\",\n"
       "  \"model_name\": \"\",\n"
       "  \"combination_index\": 0,\n"
       "  \"total_combinations\": 0\n"
       "}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.actual, c.expected) << c.name;
  }
}

TEST(ProgressRecordsTest, EscapesMessagesSoALogRecordStaysOnOneLine) {
  ProcessingEvent event = batch_start();
  event.message = "say \"hi\"\\ to C:\\dir\nnext\tline/é";
  EXPECT_EQ(to_compact_json(event),
            R"({"timestamp":"2026-01-02T03:04:05Z","job_id":"j","config_name":"cfg",)"
            R"("event_type":"BATCH_START","message":"say \"hi\"\\ to C:\\dir\nnext\tline/é",)"
            R"("model_name":"","combination_index":0,"total_combinations":0})");
}

TEST(ProgressRecordsTest, NonFiniteFloatsBecomeNull) {
  ProgressUpdate update = group_snapshot();
  update.percentage = std::numeric_limits<double>::quiet_NaN();
  SimulationProgress progress = finished_run();
  progress.current_hour = std::numeric_limits<double>::infinity();

  EXPECT_NE(to_compact_json(update).find(R"("total_combinations":3,"percentage":null,)"),
            std::string::npos);
  EXPECT_NE(to_compact_json(progress).find(R"("current_day":31,"current_hour":null,)"),
            std::string::npos);
}

TEST(ProgressRecordsTest, LargestCountersAreWrittenInFull) {
  ProgressUpdate update = group_snapshot();
  update.current_combination = std::numeric_limits<std::uint64_t>::max();
  EXPECT_NE(to_compact_json(update).find(R"("current_combination":18446744073709551615,)"),
            std::string::npos);
}

}  // namespace
}  // namespace native_runner
