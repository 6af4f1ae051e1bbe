// What engine runs leave for a study, run through the built ensemble_probe against the stand-in
// engine tests/support/engine_outputs_stand_in.sh: each result directory keeps exactly its own
// run's outputs and streams, whatever the number of runs at once and wherever the temporary
// directory is; hung runs are stopped at their time limit and failed ones tried again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"
#include "common/sha256.h"
#include "native_runner/simulation_outcome.h"
#include "support/process_alive.h"

namespace probe_e2e {
namespace {

const std::vector<std::string> kModels = {"g_0", "g_1", "g_2", "g_3"};
// The models whose variant has the lighting efficacy 120: g_2 and g_3.
const char* const kSecondLighting = "\"efficacy\": 120";

// Four combinations g_0..g_3 of lighting (l1, l2, turning slowest) and tariff (t1, t2).
void write_batch(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.config("sim.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "lighting": ["l1", "l2"], "tariff": ["t1", "t2"]}})");
  ws.engine("engine_outputs_stand_in.sh");
  fs::create_directories(ws.root() / "records");
}

ProgramRun simulate(const ProbeWorkspace& ws, int jobs, const std::vector<std::string>& options,
                    std::vector<std::string> environment) {
  std::vector<std::string> args = {"--simulation", "--jobs", std::to_string(jobs)};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"ws/input/configs/sim.json", "out"});
  environment.push_back("ENGINE_RECORDS=" + (ws.root() / "records").string());
  return ws.probe_with_tmp(args, "", environment);
}

std::string result_dir(const std::string& model) { return "out/result_sim_" + model; }

// What a result directory holds after its run, by what the run kept.
enum class Kept { kEverything, kCsv, kStreams };

Tree expected_tree(const std::string& model, Kept kept, bool succeeded) {
  Tree tree = {"engine"};
  if (kept != Kept::kStreams) tree.push_back("engine/outputs");
  if (kept == Kept::kEverything) tree.push_back("engine/outputs/" + model + "__summary.txt");
  if (kept != Kept::kStreams) {
    tree.insert(tree.end(), {"engine/outputs/out", "engine/outputs/out/deep",
                             "engine/outputs/out/deep/series.csv"});
  }
  tree.insert(tree.end(), {"engine/stderr.txt", "engine/stdout.txt", "g.json"});
  if (succeeded) tree.push_back("simulation_outcome.json");
  return tree;
}

// The run's own files: the streams and the summary name this combination, and the model the
// engine read is this combination's variant.
void expect_own_files(const ProbeWorkspace& ws, const std::string& model, Kept kept) {
  const std::string dir = result_dir(model);
  EXPECT_EQ(ws.read(dir + "/engine/stdout.txt"), "stdout of " + model + "\n");
  EXPECT_EQ(ws.read(dir + "/engine/stderr.txt"), "stderr of " + model + "\n");
  if (kept == Kept::kEverything) {
    EXPECT_EQ(ws.read(dir + "/engine/outputs/" + model + "__summary.txt"),
              model + "\n" + common::sha256_hex(ws.read(dir + "/g.json")) + "\n" + ws.cwd() +
                  "/" + dir + "\n");
  }
  if (kept != Kept::kStreams) {
    EXPECT_EQ(ws.read(dir + "/engine/outputs/out/deep/series.csv"), "1\n2\n3\n");
  }
}

// A directory on another file system than the workspace, as a temporary directory in memory is.
class ShmDirectory {
 public:
  ShmDirectory() : path_("/dev/shm/ensemble_engine_runs_" + std::to_string(::getpid())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ShmDirectory() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(EnsembleProbeEngineRuns, EachResultDirectoryKeepsExactlyItsOwnRunsOutputs) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  const struct {
    std::string name;
    std::vector<std::string> options;
    std::vector<std::string> environment;
    Kept kept = Kept::kEverything;
    bool failing = false;       // g_2 and g_3 fail, the batch goes on
    bool rerun = false;         // a first run leaves a file the second must not keep
    bool temp_in_shm = false;   // the temporary directory on another file system
  } kRows[] = {
      {"everything", {}, {}},
      {"failed runs keep their outputs", {"--keep-going"},
       {std::string("ENGINE_FAIL_TEXT=") + kSecondLighting}, Kept::kEverything, true},
      {"a rerun replaces them", {}, {}, Kept::kEverything, false, true},
      {"only matches", {"--keep-outputs", "*.csv"}, {}, Kept::kCsv},
      {"none", {"--keep-outputs=none"}, {}, Kept::kStreams},
      {"temporary directory on another file system", {}, {}, Kept::kEverything, false, false,
       true},
  };
  for (const auto& row : kRows) {
    for (const int jobs : {1, 4}) {
      SCOPED_TRACE(row.name + ", --jobs " + std::to_string(jobs));
      ProbeWorkspace ws;
      write_batch(ws);
      const ShmDirectory shm;
      auto environment = row.environment;
      if (row.temp_in_shm) environment.push_back("TMPDIR=" + shm.path().string());
      if (row.rerun) {
        auto first = environment;
        first.push_back("ENGINE_STALE_FILE=stale.txt");
        ASSERT_EQ(simulate(ws, jobs, row.options, first).exit_code, 0);
        ASSERT_TRUE(ws.exists(result_dir("g_0") + "/engine/outputs/stale.txt"));
      }

      const ProgramRun run = simulate(ws, jobs, row.options, environment);

      EXPECT_EQ(run.exit_code, row.failing ? 1 : 0) << run.err;
      for (const auto& model : kModels) {
        SCOPED_TRACE(model);
        const bool succeeded = !row.failing || model == "g_0" || model == "g_1";
        EXPECT_EQ(ws.tree(result_dir(model)), expected_tree(model, row.kept, succeeded));
        expect_own_files(ws, model, row.kept);
        if (!succeeded) continue;
        const auto outcome =
            native_runner::parse_outcome(ws.read(result_dir(model) + "/simulation_outcome.json"));
        ASSERT_TRUE(outcome) << outcome.error().message;
        EXPECT_EQ(outcome->attempts, 1u);
        EXPECT_GE(outcome->duration_s.value_or(-1), 0.0);
      }
      EXPECT_EQ(ws.tree("tmp"), Tree{});
      EXPECT_TRUE(fs::is_empty(shm.path()));
    }
  }
}

// Waits a moment for a process that was ended to be gone.
bool gone(const std::string& pid) {
  for (int tries = 0; tries < 300 && test_support::is_running(pid); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return !test_support::is_running(pid);
}

int count(const std::string& text, const std::string& piece) {
  int found = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++found;
  }
  return found;
}

// A run that hangs (with a child that hangs too) is stopped at its time limit and recorded as
// failed while the others run; a run that fails twice succeeds at its third attempt.
TEST(EnsembleProbeEngineRuns, TimeLimitStopsHungRunsAndRetriesRunFailedOnesAgain) {
  const struct {
    std::string name;
    std::vector<std::string> options;
    std::vector<std::string> environment;
  } kRows[] = {
      {"time limit", {"--timeout", "1", "--keep-going"},
       {std::string("ENGINE_HANG_TEXT=") + kSecondLighting}},
      {"retries", {"--retries=2"}, {"ENGINE_FAIL_TIMES=2"}},
  };
  for (const auto& row : kRows) {
    for (const int jobs : {1, 4}) {
      SCOPED_TRACE(row.name + ", --jobs " + std::to_string(jobs));
      ProbeWorkspace ws;
      write_batch(ws);

      const ProgramRun run = simulate(ws, jobs, row.options, row.environment);

      const std::string log = processing_log(ws);
      const bool timed = row.name == "time limit";
      EXPECT_EQ(run.exit_code, timed ? 1 : 0) << run.err;
      for (const auto& model : kModels) {
        SCOPED_TRACE(model);
        const bool hung = timed && (model == "g_2" || model == "g_3");
        EXPECT_EQ(ws.exists(result_dir(model) + "/simulation_outcome.json"), !hung);
        EXPECT_EQ(ws.read(result_dir(model) + "/engine/stdout.txt"), "stdout of " + model + "\n");
        EXPECT_EQ(count(log, R"("event_type":"SIMULATION_SUCCESS","message":"Simulation )"
                             R"(completed successfully","model_name":")" + model + "\""),
                  hung ? 0 : 1);
        if (hung) {
          std::istringstream pids(ws.read("records/" + model + ".pids"));
          for (std::string pid; pids >> pid;) EXPECT_TRUE(gone(pid)) << pid << " still runs";
          EXPECT_NE(error_log(ws).find(R"("error_message":"Simulation failed: the engine was )"
                                       R"(stopped after 1 s (time limit)\nStdout: stdout of )" +
                                       model),
                    std::string::npos)
              << error_log(ws);
        }
        if (timed) continue;
        const auto outcome =
            native_runner::parse_outcome(ws.read(result_dir(model) + "/simulation_outcome.json"));
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->attempts, 3u);
        for (const char* attempt : {"2 of 3", "3 of 3"}) {
          EXPECT_EQ(count(log, "\"event_type\":\"SIMULATION_RETRY\",\"message\":\"Retrying "
                               "simulation (attempt " + std::string(attempt) +
                                   ") after: Simulation failed. Exit code: Some(5)\","
                                   "\"model_name\":\"" + model + "\""),
                    1);
        }
        for (const char* attempt : {"2 of 3", "3 of 3"}) {
          EXPECT_EQ(count(run.out, "[SIMULATION] Retrying simulation for " + model +
                                       " (attempt " + attempt + ")\n"),
                    1);
        }
      }
      if (!timed) {
        EXPECT_FALSE(ws.exists("out/logs/errors/batch_errors_native_test.jsonl"));
      }
      // The monitor counts a run stopped at its time limit as failed.
      const ProgramRun watched =
          test_support::run_program(ENSEMBLE_WATCH_BINARY, {"--once", "--json", "out"}, ws.root());
      EXPECT_EQ(watched.exit_code, timed ? 1 : 0) << watched.err;
      EXPECT_EQ(nlohmann::json::parse(watched.out)["counts"]["failed"], timed ? 2 : 0);
      EXPECT_EQ(ws.tree("tmp"), Tree{});
    }
  }
}

}  // namespace
}  // namespace probe_e2e
