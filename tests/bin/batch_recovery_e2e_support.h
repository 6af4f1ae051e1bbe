// Pieces for the tests that interrupt simulated batches and run them again: a stand-in engine
// that fails for chosen models and can kill the program that started it, and readers for what it
// recorded.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"
#include "common/sha256.h"
#include "native_runner/simulation_outcome.h"

namespace probe_e2e {

inline const std::string kScriptedEngine = "ws/src-tauri/resources/run.sh";
inline const std::string kEngineRuns = "ws/src-tauri/resources/engine_runs.txt";
inline const std::string kEngineFailWhen = "ws/src-tauri/resources/fail_when.txt";
inline const std::string kEngineKillAt = "ws/src-tauri/resources/kill_at.txt";

// Logs "start <sha>" for every run (the SHA-256 of the model it was given), counting runs under a
// lock so concurrent runs agree on the count. The run whose number is in kill_at.txt sends
// SIGKILL to the program that started it and then to itself, the way a power cut or an OOM killer
// ends both in the middle of a simulation. A model containing any line of fail_when.txt fails
// with status 5 ("fail <sha>"); any other succeeds ("ok <sha>").
inline const char* const kScriptedEngineText = R"sh(#!/bin/bash
here=$(dirname "$0")
model=$(sha256sum "$1" | cut -d' ' -f1)
exec 9>>"$here/engine.lock"
flock 9
echo "start $model" >> "$here/engine_runs.txt"
runs=$(grep -c '^start ' "$here/engine_runs.txt")
flock -u 9
if [ -f "$here/kill_at.txt" ] && [ "$runs" = "$(cat "$here/kill_at.txt")" ]; then
  echo "killed $model" >> "$here/engine_runs.txt"
  kill -KILL "$PPID"
  kill -KILL $$
fi
if [ -s "$here/fail_when.txt" ] && grep -qF -f "$here/fail_when.txt" "$1"; then
  echo "fail $model" >> "$here/engine_runs.txt"
  echo "stand-in engine: refusing $model" >&2
  exit 5
fi
echo "ok $model" >> "$here/engine_runs.txt"
exit 0
)sh";

// Six combinations g_0..g_5 of lighting (l1, l2) and tariff (t1, t2, t3), lighting turning
// slowest; every variant differs, so its hash names its combination.
inline void write_recovery_workspace(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.file(kScriptedEngine, kScriptedEngineText);
  ws.config("sim.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "lighting": ["l1", "l2"], "tariff": ["t1", "t2", "t3"]}})");
}

inline const std::vector<std::string> kRecoveryModels = {"g_0", "g_1", "g_2", "g_3", "g_4", "g_5"};

// One engine run as the stand-in logged it, with the model named by its variant file.
struct EngineRun {
  std::string what;  // "start", "ok", "fail" or "killed"
  std::string model;

  friend bool operator==(const EngineRun&, const EngineRun&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const EngineRun& run) {
  return out << run.what << " " << run.model;
}

// The engine log with hashes turned back into model names through the result directories'
// variant files (a hash no variant has stays as it is).
inline std::vector<EngineRun> engine_runs(const ProbeWorkspace& ws,
                                          const std::string& config_name = "sim") {
  std::map<std::string, std::string> names;
  for (const auto& model : kRecoveryModels) {
    const std::string variant = "out/result_" + config_name + "_" + model + "/g.json";
    if (ws.exists(variant)) names[common::sha256_hex(ws.read(variant))] = model;
  }
  std::vector<EngineRun> runs;
  if (!ws.exists(kEngineRuns)) return runs;
  std::istringstream lines(ws.read(kEngineRuns));
  std::string what, hash;
  while (lines >> what >> hash) {
    const auto name = names.find(hash);
    runs.push_back({what, name == names.end() ? hash : name->second});
  }
  return runs;
}

// The models whose runs ended with `what`, in log order.
inline std::vector<std::string> models_with(const std::vector<EngineRun>& runs,
                                            const std::string& what) {
  std::vector<std::string> models;
  for (const auto& run : runs) {
    if (run.what == what) models.push_back(run.model);
  }
  return models;
}

// True while a process other than this one works in the workspace: the engine runs a killed
// program left behind inherit its working directory, and so does a child it had started but not
// yet turned into the engine.
inline bool processes_in(const ProbeWorkspace& ws) {
  std::error_code error;
  const auto self = std::to_string(getpid());
  const auto root = std::filesystem::canonical(ws.root(), error);
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self) {
      continue;
    }
    std::error_code gone;
    if (std::filesystem::read_symlink(entry.path() / "cwd", gone) == root) return true;
  }
  return false;
}

// Runs started by a program that was killed carry on as orphans; wait until they are gone and
// every logged start has its end, so a later run's log is not mixed with theirs.
inline void wait_for_engines(const ProbeWorkspace& ws) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    if (processes_in(ws)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (!ws.exists(kEngineRuns)) return;
    const std::string log = ws.read(kEngineRuns);
    std::size_t starts = 0, ends = 0;
    std::istringstream lines(log);
    std::string what, hash;
    while (lines >> what >> hash) (what == "start" ? starts : ends)++;
    if (starts == ends) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ADD_FAILURE() << "engine runs still going after 5 s";
}

// The models whose result directory holds an outcome record that describes its variant file as
// it is now: the record's own fingerprint holds and its variant hash is that of the file.
inline std::set<std::string> models_with_valid_outcome(const ProbeWorkspace& ws,
                                                       const std::string& config_name = "sim") {
  std::set<std::string> models;
  for (const auto& model : kRecoveryModels) {
    const std::string dir = "out/result_" + config_name + "_" + model + "/";
    if (!ws.exists(dir + "simulation_outcome.json") || !ws.exists(dir + "g.json")) continue;
    const auto outcome = native_runner::parse_outcome(ws.read(dir + "simulation_outcome.json"));
    if (outcome && outcome->fingerprint == native_runner::outcome_fingerprint(outcome->inputs) &&
        outcome->inputs.model_name == model &&
        outcome->inputs.variant_sha256 == common::sha256_hex(ws.read(dir + "g.json"))) {
      models.insert(model);
    }
  }
  return models;
}

inline std::multiset<std::string> as_multiset(const std::vector<std::string>& models) {
  return {models.begin(), models.end()};
}

}  // namespace probe_e2e
