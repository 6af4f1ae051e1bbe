// Simulated batches that meet failing engine runs and are killed part-way, run through the built
// ensemble_probe against the scripted stand-in engine.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bin/batch_recovery_e2e_support.h"

namespace probe_e2e {
namespace {

using Runs = std::vector<EngineRun>;
using Models = std::multiset<std::string>;

const Models kAllModels(kRecoveryModels.begin(), kRecoveryModels.end());

// The ways of running the engines: one at a time, and four at once.
const std::vector<std::vector<std::string>> kJobChoices = {{}, {"--jobs", "4"}};

ProgramRun simulate(const ProbeWorkspace& ws, const std::vector<std::string>& options) {
  std::vector<std::string> args = {"--simulation"};
  args.insert(args.end(), options.begin(), options.end());
  args.insert(args.end(), {"ws/input/configs/sim.json", "out"});
  return ws.probe_with_tmp(args);
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string mask_duration(const std::string& text) {
  static const std::regex duration(R"(, in \d+\.\d s\n)");
  return std::regex_replace(text, duration, ", in <T> s\n");
}

// The lines of `text` that contain `fragment`, in order.
std::vector<std::string> lines_containing(const std::string& text, const std::string& fragment) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(fragment) != std::string::npos) found.push_back(line);
  }
  return found;
}

std::string resume_line(const std::string& model) {
  return "RESUME: Skipping simulation for " + model + " (already succeeded with the same inputs)";
}

std::string resume_skip_event(const std::string& model, std::uint64_t index) {
  return event_line("sim", "RESUME_SKIP",
                    "Simulation skipped: an earlier run succeeded with the same inputs", model,
                    index, 6);
}

// The engine starts of the last run, and a fresh log for the next one.
Models take_engine_starts(const ProbeWorkspace& ws) {
  const Models starts = as_multiset(models_with(engine_runs(ws), "start"));
  std::filesystem::remove(ws.root() / kEngineRuns);
  return starts;
}

// The stand-in's two powers, seen through a plain batch: a failing model ends the batch at once,
// and a kill ends the program together with the run in flight.
TEST(BatchRecovery, PlainBatchStopsAtTheFirstFailureOrKill) {
  struct Case {
    std::string name;
    std::string fail_when;
    std::string kill_at;
    int exit_code;
    Runs runs;
  };
  const std::vector<Case> cases = {
      {"failure",
       "\"plan\": \"t2\"\n",
       "",
       1,
       {{"start", "g_0"}, {"ok", "g_0"}, {"start", "g_1"}, {"fail", "g_1"}}},
      {"kill",
       "",
       "3",
       -1,
       {{"start", "g_0"},
        {"ok", "g_0"},
        {"start", "g_1"},
        {"ok", "g_1"},
        {"start", "g_2"},
        {"killed", "g_2"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeWorkspace ws;
    write_recovery_workspace(ws);
    if (!c.fail_when.empty()) ws.file(kEngineFailWhen, c.fail_when);
    if (!c.kill_at.empty()) ws.file(kEngineKillAt, c.kill_at);

    const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/sim.json", "out"});

    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(engine_runs(ws), c.runs);
  }
}

// A failing model ends only its own combination: every other one is simulated, the failures are
// recorded as without the option, and the batch reports them in its summary and status.
TEST(BatchRecovery, KeepGoingSimulatesEveryOtherCombination) {
  for (const auto& jobs : kJobChoices) {
    SCOPED_TRACE(::testing::PrintToString(jobs));
    ProbeWorkspace ws;
    write_recovery_workspace(ws);
    ws.file(kEngineFailWhen, "\"plan\": \"t2\"\n");

    const ProgramRun run = simulate(ws, joined({"--keep-going"}, jobs));

    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "[ensemble_probe] Native batch finished with 2 failed simulation(s)\n");
    EXPECT_TRUE(mask_duration(run.out).ends_with(
        "Batch run complete.\nBatch run statistics:\n[ensemble_probe] Summary: 6 combinations, "
        "6 variants written, 0 skipped, 6 simulated, 2 failed, in <T> s\n"))
        << run.out;
    const Runs runs = engine_runs(ws);
    EXPECT_EQ(as_multiset(models_with(runs, "ok")), (Models{"g_0", "g_2", "g_3", "g_5"}));
    EXPECT_EQ(as_multiset(models_with(runs, "fail")), (Models{"g_1", "g_4"}));
    EXPECT_EQ(models_with_valid_outcome(ws), (std::set<std::string>{"g_0", "g_2", "g_3", "g_5"}));
    const auto failures = lines_containing(error_log(ws), R"("error_code":"SIMULATION_FAILED")");
    Models failed;
    for (const auto& line : failures) {
      for (const auto& model : kRecoveryModels) {
        if (line.find(R"("model_name":")" + model + "\"") != std::string::npos)
          failed.insert(model);
      }
    }
    EXPECT_EQ(failed, (Models{"g_1", "g_4"}));
    EXPECT_TRUE(processing_log(ws).ends_with(batch_complete("sim")));
  }
}

// A second run into the same output directory simulates exactly the combinations whose last
// success was for other inputs, or that never succeeded; the others print one line and log one
// event each.
TEST(BatchRecovery, ResumeRerunsExactlyWhatChangedOrFailed) {
  struct Case {
    std::string name;
    std::string first_fail_when;
    std::function<void(const ProbeWorkspace&)> change;
    std::vector<std::string> second_options;
    Models reruns;
  };
  const auto nothing = [](const ProbeWorkspace&) {};
  const std::vector<Case> cases = {
      {"same inputs", "", nothing, {"--resume"}, {}},
      {"failed combinations are retried",
       "\"plan\": \"t2\"\n",
       nothing,
       {"--resume", "--keep-going"},
       {"g_1", "g_4"}},
      {"changed parameter file",
       "",
       [](const ProbeWorkspace& ws) {
         ws.param("tariff/t3.json", R"({"Tariff": {"plan": "t3", "standing": 2}})");
       },
       {"--resume"},
       {"g_2", "g_5"}},
      {"changed weather contents",
       "",
       [](const ProbeWorkspace& ws) { ws.param("weather_files/site.epw", "weather, revised"); },
       {"--resume"},
       kAllModels},
      {"wrapper now asks for an option",
       "",
       [](const ProbeWorkspace& ws) {
         ws.param("model_wrappers/passthrough.json", R"({"cli_flag": "--heat-balance"})");
       },
       {"--resume"},
       kAllModels},
      {"without the option everything runs", "", nothing, {}, kAllModels},
  };
  for (const auto& jobs : kJobChoices) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name + " " + ::testing::PrintToString(jobs));
      ProbeWorkspace ws;
      write_recovery_workspace(ws);
      if (!c.first_fail_when.empty()) ws.file(kEngineFailWhen, c.first_fail_when);
      simulate(ws, joined({"--keep-going"}, jobs));
      take_engine_starts(ws);
      std::filesystem::remove(ws.root() / kEngineFailWhen);
      c.change(ws);

      const ProgramRun run = simulate(ws, joined(c.second_options, jobs));

      EXPECT_EQ(run.exit_code, 0) << run.err;
      EXPECT_EQ(take_engine_starts(ws), c.reruns);
      EXPECT_EQ(models_with_valid_outcome(ws),
                std::set<std::string>(kAllModels.begin(), kAllModels.end()));
      std::vector<std::string> skip_lines, skip_events;
      for (std::uint64_t i = 0; i < kRecoveryModels.size(); ++i) {
        if (c.reruns.contains(kRecoveryModels[i])) continue;
        skip_lines.push_back(resume_line(kRecoveryModels[i]));
        skip_events.push_back(resume_skip_event(kRecoveryModels[i], i));
      }
      EXPECT_EQ(lines_containing(run.out, "RESUME: "), skip_lines);
      std::vector<std::string> logged;
      for (const auto& line : lines_containing(processing_log(ws), "\"RESUME_SKIP\"")) {
        logged.push_back(line + "\n");
      }
      EXPECT_EQ(logged, skip_events);
    }
  }
}

// Runs killed together with an engine run in flight, each followed by the next: every run after
// the first resumes, none starts a combination that already succeeded with its inputs, and one
// complete run leaves every combination with a record of its own variant.
TEST(BatchRecovery, ResumeAfterKillsSimulatesOnlyWhatHadNotSucceeded) {
  const std::vector<std::vector<int>> kill_sequences = {{1}, {3}, {6}, {2, 2}, {4, 1, 1}};
  for (const auto& jobs : kJobChoices) {
    for (const auto& kills : kill_sequences) {
      SCOPED_TRACE(::testing::PrintToString(kills) + " " + ::testing::PrintToString(jobs));
      ProbeWorkspace ws;
      write_recovery_workspace(ws);
      bool first = true;
      for (int kill_at : kills) {
        const auto succeeded = models_with_valid_outcome(ws);
        ws.file(kEngineKillAt, std::to_string(kill_at));
        const ProgramRun run = simulate(
            ws, joined(first ? std::vector<std::string>{} : std::vector<std::string>{"--resume"},
                       jobs));
        EXPECT_EQ(run.exit_code, -1) << "killed at " << kill_at;
        wait_for_engines(ws);
        const Runs runs = engine_runs(ws);
        const auto killed = models_with(runs, "killed");
        ASSERT_EQ(killed.size(), 1u);
        EXPECT_FALSE(models_with_valid_outcome(ws).contains(killed.front()));
        if (!first) {
          for (const auto& model : models_with(runs, "start")) {
            EXPECT_FALSE(succeeded.contains(model)) << model << " ran again";
          }
        }
        take_engine_starts(ws);
        first = false;
      }
      std::filesystem::remove(ws.root() / kEngineKillAt);
      const auto succeeded = models_with_valid_outcome(ws);

      const ProgramRun run = simulate(ws, joined({"--resume", "--keep-going"}, jobs));

      EXPECT_EQ(run.exit_code, 0) << run.err;
      Models expected;
      for (const auto& model : kRecoveryModels) {
        if (!succeeded.contains(model)) expected.insert(model);
      }
      EXPECT_EQ(take_engine_starts(ws), expected);
      EXPECT_EQ(models_with_valid_outcome(ws),
                std::set<std::string>(kAllModels.begin(), kAllModels.end()));
    }
  }
}

}  // namespace
}  // namespace probe_e2e
