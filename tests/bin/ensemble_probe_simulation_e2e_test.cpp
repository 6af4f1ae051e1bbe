// Runs the built ensemble_probe in simulation mode against stand-in engines that the tests write
// into each workspace, and checks what the program prints, records and hands to the engine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

const char* const kEngineScript = "ws/src-tauri/resources/run.sh";

// Appends every word it was given and the environment it relies on to a file beside itself, keeps
// a copy of the model there, and chatters on both streams, which the program must not show.
const char* const kRecordingEngine = R"(#!/bin/bash
here=$(dirname "$0")
{ printf '%s\n' "$0" "$@"; printf 'WORKSPACE=%s\nPWD=%s\n--\n' "${WORKSPACE-unset}" "$PWD"; } \
  >> "$here/engine_calls.txt"
cp "$1" "$here/engine_model.json"
echo "engine chatter"
echo "engine warning" >&2
exit 0
)";
const char* const kEngineCalls = "ws/src-tauri/resources/engine_calls.txt";

std::string engine_calls(const ProbeWorkspace& ws) {
  return mask_batch_directory(ws.read(kEngineCalls));
}

const char* const kFailingEngine = R"(#!/bin/bash
printf x
printf 'boom\n' >&2
exit 3
)";

void write_weather(const ProbeWorkspace& ws) {
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
}

// The console lines of one combination from the wrapper lookup to the engine's end.
std::string engine_lines(const std::string& model, const std::string& weather,
                         const std::string& result_dir, const std::string& command) {
  return "[SIMULATION] Starting simulation for " + model +
         "\n[NATIVE_RUNNER] Using hybrid approach with external process execution\n"
         "[NATIVE_RUNNER] Weather file: " +
         weather + "\n[NATIVE_RUNNER] Output path: " + result_dir +
         "\n[NATIVE_RUNNER] Executing: " + command + "\n";
}

std::string sim_progress_json(const std::string& model, bool finished) {
  return finished ? "{\n  \"job_id\": \"native_test\",\n  \"model_name\": \"" + model +
                        "\",\n  \"current_timestep\": 8760,\n  \"total_timesteps\": 8760,\n"
                        "  \"percentage\": 100.0,\n  \"current_month\": \"December\",\n"
                        "  \"current_day\": 31,\n  \"current_hour\": 23.0,\n"
                        "  \"status_message\": \"Simulation completed successfully\",\n"
                        "  \"timestamp\": \"<TS>\"\n}"
                  : "{\n  \"job_id\": \"native_test\",\n  \"model_name\": \"" + model +
                        "\",\n  \"current_timestep\": 0,\n  \"total_timesteps\": 8760,\n"
                        "  \"percentage\": 0.0,\n  \"current_month\": \"January\",\n"
                        "  \"current_day\": 1,\n  \"current_hour\": 0.0,\n"
                        "  \"status_message\": \"Starting simulation\",\n"
                        "  \"timestamp\": \"<TS>\"\n}";
}

TEST(EnsembleProbeSimulation, SimulatedCombinationRunsTheEngineWithTheWrapperOption) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  write_weather(ws);
  ws.param("model_wrappers/hb.json", R"({"cli_flag": "--heat-balance"})");
  ws.file(kEngineScript, kRecordingEngine);
  ws.config("sim.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "model_wrappers": ["hb"]}})");
  const std::string root = ws.cwd();
  const std::string out = root + "/out";
  const std::string weather = root + "/ws/input/batch_parameters/weather_files/site.epw";
  const std::string script = root + "/" + kEngineScript;
  const std::string temp_model = ws.temp_model();

  const ProgramRun run =
      ws.probe_with_tmp({"--simulation", root + "/ws/input/configs/sim.json", out});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const Invocation invocation{root + "/ws/input/configs/sim.json", out,   false, root + "/ws",
                              root + "/ws/input/batch_parameters", "sim", root};
  EXPECT_EQ(mask_batch_directory(mask_timestamps(run.out)),
            opening_lines(invocation) + group_start("g", 1, out) +
                progress_lines(out, 1, 1, "100.0", "g_0", "Processing model") +
                "Processed weather file: " + weather +
                "\nRunning simulation for g_0 with weather file: site.epw and wrapper: hb "
                "(CLI flag: --heat-balance)\n" +
                engine_lines("g_0", weather, out + "/result_sim_g_0",
                             "/bin/bash " + script + " " + temp_model + " " + weather +
                                 " sim [\"--heat-balance\"]") +
                "[NATIVE_RUNNER] Simulation completed successfully\n" + group_end("g", 1, out) +
                closing_lines(false));

  EXPECT_EQ(engine_calls(ws), script + "\n" + temp_model + "\n" + weather +
                                  "\nsim\n--heat-balance\nWORKSPACE=" + root + "/ws\nPWD=" + root +
                                  "\n--\n");
  // Having applied a wrapper, the first zone is the living room.
  const std::string variant = R"({
  "Tariff": {
    "plan": "base",
    "standing": 1
  },
  "Zone": {
    "lounge": {
      "SpaceHeatControl": "livingroom",
      "area": 20.5
    }
  }
})";
  EXPECT_EQ(ws.read("out/result_sim_g_0/g.json"), variant);
  EXPECT_EQ(ws.read("ws/src-tauri/resources/engine_model.json"), variant);
  EXPECT_EQ(ws.tree("tmp"), Tree{});

  EXPECT_EQ(ws.tree("out"),
            (Tree{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
                  "progress_native_test.json", "result_sim_g_0", "result_sim_g_0/engine",
                  "result_sim_g_0/engine/outputs", "result_sim_g_0/engine/stderr.txt",
                  "result_sim_g_0/engine/stdout.txt", "result_sim_g_0/g.json",
                  "result_sim_g_0/simulation_outcome.json", "sim_progress_native_test.json"}));
  EXPECT_EQ(ws.read("out/result_sim_g_0/engine/stdout.txt"), "engine chatter\n");
  EXPECT_EQ(ws.read("out/result_sim_g_0/engine/stderr.txt"), "engine warning\n");
  EXPECT_EQ(mask_timestamps(ws.read("out/sim_progress_native_test.json")),
            sim_progress_json("g_0", true));
  EXPECT_EQ(processing_log(ws), batch_start("sim") + model_start("sim", "g_0", 0, 1) +
                                    event_line("sim", "SIMULATION_SUCCESS",
                                               "Simulation completed successfully", "g_0", 0, 1) +
                                    batch_complete("sim"));
}

// Without a "model_wrappers" list the wrapper is "passthrough"; its missing file is reported
// twice and the engine gets no option. The config name keeps its space as one engine argument.
TEST(EnsembleProbeSimulation, MissingWrapperFileWarnsTwiceAndRunsWithoutOption) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  write_weather(ws);
  ws.file(kEngineScript, kRecordingEngine);
  ws.config("wrap run.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"]}})");
  const std::string weather = "ws/input/batch_parameters/weather_files/site.epw";
  const std::string temp_model = ws.temp_model();
  const std::string missing =
      "WARNING: Wrapper parameter file not found: "
      "ws/input/batch_parameters/model_wrappers/passthrough.json. Defaulting to no CLI flag.\n";

  const ProgramRun run =
      ws.probe_with_tmp({"--simulation", "ws/input/configs/wrap run.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  Invocation invocation = relative_run(ws, "wrap run");
  invocation.json_only = false;
  EXPECT_EQ(mask_batch_directory(mask_timestamps(run.out)),
            opening_lines(invocation) + group_start("g", 1) +
                progress_lines("out", 1, 1, "100.0", "g_0", "Processing model") +
                "Processed weather file: " + weather + "\n    " + missing + missing +
                "Running simulation for g_0 with weather file: site.epw and wrapper: passthrough "
                "(no CLI flag)\n" +
                engine_lines("g_0", weather, "out/result_wrap run_g_0",
                             "/bin/bash " + std::string(kEngineScript) + " " + temp_model + " " +
                                 weather + " wrap run []") +
                "[NATIVE_RUNNER] Simulation completed successfully\n" + group_end("g", 1) +
                closing_lines(false));
  EXPECT_EQ(engine_calls(ws), std::string(kEngineScript) + "\n" + temp_model + "\n" + weather +
                                  "\nwrap run\nWORKSPACE=ws\nPWD=" + ws.cwd() + "\n--\n");
  EXPECT_EQ(ws.read("out/result_wrap run_g_0/g.json"), kHousePretty);
}

TEST(EnsembleProbeSimulation, FailingEngineEndsTheBatchWithItsOutput) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  write_weather(ws);
  // An empty flag means no option, without a warning.
  ws.param("model_wrappers/passthrough.json", R"({"cli_flag": ""})");
  ws.file(kEngineScript, kFailingEngine);
  ws.config("fail.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "tariff": ["t1", "t2"]}, "h": {"base_json": ["house"]}})");
  const std::string weather = "ws/input/batch_parameters/weather_files/site.epw";
  const std::string temp_model = ws.temp_model();

  const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/fail.json", "out"});

  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "[ensemble_probe] Native batch failed: Simulation failed. Exit code: Some(3)\n"
            "Stdout: x\nStderr: boom\n\n");
  Invocation invocation = relative_run(ws, "fail");
  invocation.json_only = false;
  EXPECT_EQ(mask_batch_directory(mask_timestamps(run.out)),
            opening_lines(invocation) + group_start("g", 2) +
                progress_lines("out", 1, 2, "50.0", "g_0", "Processing model") +
                "Processed weather file: " + weather +
                "\nRunning simulation for g_0 with weather file: site.epw and wrapper: "
                "passthrough (no CLI flag)\n" +
                engine_lines("g_0", weather, "out/result_fail_g_0",
                             "/bin/bash " + std::string(kEngineScript) + " " + temp_model + " " +
                                 weather + " fail []"));

  EXPECT_EQ(error_log(ws),
            R"({"timestamp":"<TS>","job_id":"native_test","config_name":"fail",)"
            R"("error_code":"SIMULATION_FAILED","error_message":"Simulation failed: )"
            R"(Simulation failed. Exit code: Some(3)\nStdout: x\nStderr: boom\n",)"
            R"("model_name":"g_0","combination_index":0,"total_combinations":2,)"
            R"("additional_data":{"model_file":"out/result_fail_g_0/g.json",)"
            R"("weather_file":"ws/input/batch_parameters/weather_files/site.epw"}})"
            "\n");
  EXPECT_EQ(processing_log(ws), batch_start("fail") + model_start("fail", "g_0", 0, 2));
  EXPECT_EQ(mask_timestamps(ws.read("out/sim_progress_native_test.json")),
            sim_progress_json("g_0", false));
  EXPECT_EQ(mask_timestamps(ws.read("out/progress_native_test.json")),
            progress_json(1, 2, "50.0", "g_0", "Processing model"));
  EXPECT_EQ(
      ws.tree("out"),
      (Tree{"logs", "logs/errors", "logs/errors/batch_errors_native_test.jsonl", "logs/processing",
            "logs/processing/batch_processing_native_test.log", "progress_native_test.json",
            "result_fail_g_0", "result_fail_g_0/engine", "result_fail_g_0/engine/outputs",
            "result_fail_g_0/engine/stderr.txt", "result_fail_g_0/engine/stdout.txt",
            "result_fail_g_0/g.json", "sim_progress_native_test.json"}));
  EXPECT_EQ(ws.read("out/result_fail_g_0/engine/stdout.txt"), "x");
  EXPECT_EQ(ws.read("out/result_fail_g_0/engine/stderr.txt"), "boom\n");
  EXPECT_EQ(ws.tree("tmp"), Tree{});
}

TEST(EnsembleProbeSimulation, WeatherSkipsWriteTheVariantAndGoOn) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.param("weather_files/gone_site.json", R"({"weather_file": "absent.epw"})");
  ws.file(kEngineScript, kRecordingEngine);
  ws.config("skip.json", R"({"a_unnamed": {"base_json": ["house"], "tariff": ["t1", "t2"]},
    "b_absent": {"base_json": ["house"], "weather_files": ["gone_site"]}})");

  const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/skip.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  Invocation invocation = relative_run(ws, "skip");
  invocation.json_only = false;
  EXPECT_EQ(mask_batch_directory(mask_timestamps(run.out)),
            opening_lines(invocation) + group_start("a_unnamed", 2) +
                progress_lines("out", 1, 2, "50.0", "a_unnamed_0", "Processing model") +
                "No weather file specified for a_unnamed_0, skipping simulation\n" +
                progress_lines("out", 2, 2, "100.0", "a_unnamed_1", "Processing model") +
                "No weather file specified for a_unnamed_1, skipping simulation\n" +
                group_end("a_unnamed", 2) + group_start("b_absent", 1) +
                progress_lines("out", 1, 1, "100.0", "b_absent_0", "Processing model") +
                "      ERROR: Weather file not found at "
                "'ws/input/batch_parameters/weather_files/absent.epw'. Skipping this "
                "combination.\n" +
                group_end("b_absent", 1) + closing_lines(false));

  std::string errors;
  for (int i = 0; i < 2; ++i) {
    const std::string index = std::to_string(i);
    errors += R"({"timestamp":"<TS>","job_id":"native_test","config_name":"skip",)"
              R"("error_code":"WEATHER_FILE_NOT_FOUND",)"
              R"("error_message":"No weather file specified for this combination",)"
              R"("model_name":"a_unnamed_)" +
              index + R"(","combination_index":)" + index +
              R"(,"total_combinations":2,"additional_data":{"combination":)" + index +
              R"(,"group_name":"a_unnamed"}})" + "\n";
  }
  EXPECT_EQ(error_log(ws), errors);
  EXPECT_EQ(processing_log(ws), batch_start("skip") + model_start("skip", "a_unnamed_0", 0, 2) +
                                    model_start("skip", "a_unnamed_1", 1, 2) +
                                    model_start("skip", "b_absent_0", 0, 1) +
                                    batch_complete("skip"));
  EXPECT_EQ(
      ws.tree("out"),
      (Tree{"logs", "logs/errors", "logs/errors/batch_errors_native_test.jsonl", "logs/processing",
            "logs/processing/batch_processing_native_test.log", "progress_native_test.json",
            "result_skip_a_unnamed_0", "result_skip_a_unnamed_0/a_unnamed.json",
            "result_skip_a_unnamed_1", "result_skip_a_unnamed_1/a_unnamed.json",
            "result_skip_b_absent_0", "result_skip_b_absent_0/b_absent.json"}));
  EXPECT_EQ(ws.read("out/result_skip_a_unnamed_1/a_unnamed.json"), R"({
  "Tariff": {
    "plan": "t2",
    "standing": 1
  },
  "Zone": {
    "lounge": {
      "area": 20.5
    }
  }
})");
  EXPECT_FALSE(ws.exists(kEngineCalls));
}

// The shell is never looked for when the script is missing; the batch's temporary directory goes
// with the batch.
TEST(EnsembleProbeSimulation, MissingEngineScriptEndsTheBatch) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  write_weather(ws);
  ws.param("model_wrappers/passthrough.json", "{}");
  ws.config("noengine.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"]}})");

  const ProgramRun run =
      ws.probe_with_tmp({"--simulation", "ws/input/configs/noengine.json", "out"});

  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "[ensemble_probe] Native batch failed: run.sh not found at: " +
                         std::string(kEngineScript) + "\n");
  EXPECT_TRUE(run.out.ends_with("[NATIVE_RUNNER] Output path: out/result_noengine_g_0\n"))
      << run.out;
  EXPECT_EQ(error_log(ws),
            R"({"timestamp":"<TS>","job_id":"native_test","config_name":"noengine",)"
            R"("error_code":"SIMULATION_FAILED","error_message":"Simulation failed: run.sh not )"
            R"(found at: ws/src-tauri/resources/run.sh","model_name":"g_0",)"
            R"("combination_index":0,"total_combinations":1,)"
            R"("additional_data":{"model_file":"out/result_noengine_g_0/g.json",)"
            R"("weather_file":"ws/input/batch_parameters/weather_files/site.epw"}})"
            "\n");
  EXPECT_EQ(ws.tree("tmp"), Tree{});
}

// The bundled stand-in engine checks its arguments and writes one summary per run beside its
// model, named after the combination it was told, so each lands in its own result directory;
// its summary table's figures follow the fabric of the model it was handed.
TEST(EnsembleProbeSimulation, BundledExampleWorkspaceRunsItsStandInEngine) {
  ProbeWorkspace ws;
  fs::copy(fs::path(EXAMPLES_DIR) / "workspace", ws.root() / "ws", fs::copy_options::recursive);

  // The stand-in needs only system tools; user-level command shims on PATH can take seconds to
  // start, and the stand-in starts its checker twice per run.
  const ProgramRun run = ws.probe_with_tmp(
      {"--simulation", "ws/input/configs/demo_batch.json", "out"}, "", {"PATH=/usr/bin:/bin"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.ends_with(closing_lines(false)));
  const struct {
    std::string model;
    int run;
    std::string options;
    std::string heat_loss;
    std::string demand;
  } kRows[] = {{"fabric_and_tariff_0", 1, "(none)", "29.8", "1636"},
               {"fabric_and_tariff_2", 3, "(none)", "16.9", "930"},
               {"heat_pump_retrofit_0", 5, "(none)", "46.7", "2571"},
               {"heat_pump_retrofit_1", 6, "--heat-balance", "46.7", "2571"}};
  for (const auto& row : kRows) {
    const std::string result = "out/result_demo_batch_" + row.model;
    EXPECT_EQ(ws.tree(result + "/engine/outputs"),
              (Tree{row.model + "__summary.csv", row.model + "__summary.txt"}));
    EXPECT_EQ(ws.read(result + "/engine/outputs/" + row.model + "__summary.csv"),
              "Fabric\r\n,Value,Unit\r\nHeat loss coefficient," + row.heat_loss +
                  ",W/K\r\n\r\nEnergy Demand Summary\r\n,Total,Unit\r\nSpace heat demand," +
                  row.demand + ",kWh\r\n");
    EXPECT_EQ(
        mask_batch_directory(ws.read(result + "/engine/outputs/" + row.model + "__summary.txt")),
        "stand-in engine run for " + row.model +
            " (no simulation was performed)\nmodel file:   " + ws.temp_model(row.run) +
            "\nweather file: ws/input/batch_parameters/weather_files/sample_site.epw\n"
            "config name:  demo_batch\noptions:      " +
            row.options + "\nWORKSPACE:    ws\nresult dir:   " + ws.cwd() + "/" + result + "\n");
    EXPECT_EQ(ws.read(result + "/engine/stdout.txt"),
              "stand-in engine: summary written for " + row.model + "\n");
  }
  EXPECT_FALSE(ws.exists("ws/engine_runs"));
}

// Run from inside the workspace, the workspace is the empty path: the script is found relative
// to the working directory and the engine sees WORKSPACE set but empty.
TEST(EnsembleProbeSimulation, RunFromInsideTheWorkspaceHandsTheEngineAnEmptyWorkspace) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  write_weather(ws);
  ws.param("model_wrappers/passthrough.json", "{}");
  ws.file(kEngineScript, kRecordingEngine);
  ws.config("inside.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"]}})");
  const std::string weather = "input/batch_parameters/weather_files/site.epw";
  const std::string temp_model = ws.temp_model();

  const ProgramRun run =
      ws.probe_with_tmp({"--simulation", "input/configs/inside.json", "out"}, "ws");

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(mask_batch_directory(run.out).find(
                "[NATIVE_RUNNER] Executing: /bin/bash src-tauri/resources/run.sh " + temp_model +
                " " + weather + " inside []\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(engine_calls(ws), "src-tauri/resources/run.sh\n" + temp_model + "\n" + weather +
                                  "\ninside\nWORKSPACE=\nPWD=" + ws.cwd() + "/ws\n--\n");
  EXPECT_EQ(ws.read("ws/out/result_inside_g_0/g.json"), kHousePretty);
}

}  // namespace
}  // namespace probe_e2e
