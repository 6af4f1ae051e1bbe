#include "native_runner/batch_driver.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;
using json_text::Json;

const char kModel[] = R"({"Zone": {"kitchen": {"BuildingElement": {
  "wall": {"type": "BuildingElementOpaque", "pitch": 90, "u_value": 1.5}}}}, "Tariff": {"a": 1}})";

// What one batch printed, split into the plain lines and the progress snapshots it announced.
struct Console {
  std::vector<std::string> lines;     // every line but the "[PROGRESS]" blocks
  std::vector<std::string> snapshots; // "status_message (current/total percentage model)"
};

Console split_console(const std::string& text) {
  Console console;
  std::istringstream in(text);
  std::string line, block;
  bool in_block = false;
  while (std::getline(in, line)) {
    if (line.starts_with("[PROGRESS] Writing progress to: ")) continue;
    if (line.starts_with("[PROGRESS] Progress data: ")) {
      in_block = true;
      block = line.substr(26);
      continue;
    }
    if (in_block) {
      block += line;
      if (line != "}") continue;
      in_block = false;
      const Json s = *json_text::parse_json(block);
      std::ostringstream snapshot;
      snapshot << s["status_message"].get<std::string>() << " (" << s["current_combination"]
               << "/" << s["total_combinations"] << " " << s["percentage"].dump() << " "
               << s["current_model_name"].get<std::string>() << ")";
      console.snapshots.push_back(snapshot.str());
      continue;
    }
    console.lines.push_back(line);
  }
  return console;
}

class BatchDriverTest : public ::testing::Test {
 protected:
  fs::path base() const { return dir_.path() / "ws" / "input" / "batch_parameters"; }
  fs::path out() const { return dir_.path() / "out"; }

  void file(const std::string& relative, const std::string& text) const {
    dir_.write(fs::path("ws/input/batch_parameters") / relative, text);
  }
  fs::path config(const std::string& text, const std::string& name = "batch_a.json") const {
    return dir_.write(fs::path("ws/input/configs") / name, text);
  }

  struct Run {
    common::Result<void> outcome;
    Console console;
  };
  Run run(const fs::path& config_path, bool json_only, const fs::path& base_params = {}) {
    std::ostringstream console;
    BatchServices services{console, [this](const Json& model, std::string_view output_path,
                                           std::string_view weather, CliFlags flags,
                                           const fs::path& workspace, std::string_view name) {
                             simulations_.push_back(std::string(output_path) + " | " +
                                                    std::string(weather) + " | " +
                                                    std::to_string(flags.bits) + " | " +
                                                    workspace.string() + " | " + std::string(name));
                             simulated_models_.push_back(model);
                             return simulation_outcome_;
                           }};
    auto outcome = run_native_batch(config_path, base_params.empty() ? base() : base_params, out(),
                                    out(), "job", json_only, services);
    return Run{outcome, split_console(console.str())};
  }

  std::vector<std::string> log_lines(const std::string& relative) const {
    std::vector<std::string> lines;
    std::istringstream in(dir_.read(out() / relative));
    std::string line;
    static const std::regex stamp(R"("timestamp":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ",)");
    while (std::getline(in, line)) lines.push_back(std::regex_replace(line, stamp, ""));
    return lines;
  }
  std::vector<std::string> events() const {
    std::vector<std::string> types;
    for (const auto& line : log_lines("logs/processing/batch_processing_job.log")) {
      const Json event = *json_text::parse_json(line);
      types.push_back(event["event_type"].get<std::string>() + " " +
                      event["model_name"].get<std::string>());
    }
    return types;
  }

  test_support::TempDir dir_;
  std::vector<std::string> simulations_;
  std::vector<Json> simulated_models_;
  common::Result<void> simulation_outcome_;
};

TEST_F(BatchDriverTest, JsonOnlyBatchBuildsEveryCombinationInOrder) {
  file("base_json/house.json", kModel);
  file("tariff/t1.json", R"({"Tariff": {"b": 1}})");
  file("tariff/t2.json", R"({"Tariff": {"b": 2}})");
  file("simplified_fabric/f1.json", R"({"wall": {"u_value": 0.3}})");
  const auto cfg = config(R"({"zeta": {"base_json": ["house"]}, "note": "ignored",
    "alpha": {"base_json": ["house", "other"], "tariff": ["t1", "t2"],
              "simplified_fabric": ["f1"], "weather_files": []}})");
  const auto result = run(cfg, true);
  ASSERT_TRUE(result.outcome) << result.outcome.error().message;

  EXPECT_EQ(result.console.snapshots,
            (std::vector<std::string>{
                "Starting batch processing (0/2 0.0 alpha)", "Processing model (1/2 50.0 alpha_0)",
                "Processing model (2/2 100.0 alpha_1)", "Group processing completed (2/2 100.0 alpha)",
                "Starting batch processing (0/1 0.0 zeta)", "Processing model (1/1 100.0 zeta_0)",
                "Group processing completed (1/1 100.0 zeta)"}));
  EXPECT_EQ(events(), (std::vector<std::string>{"BATCH_START ", "MODEL_START alpha_0",
                                                "JSON_ONLY_SKIP alpha_0", "MODEL_START alpha_1",
                                                "JSON_ONLY_SKIP alpha_1", "MODEL_START zeta_0",
                                                "JSON_ONLY_SKIP zeta_0", "BATCH_COMPLETE "}));
  // Parameters are applied in key order: simplified_fabric before tariff.
  const Json variant = *json_text::read_json_file(out() / "result_batch_a_alpha_1" / "alpha.json");
  EXPECT_EQ(variant["Tariff"], Json::parse(R"({"a": 1, "b": 2})"));
  EXPECT_EQ(variant["Zone"]["kitchen"]["BuildingElement"]["wall"]["u_value"], Json(0.3));
  EXPECT_TRUE(fs::exists(out() / "result_batch_a_zeta_0" / "zeta.json"));
  EXPECT_EQ(result.console.lines.back(), "Batch run statistics:");
  EXPECT_EQ(result.console.lines[result.console.lines.size() - 2], "Batch run complete.");
  EXPECT_TRUE(simulations_.empty());
}

TEST_F(BatchDriverTest, PrintsTheStartUpLinesInOrder) {
  const auto cfg = config("[]");
  const auto result = run(cfg, false);
  ASSERT_TRUE(result.outcome);
  const std::string cwd = fs::current_path().string();
  std::string quoted_cwd = "\"";
  for (char c : cwd) quoted_cwd += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  quoted_cwd += "\"";
  EXPECT_EQ(result.console.lines,
            (std::vector<std::string>{
                "[NATIVE_BATCH] Starting native batch with progress",
                "[NATIVE_BATCH] Config path: " + cfg.string(),
                "[NATIVE_BATCH] Base params path: " + base().string(),
                "[NATIVE_BATCH] Output dir: " + out().string(),
                "[NATIVE_BATCH] Progress output dir: " + out().string(),
                "[NATIVE_BATCH] Job ID: job", "[NATIVE_BATCH] JSON only: false",
                "[NATIVE_BATCH] Config name: batch_a",
                "[NATIVE_BATCH] Native output dir: " + out().string(),
                "Starting batch run with config: " + cfg.string(),
                "Current working directory: " + quoted_cwd,
                "Checking if config file exists: " + cfg.string(), "Config name extracted: batch_a",
                "Batch run complete.", "Batch run statistics:"}));
  EXPECT_TRUE(result.console.snapshots.empty());
  EXPECT_EQ(events(), (std::vector<std::string>{"BATCH_START ", "BATCH_COMPLETE "}));
}

TEST_F(BatchDriverTest, SkipsCombinationsWhoseFilesAreMissing) {
  file("base_json/house.json", kModel);
  file("tariff/t1.json", R"({"Tariff": {}})");
  file("fabric/f1.json", R"({})");
  const auto cfg = config(R"({
    "a": {"base_json": ["absent"], "tariff": ["t1", "t1", "t1"]},
    "b": {"base_json": ["house"], "fabric": ["f1"], "tariff": ["missing", "t1"]},
    "c": {"base_json": ["house"], "tariff": []}})");
  const auto result = run(cfg, true);
  ASSERT_TRUE(result.outcome) << result.outcome.error().message;
  const std::string missing = (base() / "tariff" / "missing.json").string();
  const std::vector<std::string> expected_snapshots = {
      "Starting batch processing (0/3 0.0 a)",
      "Processing model (1/3 33.33333333333333 a_0)",
      "Base model not found - skipping group (0/3 0.0 a)",
      "Processing model (2/3 66.66666666666666 a_1)",
      "Base model not found - skipping group (0/3 0.0 a)",
      "Processing model (3/3 100.0 a_2)",
      "Base model not found - skipping group (0/3 0.0 a)",
      "Group processing completed (3/3 100.0 a)",
      "Starting batch processing (0/2 0.0 b)",
      "Processing model (1/2 50.0 b_0)",
      "Parameter file not found: " + missing + " (1/2 50.0 b_0)",
      "Processing model (2/2 100.0 b_1)",
      "Group processing completed (2/2 100.0 b)",
      "Starting batch processing (0/0 0.0 c)",
      "Group processing completed (0/0 100.0 c)"};
  EXPECT_EQ(result.console.snapshots, expected_snapshots);
  int base_errors = 0;
  for (const auto& line : result.console.lines) {
    base_errors += line == "  ERROR: Base model 'absent.json' not found. Skipping group.";
  }
  EXPECT_EQ(base_errors, 3);
  EXPECT_NE(std::find(result.console.lines.begin(), result.console.lines.end(),
                      "      ERROR: Parameter file not found at '" + missing +
                          "'. Skipping this combination."),
            result.console.lines.end());
  EXPECT_FALSE(fs::exists(out() / "result_batch_a_a_0"));
  EXPECT_FALSE(fs::exists(out() / "result_batch_a_b_0"));
  EXPECT_TRUE(fs::exists(out() / "result_batch_a_b_1" / "b.json"));
}

TEST_F(BatchDriverTest, FailedMergeIsLoggedAndEndsTheBatch) {
  file("base_json/house.json", kModel);
  file("simplified_fabric/bad.json", "[1, 2]");
  const auto cfg = config(R"({"g": {"base_json": ["house"], "simplified_fabric": ["bad", "bad"]},
                              "h": {"base_json": ["house"]}})");
  const auto result = run(cfg, true);
  ASSERT_FALSE(result.outcome);
  EXPECT_EQ(result.outcome.error().message, "invalid type: sequence, expected a map");
  // As it appears inside a JSON string: Windows paths have backslashes, which JSON escapes.
  const std::string param_file = std::regex_replace(
      (base() / "simplified_fabric" / "bad.json").string(), std::regex(R"(\\)"), R"(\\)");
  ASSERT_EQ(log_lines("logs/errors/batch_errors_job.jsonl"),
            (std::vector<std::string>{
                R"({"job_id":"job","config_name":"batch_a","error_code":"MERGE_FAILED",)"
                R"("error_message":"Failed to merge simplified_fabric parameter: invalid type: )"
                R"(sequence, expected a map","model_name":"g_0","combination_index":0,)"
                R"("total_combinations":2,"additional_data":{"param_file":")" +
                param_file + R"(","param_key":"simplified_fabric"}})"}));
  EXPECT_EQ(events(), (std::vector<std::string>{"BATCH_START ", "MODEL_START g_0"}));
  EXPECT_NE(result.console.lines.back(), "Batch run statistics:");
}

TEST_F(BatchDriverTest, ReportsMalformedGroupsAndFilesAsErrors) {
  file("base_json/house.json", kModel);
  const struct {
    std::string config;
    std::string error;
  } rows[] = {
      {R"({"g": {"weather_files": ["w"]}})",
       R"(group 'g': "base_json" must be an array whose first element is a string)"},
      {R"({"g": {"base_json": [1]}})",
       R"(group 'g': "base_json" must be an array whose first element is a string)"},
      {R"({"g": {"base_json": ["house"], "weather_files": ["nowhere"]}})",
       test_support::missing_folder_error()},
      {R"({"g": )", "EOF while parsing a value at line 1 column 7"},
  };
  for (const auto& row : rows) {
    const auto result = run(config(row.config), true);
    ASSERT_FALSE(result.outcome) << row.config;
    EXPECT_EQ(result.outcome.error().message, row.error);
  }
}

TEST_F(BatchDriverTest, SimulatesEveryVariantWithItsWeatherAndWrapper) {
  file("base_json/house.json", kModel);
  file("weather_files/north.json", R"({"weather_file": "north.epw"})");
  file("weather_files/north.epw", "sample");
  file("model_wrappers/hb.json", R"({"cli_flag": "--heat-balance"})");
  const auto cfg = config(R"({"g": {"base_json": ["house"], "weather_files": ["north"],
                                    "model_wrappers": ["hb"]},
                              "n": {"base_json": ["house"]}})");
  const auto result = run(cfg, false);
  ASSERT_TRUE(result.outcome) << result.outcome.error().message;
  const std::string weather = (base() / "weather_files" / "north.epw").string();
  ASSERT_EQ(simulations_.size(), 1u);
  EXPECT_EQ(simulations_[0], (out() / "result_batch_a_g_0").string() + " | " + weather +
                                 " | 2 | " + (dir_.path() / "ws").string() + " | batch_a");
  // The simulated variant is the written one: "model_wrappers" applied marks opaque elements.
  EXPECT_EQ(simulated_models_[0],
            *json_text::read_json_file(out() / "result_batch_a_g_0" / "g.json"));
  EXPECT_EQ(simulated_models_[0]["Zone"]["kitchen"]["BuildingElement"]["wall"]["is_external_door"],
            Json(false));
  const auto& lines = result.console.lines;
  const auto at = std::find(lines.begin(), lines.end(), "Processed weather file: " + weather);
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(*(at + 1), "Running simulation for g_0 with weather file: north.epw and wrapper: hb "
                       "(CLI flag: --heat-balance)");
  EXPECT_EQ(*(at + 2), "[SIMULATION] Starting simulation for g_0");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "No weather file specified for n_0, skipping simulation"),
            lines.end());
  EXPECT_EQ(events(), (std::vector<std::string>{"BATCH_START ", "MODEL_START g_0",
                                                "SIMULATION_SUCCESS g_0", "MODEL_START n_0",
                                                "BATCH_COMPLETE "}));
  const auto errors = log_lines("logs/errors/batch_errors_job.jsonl");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(R"("error_code":"WEATHER_FILE_NOT_FOUND")"), std::string::npos);
  EXPECT_NE(errors[0].find(R"("additional_data":{"combination":0,"group_name":"n"})"),
            std::string::npos);
  const std::string sim_progress = dir_.read(out() / "sim_progress_job.json");
  EXPECT_NE(sim_progress.find("\"status_message\": \"Simulation completed successfully\""),
            std::string::npos);
}

TEST_F(BatchDriverTest, WorkspaceIsTwoNamedLevelsAboveTheBaseParameterDirectory) {
  file("base_json/house.json", kModel);
  file("weather_files/w.json", R"({"weather_file": "w.epw"})");
  file("weather_files/w.epw", "sample");
  const auto cfg = config(R"({"g": {"base_json": ["house"], "weather_files": ["w"]}})");
  // A trailing separator or "." names no level of its own.
  for (const std::string tail : {"/", "/."}) {
    simulations_.clear();
    const auto result = run(cfg, false, fs::path(base().string() + tail));
    ASSERT_TRUE(result.outcome) << result.outcome.error().message;
    ASSERT_EQ(simulations_.size(), 1u);
    EXPECT_NE(simulations_[0].find(" | " + (dir_.path() / "ws").string() + " | batch_a"),
              std::string::npos)
        << simulations_[0];
  }
}

TEST_F(BatchDriverTest, FailedSimulationEndsTheBatchAfterLoggingIt) {
  file("base_json/house.json", kModel);
  file("weather_files/w.json", R"({"weather_file": "w.epw"})");
  file("weather_files/w.epw", "sample");
  file("tariff/t.json", "{}");
  simulation_outcome_ = common::fail("Simulation failed. Exit code: Some(3)\nStdout: x\nStderr: ");
  const auto cfg = config(R"({"g": {"base_json": ["house"], "weather_files": ["w"],
                                    "tariff": ["t", "t"]}})");
  const auto result = run(cfg, false);
  ASSERT_FALSE(result.outcome);
  EXPECT_EQ(result.outcome.error().message, "Simulation failed. Exit code: Some(3)\nStdout: x\nStderr: ");
  EXPECT_EQ(simulations_.size(), 1u);
  EXPECT_FALSE(fs::exists(out() / "result_batch_a_g_1"));
  const auto errors = log_lines("logs/errors/batch_errors_job.jsonl");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(R"("error_message":"Simulation failed: Simulation failed. Exit code: )"
                           R"(Some(3)\nStdout: x\nStderr: ")"),
            std::string::npos);
}

TEST_F(BatchDriverTest, SecondRunAppendsToTheLogsAndRewritesVariants) {
  file("base_json/house.json", kModel);
  const auto cfg = config(R"({"g": {"base_json": ["house"]}})");
  ASSERT_TRUE(run(cfg, true).outcome);
  ASSERT_TRUE(run(cfg, true).outcome);
  EXPECT_EQ(events().size(), 8u);
  EXPECT_EQ(dir_.read(out() / "result_batch_a_g_0" / "g.json").find('\n', 0) , 1u);
}

}  // namespace
}  // namespace native_runner
