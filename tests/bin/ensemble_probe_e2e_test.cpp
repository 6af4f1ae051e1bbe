// Runs the built ensemble_probe on workspaces made by each test, in JSON-only mode, and checks
// its console, exit status and every file it leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

const char* const kTwoGroups = R"({
  "beta": {"base_json": ["house"], "weather_files": ["site"]},
  "about": "not a group",
  "alpha": {
    "tariff": ["t1", "t2", "t3"],
    "base_json": ["house", "never_read"],
    "lighting": ["l1", "l2"],
    "zone_allocations": ["not", "used"],
    "label": "not a parameter"
  },
  "list": [1, 2]
})";

TEST(EnsembleProbeJsonOnly, TwoGroupsWriteEveryCombinationInKeyOrder) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.config("batch.json", kTwoGroups);

  const ProgramRun run = ws.probe({"ws/input/configs/batch.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string percentages[] = {"16.666666666666664", "33.33333333333333", "50.0",
                                     "66.66666666666666",  "83.33333333333334", "100.0"};
  std::string expected = opening_lines(relative_run(ws, "batch")) + group_start("alpha", 6);
  for (int i = 0; i < 6; ++i) {
    expected += written_combination("alpha_" + std::to_string(i), i, 6, percentages[i]);
  }
  expected += group_end("alpha", 6) + group_start("beta", 1) +
              written_combination(
                  "beta_0", 0, 1, "100.0",
                  "Processed weather file: ws/input/batch_parameters/weather_files/site.epw\n") +
              group_end("beta", 1) + closing_lines(true);
  EXPECT_EQ(mask_timestamps(run.out), expected);

  EXPECT_EQ(
      ws.tree("out"),
      (Tree{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
            "progress_native_test.json", "result_batch_alpha_0", "result_batch_alpha_0/alpha.json",
            "result_batch_alpha_1", "result_batch_alpha_1/alpha.json", "result_batch_alpha_2",
            "result_batch_alpha_2/alpha.json", "result_batch_alpha_3",
            "result_batch_alpha_3/alpha.json", "result_batch_alpha_4",
            "result_batch_alpha_4/alpha.json", "result_batch_alpha_5",
            "result_batch_alpha_5/alpha.json", "result_batch_beta_0",
            "result_batch_beta_0/beta.json"}));
  // "lighting" sorts before "tariff", so it varies slowest.
  const struct {
    int efficacy;
    const char* plan;
  } alpha[] = {{100, "t1"}, {100, "t2"}, {100, "t3"}, {120, "t1"}, {120, "t2"}, {120, "t3"}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ws.read("out/result_batch_alpha_" + std::to_string(i) + "/alpha.json"),
              house_variant(alpha[i].efficacy, alpha[i].plan))
        << i;
  }
  EXPECT_EQ(ws.read("out/result_batch_beta_0/beta.json"), kHousePretty);

  EXPECT_EQ(mask_timestamps(ws.read("out/progress_native_test.json")),
            progress_json(1, 1, "100.0", "beta", "Group processing completed"));
  std::string log = batch_start("batch");
  for (int i = 0; i < 6; ++i) {
    const std::string model = "alpha_" + std::to_string(i);
    log += model_start("batch", model, i, 6) + json_only_skip("batch", model, i, 6);
  }
  log += model_start("batch", "beta_0", 0, 1) + json_only_skip("batch", "beta_0", 0, 1) +
         batch_complete("batch");
  EXPECT_EQ(processing_log(ws), log);
}

TEST(EnsembleProbeJsonOnly, SkippedCombinationsLeaveNoResultAndTheBatchGoesOn) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("skips.json", R"({
    "a_ghost": {"base_json": ["ghost"], "tariff": ["t1", "t2"]},
    "b_param": {"base_json": ["house"], "lighting": ["l1"], "tariff": ["gone", "t2"]},
    "c_empty": {"base_json": ["house"], "tariff": []}
  })");

  const ProgramRun run = ws.probe({"ws/input/configs/skips.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string base_missing =
      "  ERROR: Base model 'ghost.json' not found. Skipping group.\n" +
      progress_lines("out", 0, 2, "0.0", "a_ghost", "Base model not found - skipping group");
  const std::string gone = "ws/input/batch_parameters/tariff/gone.json";
  const std::string expected =
      opening_lines(relative_run(ws, "skips")) + group_start("a_ghost", 2) +
      progress_lines("out", 1, 2, "50.0", "a_ghost_0", "Processing model") + base_missing +
      progress_lines("out", 2, 2, "100.0", "a_ghost_1", "Processing model") + base_missing +
      group_end("a_ghost", 2) + group_start("b_param", 2) +
      progress_lines("out", 1, 2, "50.0", "b_param_0", "Processing model") +
      "      ERROR: Parameter file not found at '" + gone + "'. Skipping this combination.\n" +
      progress_lines("out", 1, 2, "50.0", "b_param_0", "Parameter file not found: " + gone) +
      written_combination("b_param_1", 1, 2, "100.0") + group_end("b_param", 2) +
      group_start("c_empty", 0) +
      progress_lines("out", 0, 0, "100.0", "c_empty", "Group processing completed") +
      closing_lines(true);
  EXPECT_EQ(mask_timestamps(run.out), expected);

  EXPECT_EQ(ws.tree("out"),
            (Tree{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
                  "progress_native_test.json", "result_skips_b_param_1",
                  "result_skips_b_param_1/b_param.json"}));
  EXPECT_EQ(ws.read("out/result_skips_b_param_1/b_param.json"), house_variant(100, "t2"));
  EXPECT_EQ(processing_log(ws),
            batch_start("skips") + model_start("skips", "a_ghost_0", 0, 2) +
                model_start("skips", "a_ghost_1", 1, 2) + model_start("skips", "b_param_0", 0, 2) +
                model_start("skips", "b_param_1", 1, 2) +
                json_only_skip("skips", "b_param_1", 1, 2) + batch_complete("skips"));
}

TEST(EnsembleProbeJsonOnly, ConfigurationThatIsNotAnObjectRunsNoGroup) {
  for (const char* text : {"[{\"base_json\": [\"house\"]}]", "\"group\"", "7"}) {
    SCOPED_TRACE(text);
    ProbeWorkspace ws;
    ws.config("flat.json", text);

    const ProgramRun run = ws.probe({"ws/input/configs/flat.json", "out"});

    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(mask_timestamps(run.out),
              opening_lines(relative_run(ws, "flat")) + closing_lines(true));
    EXPECT_EQ(ws.tree("out"), (Tree{"logs", "logs/processing",
                                    "logs/processing/batch_processing_native_test.log"}));
    EXPECT_EQ(processing_log(ws), batch_start("flat") + batch_complete("flat"));
  }
}

// A configuration that cannot be read ends the batch before any record is written.
TEST(EnsembleProbeJsonOnly, UnreadableConfigurationEndsTheBatchBeforeAnyRecord) {
  const struct {
    const char* text;  // nullptr: no file at all
    const char* error;
  } rows[] = {
      {nullptr, "No such file or directory (os error 2)"},
      {"{\"a\": ", "EOF while parsing a value at line 1 column 7"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.error);
    ProbeWorkspace ws;
    if (row.text != nullptr) ws.config("broken.json", row.text);

    const ProgramRun run = ws.probe({"ws/input/configs/broken.json", "out"});

    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, std::string("[ensemble_probe] Native batch failed: ") + row.error + "\n");
    const std::string opening = opening_lines(relative_run(ws, "broken"));
    EXPECT_EQ(run.out, opening.substr(0, opening.find("[NATIVE_BATCH] Config name")));
    EXPECT_EQ(ws.tree("out"), Tree{});
  }
}

TEST(EnsembleProbeJsonOnly, MissingWeatherParameterFileEndsTheBatch) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("weather.json", R"({
    "g": {"base_json": ["house"], "weather_files": ["nowhere"], "tariff": ["t1", "t2"]},
    "h": {"base_json": ["house"]}
  })");

  const ProgramRun run = ws.probe({"ws/input/configs/weather.json", "out"});

  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "[ensemble_probe] Native batch failed: No such file or directory (os error 2)\n");
  EXPECT_EQ(mask_timestamps(run.out),
            opening_lines(relative_run(ws, "weather")) + group_start("g", 2) +
                progress_lines("out", 1, 2, "50.0", "g_0", "Processing model"));
  EXPECT_EQ(ws.tree("out"),
            (Tree{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
                  "progress_native_test.json"}));
  EXPECT_EQ(processing_log(ws), batch_start("weather") + model_start("weather", "g_0", 0, 2));
}

TEST(EnsembleProbeJsonOnly, FabricParameterThatIsAnArrayFailsTheMerge) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.param("simplified_fabric/bad.json", "[1]");
  ws.config("merge.json", R"({"g": {"base_json": ["house"], "simplified_fabric": ["bad"]},
    "h": {"base_json": ["house"]}})");

  const ProgramRun run = ws.probe({"ws/input/configs/merge.json", "out"});

  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "[ensemble_probe] Native batch failed: invalid type: sequence, expected a map\n");
  EXPECT_EQ(mask_timestamps(run.out),
            opening_lines(relative_run(ws, "merge")) + group_start("g", 1) +
                progress_lines("out", 1, 1, "100.0", "g_0", "Processing model"));
  EXPECT_EQ(error_log(ws),
            R"({"timestamp":"<TS>","job_id":"native_test","config_name":"merge",)"
            R"("error_code":"MERGE_FAILED","error_message":"Failed to merge simplified_fabric )"
            R"(parameter: invalid type: sequence, expected a map","model_name":"g_0",)"
            R"("combination_index":0,"total_combinations":1,"additional_data":)"
            R"({"param_file":"ws/input/batch_parameters/simplified_fabric/bad.json",)"
            R"("param_key":"simplified_fabric"}})"
            "\n");
  EXPECT_EQ(processing_log(ws), batch_start("merge") + model_start("merge", "g_0", 0, 1));
  EXPECT_FALSE(ws.exists("out/result_merge_g_0"));
}

TEST(EnsembleProbeJsonOnly, SecondRunAppendsToTheLogsAndRewritesTheVariant) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("again.json", R"({"g": {"base_json": ["house"], "lighting": ["l1"]}})");
  ASSERT_EQ(ws.probe({"ws/input/configs/again.json", "out"}).exit_code, 0);
  // Longer than the next variant, so a write that does not truncate would leave a tail.
  ws.file("out/result_again_g_0/g.json", std::string(4096, 'x'));
  ws.param("lighting/l1.json", R"({"Lighting": {"efficacy": 90}})");

  const ProgramRun run = ws.probe({"ws/input/configs/again.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string once = batch_start("again") + model_start("again", "g_0", 0, 1) +
                           json_only_skip("again", "g_0", 0, 1) + batch_complete("again");
  EXPECT_EQ(processing_log(ws), once + once);
  EXPECT_EQ(ws.read("out/result_again_g_0/g.json"), R"({
  "Lighting": {
    "efficacy": 90
  },
  "Tariff": {
    "plan": "base",
    "standing": 1
  },
  "Zone": {
    "lounge": {
      "area": 20.5
    }
  }
})");
}

TEST(EnsembleProbeJsonOnly, BundledExampleWorkspaceWritesSixVariants) {
  ProbeWorkspace ws;
  fs::copy(fs::path(EXAMPLES_DIR) / "workspace", ws.root() / "ws", fs::copy_options::recursive);

  const ProgramRun run = ws.probe({"ws/input/configs/demo_batch.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.ends_with(closing_lines(true)));
  Tree expected{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
                "progress_native_test.json"};
  for (int i = 0; i < 4; ++i) {
    const std::string dir = "result_demo_batch_fabric_and_tariff_" + std::to_string(i);
    expected.insert(expected.end(), {dir, dir + "/fabric_and_tariff.json"});
  }
  for (int i = 0; i < 2; ++i) {
    const std::string dir = "result_demo_batch_heat_pump_retrofit_" + std::to_string(i);
    expected.insert(expected.end(), {dir, dir + "/heat_pump_retrofit.json"});
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ws.tree("out"), expected);
  EXPECT_TRUE(processing_log(ws).ends_with(batch_complete("demo_batch")));
}

}  // namespace
}  // namespace probe_e2e
