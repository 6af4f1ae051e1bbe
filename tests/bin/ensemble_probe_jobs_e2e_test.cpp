// Runs the built ensemble_probe with --jobs against the stand-in engine
// (tests/support/stand_in_engine.sh), which records when each run started and stopped, the words
// it was given and the model it was handed.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"
#include "support/process_alive.h"

namespace probe_e2e {
namespace {

using test_support::is_running;

const char* const kRecords = "records";
const char* const kInterruptedLine =
    "[ensemble_probe] Interrupted: engine runs stopped, temporary files removed\n";

// One engine run as the stand-in recorded it.
struct EngineRun {
  long long start = 0;
  long long stop = -1;  // -1 when the run never reached its end
  std::vector<std::string> pids;
  std::vector<std::string> args;  // $0 first
  std::string model;
};

std::vector<EngineRun> engine_runs(const ProbeWorkspace& ws) {
  std::vector<EngineRun> runs;
  if (!ws.exists(kRecords)) return runs;
  for (const auto& entry : fs::directory_iterator(ws.root() / kRecords)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".txt")) continue;
    EngineRun run;
    std::istringstream lines(ws.read(std::string(kRecords) + "/" + name));
    for (std::string line; std::getline(lines, line);) {
      const auto space = line.find(' ');
      const std::string key = line.substr(0, space);
      const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
      if (key == "start") run.start = std::stoll(value);
      if (key == "stop") run.stop = std::stoll(value);
      if (key == "pid" || key == "child") run.pids.push_back(value);
      if (key == "arg") run.args.push_back(value);
    }
    run.model = ws.read(std::string(kRecords) + "/" + name.substr(0, name.size() - 4) +
                        ".model.json");
    runs.push_back(std::move(run));
  }
  return runs;
}

// The largest number of runs that were going on at the same moment.
int most_at_once(const std::vector<EngineRun>& runs) {
  std::vector<std::pair<long long, int>> edges;
  for (const auto& run : runs) {
    edges.emplace_back(run.start, 1);
    edges.emplace_back(run.stop, -1);
  }
  std::sort(edges.begin(), edges.end());
  int running = 0;
  int most = 0;
  for (const auto& [time, step] : edges) most = std::max(most, running += step);
  return most;
}

// What a run was given, the temporary model's directory left out: sorted, one entry per run.
std::vector<std::string> handed_over(const std::vector<EngineRun>& runs) {
  std::vector<std::string> all;
  for (const auto& run : runs) {
    std::string text;
    for (std::size_t i = 0; i < run.args.size(); ++i) {
      text += (i == 1 ? fs::path(run.args[i]).filename().string() : run.args[i]) + "\n";
    }
    all.push_back(text + run.model);
  }
  std::sort(all.begin(), all.end());
  return all;
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The result directories' JSON files by path; the outcome records' completion times and
// durations are masked.
std::map<std::string, std::string> variant_files(const ProbeWorkspace& ws) {
  static const std::regex run_dependent(R"(("completed_at": "[^"]*"|"duration_s": [0-9.]+))");
  std::map<std::string, std::string> files;
  for (const auto& name : ws.tree("out")) {
    if (name.starts_with("result_") && name.ends_with(".json")) {
      files[name] = std::regex_replace(ws.read("out/" + name), run_dependent, "<run>");
    }
  }
  return files;
}

// Eight combinations: two tariffs by four lighting efficacies (100, 120, 140, 160).
void write_sweep(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  ws.param("lighting/l3.json", R"({"Lighting": {"efficacy": 140}})");
  ws.param("lighting/l4.json", R"({"Lighting": {"efficacy": 160}})");
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.config("sweep.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "tariff": ["t1", "t2"], "lighting": ["l1", "l2", "l3", "l4"]}})");
  ws.engine("stand_in_engine.sh");
}

std::vector<std::string> engine_environment(const ProbeWorkspace& ws, const std::string& sleep) {
  return {"STAND_IN_RECORD_DIR=" + (ws.root() / kRecords).string(), "STAND_IN_SLEEP=" + sleep};
}

// The console block of one engine run: from "[SIMULATION] Starting simulation for" to the
// engine's verdict, which must follow without another run's lines in between.
bool block_is_whole(const std::string& console, const std::string& model) {
  const std::string first = "[SIMULATION] Starting simulation for " + model + "\n";
  const auto begin = console.find(first);
  if (begin == std::string::npos) return false;
  std::istringstream rest(console.substr(begin + first.size()));
  const std::vector<std::string> expected_prefixes = {
      "[NATIVE_RUNNER] Using hybrid approach", "[NATIVE_RUNNER] Weather file: ",
      "[NATIVE_RUNNER] Output path: ", "[NATIVE_RUNNER] Executing: ",
      "[NATIVE_RUNNER] Simulation completed successfully"};
  std::string line;
  for (const auto& prefix : expected_prefixes) {
    if (!std::getline(rest, line) || !line.starts_with(prefix)) return false;
  }
  return true;
}

TEST(EnsembleProbeJobs, OverlapsUpToNRunsAndLeavesTheSameFilesAndRecords) {
  struct Baseline {
    std::map<std::string, std::string> files;
    std::vector<std::string> handed;
    std::vector<std::string> log;
  };
  std::optional<Baseline> baseline;
  for (const int jobs : {1, 2, 4, 8}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    ProbeWorkspace ws;
    write_sweep(ws);
    const ProgramRun run =
        ws.probe_with_tmp({"--simulation", "--jobs", std::to_string(jobs),
                           "ws/input/configs/sweep.json", "out"},
                          "", engine_environment(ws, "0.6"));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto runs = engine_runs(ws);
    ASSERT_EQ(runs.size(), 8u);
    EXPECT_EQ(most_at_once(runs), jobs);
    std::set<std::string> temp_models;
    for (const auto& r : runs) temp_models.insert(r.args.at(1));
    EXPECT_EQ(temp_models.size(), 8u) << "runs shared a temporary model file";
    for (int i = 0; i < 8; ++i) {
      EXPECT_TRUE(block_is_whole(run.out, "g_" + std::to_string(i))) << i << "\n" << run.out;
    }
    EXPECT_EQ(ws.tree("tmp"), Tree{});
    const Baseline current{variant_files(ws), handed_over(runs),
                           sorted_lines(processing_log(ws))};
    EXPECT_EQ(current.files.size(), 16u);  // a variant and an outcome record per combination
    if (!baseline) {
      baseline = current;
      continue;
    }
    EXPECT_EQ(current.files, baseline->files);
    EXPECT_EQ(current.handed, baseline->handed);
    EXPECT_EQ(current.log, baseline->log);
  }
}

// A bad --jobs (or engine run option) value is refused before anything is made, in the words the
// user typed.
TEST(EnsembleProbeJobs, BadValueIsNamedAndNothingIsCreated) {
  const std::string expected =
      " (expected a positive integer up to 1024, or auto)\n";
  const struct {
    std::vector<std::string> words;
    std::string err;
  } kRows[] = {
      {{"--jobs", "0"}, "[ensemble_probe] Invalid value for --jobs: '0'" + expected},
      {{"--jobs=-2", "--simulation"}, "[ensemble_probe] Invalid value for --jobs: '-2'" + expected},
      {{"--simulation", "--jobs", "x"}, "[ensemble_probe] Invalid value for --jobs: 'x'" + expected},
      {{"--jobs="}, "[ensemble_probe] Invalid value for --jobs: ''" + expected},
      // The options of engine runs, likewise.
      {{"--simulation", "--timeout", "0"},
       "[ensemble_probe] Invalid value for --timeout: '0' (expected a positive number of "
       "seconds)\n"},
      {{"--timeout=-1"},
       "[ensemble_probe] Invalid value for --timeout: '-1' (expected a positive number of "
       "seconds)\n"},
      {{"--timeout", "x"},
       "[ensemble_probe] Invalid value for --timeout: 'x' (expected a positive number of "
       "seconds)\n"},
      {{"--retries", "-1"},
       "[ensemble_probe] Invalid value for --retries: '-1' (expected a whole number)\n"},
      {{"--keep-outputs", ""},
       "[ensemble_probe] Invalid value for --keep-outputs: invalid file pattern '': it is empty\n"},
      // And those of a sample.
      {{"--sample", "0"},
       "[ensemble_probe] Invalid value for --sample: '0' (expected a whole number of at least "
       "1)\n"},
      {{"--simulation", "--sample=x"},
       "[ensemble_probe] Invalid value for --sample: 'x' (expected a whole number of at least "
       "1)\n"},
      {{"--sample", "3", "--seed", "-1"},
       "[ensemble_probe] Invalid value for --seed: '-1' (expected a whole number)\n"},
      {{"--sample", "3", "--sample-method", "latin"},
       "[ensemble_probe] Invalid value for --sample-method: 'latin' (expected random or "
       "balanced)\n"},
      {{"--seed", "5"},
       "[ensemble_probe] Invalid value for --seed: '5' (expected only with --sample N)\n"},
      {{"--sample-method=balanced", "--simulation"},
       "[ensemble_probe] Invalid value for --sample-method: 'balanced' (expected only with "
       "--sample N)\n"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.err);
    ProbeWorkspace ws;
    write_sweep(ws);
    std::vector<std::string> words = row.words;
    words.insert(words.end(), {"ws/input/configs/sweep.json", "out"});
    const ProgramRun run = ws.probe_with_tmp(words);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, row.err);
    EXPECT_FALSE(ws.exists("out"));
    EXPECT_EQ(ws.tree("tmp"), Tree{});
  }
}

// JSON-only: the variants are built on N threads, and what the batch says comes out as from a
// sequential run. Two groups; combinations with the missing tariff t4 are skipped.
TEST(EnsembleProbeJobs, JsonOnlyBatchSaysAndWritesTheSameForAnyN) {
  struct Outcome {
    std::string out;
    std::string progress;
    std::string log;
    Tree tree;  // every file written, the error log's absence included
    std::map<std::string, std::string> files;
  };
  std::optional<Outcome> sequential;
  for (const int jobs : {1, 2, 4, 8}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    ProbeWorkspace ws;
    write_sweep(ws);
    ws.config("skips.json", R"({"a": {"base_json": ["house"], "weather_files": ["site"],
      "tariff": ["t1", "t2", "t3", "t4"], "lighting": ["l1", "l2", "l3", "l4"]},
      "b": {"base_json": ["house"], "tariff": ["t2"], "lighting": ["l2", "l1"]}})");
    const ProgramRun run =
        ws.probe({"--jobs", std::to_string(jobs), "ws/input/configs/skips.json", "out"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string out = mask_timestamps(run.out);
    out.replace(out.find(ws.cwd()), ws.cwd().size(), "<cwd>");
    const Outcome current{out,
                          mask_timestamps(ws.read("out/progress_native_test.json")),
                          mask_timestamps(processing_log(ws)), ws.tree("out"),
                          variant_files(ws)};
    EXPECT_EQ(current.files.size(), 14u);
    EXPECT_NE(current.out.find("Parameter file not found at"), std::string::npos);
    if (!sequential) {
      sequential = current;
      continue;
    }
    EXPECT_EQ(current.out, sequential->out);
    EXPECT_EQ(current.progress, sequential->progress);
    EXPECT_EQ(current.log, sequential->log);
    EXPECT_EQ(current.tree, sequential->tree);
    EXPECT_EQ(current.files, sequential->files);
  }
}

// The run on the model with efficacy 120 (combinations 2 and 3) fails. The batch ends as in a
// sequential run: no run starts once the failure is known, the runs in flight finish and are
// recorded, and the first failure is the one reported.
TEST(EnsembleProbeJobs, FailureLetsRunsInFlightFinishAndStartsNoMore) {
  for (const int jobs : {1, 4}) {
    SCOPED_TRACE("--jobs " + std::to_string(jobs));
    ProbeWorkspace ws;
    write_sweep(ws);
    auto environment = engine_environment(ws, "0.4");
    environment.push_back("STAND_IN_FAIL_TEXT=\"efficacy\": 120");
    const ProgramRun run = ws.probe_with_tmp(
        {"--simulation", "--jobs=" + std::to_string(jobs), "ws/input/configs/sweep.json", "out"},
        "", environment);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err,
              "[ensemble_probe] Native batch failed: Simulation failed. Exit code: Some(3)\n"
              "Stdout: stand-in engine finished\n\nStderr: stand-in engine failed on request\n\n");
    const auto runs = engine_runs(ws);
    long long failed_stop = 0;
    std::size_t failures = 0;
    for (const auto& r : runs) {
      EXPECT_NE(r.stop, -1) << "a run in flight was not waited for";
      if (r.model.find("\"efficacy\": 120") != std::string::npos) {
        failed_stop = r.stop;
        ++failures;
      }
    }
    // The sequential run stops at combination 2. A parallel one may start a run in each slot that
    // frees before the failure is known, but never all eight.
    EXPECT_EQ(runs.size(), jobs == 1 ? 3u : std::min<std::size_t>(runs.size(), 7));
    const std::string log = processing_log(ws);
    EXPECT_EQ(log.find("BATCH_COMPLETE"), std::string::npos);
    std::size_t successes = 0;
    for (std::size_t at = 0; (at = log.find("SIMULATION_SUCCESS", at)) != std::string::npos; ++at) {
      ++successes;
    }
    // Every run is recorded; a run may have started before an earlier failure was known.
    EXPECT_EQ(successes + failures, runs.size()) << log;
    EXPECT_GE(failures, 1u);
    if (jobs == 1) {
      EXPECT_EQ(failures, 1u);
    }
    EXPECT_NE(error_log(ws).find("\"error_code\":\"SIMULATION_FAILED\""), std::string::npos);
    EXPECT_GT(failed_stop, 0);
    EXPECT_EQ(ws.tree("tmp"), Tree{});
  }
}

// SIGINT or SIGTERM while runs are in flight: every engine process (and the sleep it started)
// ends, no temporary file stays, every variant file is whole, one line says what happened.
TEST(EnsembleProbeJobs, InterruptEndsEngineRunsAndRemovesTemporaryFiles) {
  const struct {
    int jobs;
    const char* signal;
  } kRows[] = {{1, "INT"}, {4, "INT"}, {4, "TERM"}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(std::string("--jobs ") + std::to_string(row.jobs) + " SIG" + row.signal);
    ProbeWorkspace ws;
    write_sweep(ws);
    const std::string records = (ws.root() / kRecords).string();
    // Waits (at most 30 s, or until the program ends) until `jobs` runs have started their
    // child, then signals the program.
    const std::string script =
        "\"$@\" & probe=$!\n"
        "for tries in $(seq 600); do\n"
        "  [ \"$(cat '" + records + "'/*.txt 2>/dev/null | grep -c '^child')\" -ge " +
        std::to_string(row.jobs) + " ] && break\n"
        "  kill -0 $probe 2>/dev/null || break\n  sleep 0.05\ndone\n"
        "kill -" + row.signal + " $probe\nwait $probe\necho \"exit $?\"\n";
    std::vector<std::string> words{"-c", script, "bash", "/usr/bin/env",
                                   "TMPDIR=" + ws.tmp().string()};
    for (const auto& setting : engine_environment(ws, "30")) words.push_back(setting);
    const std::vector<std::string> probe{kProbe, "--simulation", "--jobs",
                                         std::to_string(row.jobs), "ws/input/configs/sweep.json",
                                         "out"};
    words.insert(words.end(), probe.begin(), probe.end());
    fs::create_directories(ws.tmp());
    const ProgramRun run = test_support::run_program("/bin/bash", words, ws.root());

    EXPECT_TRUE(run.out.ends_with(std::string(kInterruptedLine) + "exit 130\n")) << run.out;
    const auto runs = engine_runs(ws);
    EXPECT_EQ(runs.size(), static_cast<std::size_t>(row.jobs));
    for (const auto& r : runs) {
      EXPECT_EQ(r.stop, -1);
      for (const auto& pid : r.pids) {
        for (int tries = 0; tries < 200 && is_running(pid); ++tries) {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(is_running(pid)) << pid;
      }
    }
    EXPECT_EQ(ws.tree("tmp"), Tree{});
    for (const auto& [name, bytes] : variant_files(ws)) {
      EXPECT_TRUE(nlohmann::json::accept(bytes)) << name << " is not whole";
    }
  }
}

}  // namespace
}  // namespace probe_e2e
