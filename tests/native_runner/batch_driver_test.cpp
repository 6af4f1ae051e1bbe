#include "native_runner/batch_driver.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "json/json_reader.h"
#include "native_runner/simulation_outcome.h"
#include "support/failing_files.h"
#include "support/fake_process_runner.h"
#include "support/memory_files.h"
#include "support/os_errors.h"

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

// The batch runs on an in-memory file tree; the engine is a fake process runner that records
// each request and keeps the model it was handed.
class BatchDriverTest : public ::testing::Test {
 protected:
  BatchDriverTest() { seed_machine(); }

  // The shell, the engine script and the temp folder; everything else the tests add.
  void seed_machine() const {
    files_.put(root() / "bin" / "bash", "");
    files_.put(workspace() / "src-tauri" / "resources" / "run.sh", "");
    (void)files_.create_directories(temp());
  }

  static fs::path root() { return fs::path("/mem"); }
  static fs::path workspace() { return root() / "ws"; }
  static fs::path temp() { return root() / "tmp"; }
  fs::path base() const { return workspace() / "input" / "batch_parameters"; }
  fs::path out() const { return root() / "out"; }

  void file(const std::string& relative, const std::string& text) const {
    files_.put(base() / relative, text);
  }
  fs::path config(const std::string& text, const std::string& name = "batch_a.json") const {
    const fs::path path = workspace() / "input" / "configs" / name;
    files_.put(path, text);
    return path;
  }

  struct Run {
    common::Result<BatchCounts> outcome;
    Console console;
  };
  Run run(const fs::path& config_path, bool json_only, const fs::path& base_params = {},
          const Files* files = nullptr) {
    std::ostringstream console;
    const BatchServices services{
        console, files != nullptr ? *files : files_, processes_,
        EngineHost{temp(), ShellSearch{{(root() / "bin" / "bash").string()}, {"which", {}, {}}}}};
    const BatchOptions options{
        .config_path = config_path,
        .base_params_dir = base_params.empty() ? base() : base_params,
        .output_dir = out(),
        .progress_dir = out(),
        .job_id = "job",
        .json_only = json_only,
    };
    auto outcome = run_native_batch(options, services);
    return Run{outcome, split_console(console.str())};
  }

  std::vector<std::string> log_lines(const std::string& relative) const {
    std::vector<std::string> lines;
    std::istringstream in(files_.text(out() / relative));
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
  Json variant(const std::string& relative) const {
    return *json_text::parse_json(files_.text(out() / relative));
  }

  test_support::MemoryFiles files_;
  platform::ProcessOutcome engine_outcome_{0, "", ""};
  std::vector<Json> simulated_models_;
  test_support::FakeProcessRunner processes_{[this](const platform::ProcessRequest& request) {
    // The engine's second argument is the model file, which is gone once the run returns.
    simulated_models_.push_back(
        json_text::parse_json(files_.text(request.arguments.at(1))).value_or(Json()));
    return common::Result<platform::ProcessOutcome>(engine_outcome_);
  }};
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
  const Json alpha = variant("result_batch_a_alpha_1/alpha.json");
  EXPECT_EQ(alpha["Tariff"], Json::parse(R"({"a": 1, "b": 2})"));
  EXPECT_EQ(alpha["Zone"]["kitchen"]["BuildingElement"]["wall"]["u_value"], Json(0.3));
  EXPECT_TRUE(files_.is_file(out() / "result_batch_a_zeta_0" / "zeta.json"));
  EXPECT_EQ(result.console.lines.back(), "Batch run statistics:");
  EXPECT_EQ(result.console.lines[result.console.lines.size() - 2], "Batch run complete.");
  EXPECT_TRUE(processes_.requests().empty());
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
  EXPECT_FALSE(files_.exists(out() / "result_batch_a_a_0"));
  EXPECT_FALSE(files_.exists(out() / "result_batch_a_b_0"));
  EXPECT_TRUE(files_.is_file(out() / "result_batch_a_b_1" / "b.json"));
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
  const auto requests = processes_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].program, (root() / "bin" / "bash").string());
  EXPECT_EQ(requests[0].arguments,
            (std::vector<std::string>{
                (workspace() / "src-tauri" / "resources" / "run.sh").string(),
                (temp() / "ensemble_probe-1" / "temp_model.json").string(), weather, "batch_a", "--heat-balance"}));
  EXPECT_EQ(requests[0].added_variables, (std::vector<std::pair<std::string, std::string>>{
                                             {"WORKSPACE", workspace().string()}}));
  EXPECT_FALSE(files_.exists(temp() / "temp_model.json"));
  // The simulated variant is the written one: "model_wrappers" applied marks opaque elements.
  ASSERT_EQ(simulated_models_.size(), 1u);
  EXPECT_EQ(simulated_models_[0], variant("result_batch_a_g_0/g.json"));
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
  // The outcome record names exactly what the engine was given.
  const std::string outcome = files_.text(out() / "result_batch_a_g_0" / "simulation_outcome.json");
  const auto stamp = outcome.rfind("\"completed_at\": \"");
  ASSERT_NE(stamp, std::string::npos) << outcome;
  const auto inputs =
      describe_simulation("batch_a", "g_0", files_.text(out() / "result_batch_a_g_0" / "g.json"),
                          weather, "sample", {"--heat-balance"});
  EXPECT_EQ(outcome, render_outcome(inputs, outcome.substr(stamp + 17, 20)));
  EXPECT_FALSE(files_.exists(out() / "result_batch_a_n_0" / "simulation_outcome.json"));
  const std::string sim_progress = files_.text(out() / "sim_progress_job.json");
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
    SCOPED_TRACE(tail);
    const auto result = run(cfg, false, fs::path(base().string() + tail));
    ASSERT_TRUE(result.outcome) << result.outcome.error().message;
    const auto requests = processes_.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().added_variables, (std::vector<std::pair<std::string, std::string>>{
                                                   {"WORKSPACE", workspace().string()}}));
  }
}

TEST_F(BatchDriverTest, FailedSimulationEndsTheBatchAfterLoggingIt) {
  file("base_json/house.json", kModel);
  file("weather_files/w.json", R"({"weather_file": "w.epw"})");
  file("weather_files/w.epw", "sample");
  file("tariff/t.json", "{}");
  engine_outcome_ = platform::ProcessOutcome{3, "x", ""};
  const auto cfg = config(R"({"g": {"base_json": ["house"], "weather_files": ["w"],
                                    "tariff": ["t", "t"]}})");
  const auto result = run(cfg, false);
  ASSERT_FALSE(result.outcome);
  EXPECT_EQ(result.outcome.error().message, "Simulation failed. Exit code: Some(3)\nStdout: x\nStderr: ");
  EXPECT_EQ(processes_.requests().size(), 1u);
  EXPECT_FALSE(files_.exists(out() / "result_batch_a_g_1"));
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
  EXPECT_EQ(files_.text(out() / "result_batch_a_g_0" / "g.json").find('\n', 0), 1u);
}


// A simulated batch of two combinations that makes every kind of file call.
class BatchDriverFailureTest : public BatchDriverTest {
 protected:
  void seed_batch() const {
    files_.clear();
    seed_machine();
    file("base_json/house.json", kModel);
    file("tariff/t1.json", R"({"Tariff": {"b": 1}})");
    file("weather_files/w.json", R"({"weather_file": "w.epw"})");
    file("weather_files/w.epw", "sample");
    file("controls/c.json", R"({"Control": {"heating_timer": {}}})");
    config(R"({"g": {"base_json": ["house"], "weather_files": ["w"], "tariff": ["t1", "t1"],
                    "zone_allocations": {"kitchen": {"control": "c"}}}})");
  }
  fs::path config_path() const { return workspace() / "input" / "configs" / "batch_a.json"; }

  // Runs the batch once more with the Nth call of `call` failing; returns the run and how many
  // calls of that kind it made.
  std::pair<Run, std::size_t> run_failing(test_support::FileCall call, std::size_t nth,
                                          std::size_t partial_bytes = 0) {
    const test_support::FailingFiles failing(files_, {call, nth, kInjected, partial_bytes});
    Run result = run(config_path(), false, {}, &failing);
    return {std::move(result), failing.calls()};
  }

  static constexpr const char* kInjected = "No space left on device (os error 28)";
  static constexpr const char* kProcessingLog = "logs/processing/batch_processing_job.log";
};

// Every file call of a batch, failed in turn: the batch stops with exactly that error and never
// reports success, no variant is left cut short, and the logs keep whole lines. Only removing
// the temporary model may fail quietly: the engine has run by then.
TEST_F(BatchDriverFailureTest, EveryFailingFileCallEndsTheBatchWithItsError) {
  using test_support::FileCall;
  seed_batch();
  ASSERT_TRUE(run(config_path(), false).outcome);
  const std::string whole_variant = files_.text(out() / "result_batch_a_g_0" / "g.json");
  const struct {
    FileCall call;
    const char* name;
    std::size_t calls;  // per batch, as the log and progress files show them
    bool batch_fails;
  } kKinds[] = {
      // config, base model twice, tariff twice, weather parameter file four times (announced and
      // resolved per combination), control allocation twice, the weather file once for its hash
      {FileCall::Read, "read", 12, true},
      // progress: group start, two per combination, group end; simulation progress: two per
      // combination
      {FileCall::Write, "write", 8, true},
      // the temporary model per combination
      {FileCall::CreateNew, "create new", 2, true},
      // the variant and the outcome record per combination
      {FileCall::Replace, "replace", 4, true},
      // BATCH_START, per combination MODEL_START and SIMULATION_SUCCESS, BATCH_COMPLETE
      {FileCall::Append, "append", 6, true},
      // output folder, the log folder before each line, each result folder
      {FileCall::CreateDirectories, "create directories", 9, true},
      // the temporary model before and after each run
      {FileCall::Remove, "remove", 4, false},
  };
  for (const auto& kind : kKinds) {
    seed_batch();
    EXPECT_EQ(run_failing(kind.call, SIZE_MAX).second, kind.calls) << kind.name;
    for (std::size_t nth = 1; nth <= kind.calls; ++nth) {
      SCOPED_TRACE(std::string(kind.name) + " #" + std::to_string(nth));
      seed_batch();
      const auto [result, calls] = run_failing(kind.call, nth);
      const bool completed = !result.console.lines.empty() &&
                             result.console.lines.back() == "Batch run statistics:";
      if (!kind.batch_fails) {
        EXPECT_TRUE(result.outcome);
        EXPECT_TRUE(completed);
        continue;
      }
      ASSERT_FALSE(result.outcome);
      EXPECT_EQ(result.outcome.error().message, kInjected);
      EXPECT_EQ(calls, nth) << "the batch went on after the failure";
      EXPECT_FALSE(completed);
      for (const char* folder : {"result_batch_a_g_0", "result_batch_a_g_1"}) {
        const fs::path written = out() / folder / "g.json";
        if (files_.is_file(written)) {
          EXPECT_EQ(files_.text(written), whole_variant);
        }
      }
      const std::string log = files_.text(out() / kProcessingLog);
      EXPECT_TRUE(log.empty() || log.back() == '\n');
    }
  }
}

// A rerun whose variant cannot be written keeps the earlier run's variant and stops there.
TEST_F(BatchDriverFailureTest, FailedVariantWriteKeepsThePreviousVariant) {
  seed_batch();
  ASSERT_TRUE(run(config_path(), true).outcome);
  const std::string before = files_.text(out() / "result_batch_a_g_0" / "g.json");
  file("tariff/t1.json", R"({"Tariff": {"b": 2}})");

  const auto [result, calls] = run_failing(test_support::FileCall::Replace, 1);
  ASSERT_FALSE(result.outcome);
  EXPECT_EQ(result.outcome.error().message, kInjected);
  EXPECT_EQ(files_.text(out() / "result_batch_a_g_0" / "g.json"), before);
  // The first run's five lines, then the rerun's start and its first model.
  EXPECT_EQ(events(), (std::vector<std::string>{
                          "BATCH_START ", "MODEL_START g_0", "JSON_ONLY_SKIP g_0",
                          "MODEL_START g_1", "JSON_ONLY_SKIP g_1", "BATCH_COMPLETE ",
                          "BATCH_START ", "MODEL_START g_0"}));
}

// A log line that fails part-way is taken back: the log holds the lines before it, whole, and
// the next batch appends after them.
TEST_F(BatchDriverFailureTest, AppendFailingPartWayLeavesWholeLines) {
  seed_batch();
  const auto [failed, calls] = run_failing(test_support::FileCall::Append, 2, 12);
  ASSERT_FALSE(failed.outcome);
  EXPECT_EQ(failed.outcome.error().message, kInjected);
  EXPECT_EQ(events(), std::vector<std::string>{"BATCH_START "});
  const std::string after_failure = files_.text(out() / kProcessingLog);

  ASSERT_TRUE(run(config_path(), true).outcome);
  const std::string after_rerun = files_.text(out() / kProcessingLog);
  EXPECT_EQ(after_rerun.substr(0, after_failure.size()), after_failure);
  EXPECT_EQ(events().size(), 7u);
}

}  // namespace
}  // namespace native_runner
