// Shared pieces of the tests that run the built ensemble_probe as a process: a workspace laid out
// the way the program expects it, and builders for the exact console, progress and log text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace probe_e2e {

namespace fs = std::filesystem;
using test_support::ProgramRun;

inline const std::string kProbe = ENSEMBLE_PROBE_BINARY;

// Timestamps are the only run-dependent text; they must have the one format of the system.
inline std::string mask_timestamps(const std::string& text) {
  static const std::regex stamp(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)");
  return std::regex_replace(text, stamp, "<TS>");
}

// Each simulation batch keeps the model file in a directory of its own with a random name; the
// tests see that name as "ensemble_probe-<ID>".
inline std::string mask_batch_directory(const std::string& text) {
  static const std::regex name(R"(ensemble_probe-[A-Za-z0-9]{6})");
  return std::regex_replace(text, name, "ensemble_probe-<ID>");
}

// The pretty text of one progress snapshot; model names and statuses used by the tests need no
// escaping.
inline std::string progress_json(std::uint64_t current, std::uint64_t total,
                                 const std::string& percentage, const std::string& model,
                                 const std::string& status) {
  return "{\n  \"job_id\": \"native_test\",\n  \"current_combination\": " +
         std::to_string(current) + ",\n  \"total_combinations\": " + std::to_string(total) +
         ",\n  \"percentage\": " + percentage + ",\n  \"current_model_name\": \"" + model +
         "\",\n  \"status_message\": \"" + status + "\",\n  \"timestamp\": \"<TS>\"\n}";
}

inline std::string progress_lines(const std::string& out_dir, std::uint64_t current,
                                  std::uint64_t total, const std::string& percentage,
                                  const std::string& model, const std::string& status) {
  return "[PROGRESS] Writing progress to: " + out_dir +
         "/progress_native_test.json\n[PROGRESS] Progress data: " +
         progress_json(current, total, percentage, model, status) + "\n";
}

// One compact processing-log line.
inline std::string event_line(const std::string& config_name, const std::string& type,
                              const std::string& message, const std::string& model = "",
                              std::uint64_t index = 0, std::uint64_t total = 0) {
  return R"({"timestamp":"<TS>","job_id":"native_test","config_name":")" + config_name +
         R"(","event_type":")" + type + R"(","message":")" + message + R"(","model_name":")" +
         model + R"(","combination_index":)" + std::to_string(index) + R"(,"total_combinations":)" +
         std::to_string(total) + "}\n";
}

inline std::string batch_start(const std::string& config_name) {
  return event_line(config_name, "BATCH_START", "Native batch processing started");
}
inline std::string batch_complete(const std::string& config_name) {
  return event_line(config_name, "BATCH_COMPLETE", "Native batch processing completed");
}
inline std::string model_start(const std::string& config_name, const std::string& model,
                               std::uint64_t index, std::uint64_t total) {
  return event_line(config_name, "MODEL_START", "Processing model " + model, model, index, total);
}
inline std::string json_only_skip(const std::string& config_name, const std::string& model,
                                  std::uint64_t index, std::uint64_t total) {
  return event_line(config_name, "JSON_ONLY_SKIP", "Simulation skipped in JSON-only mode", model,
                    index, total);
}

// What one run was asked to do, as the program echoes it.
struct Invocation {
  std::string config;  // the configuration path as given
  std::string out;     // the output directory as given
  bool json_only = true;
  std::string workspace;    // as printed
  std::string base_params;  // as printed
  std::string config_name;
  std::string cwd;  // the working directory the program runs in
};

// Everything the program and the driver print before the first group.
inline std::string opening_lines(const Invocation& run) {
  const std::string flag = run.json_only ? "true" : "false";
  return "[ensemble_probe] Called with config: " + run.config + " output_dir: " + run.out +
         " json_only: " + flag + "\n[ensemble_probe] Using workspace: " + run.workspace +
         "\n[ensemble_probe] Using base_params: " + run.base_params +
         "\n[NATIVE_BATCH] Starting native batch with progress\n[NATIVE_BATCH] Config path: " +
         run.config + "\n[NATIVE_BATCH] Base params path: " + run.base_params +
         "\n[NATIVE_BATCH] Output dir: " + run.out +
         "\n[NATIVE_BATCH] Progress output dir: " + run.out +
         "\n[NATIVE_BATCH] Job ID: native_test\n[NATIVE_BATCH] JSON only: " + flag +
         "\n[NATIVE_BATCH] Config name: " + run.config_name +
         "\n[NATIVE_BATCH] Native output dir: " + run.out +
         "\nStarting batch run with config: " + run.config + "\nCurrent working directory: \"" +
         run.cwd + "\"\nChecking if config file exists: " + run.config +
         "\nConfig name extracted: " + run.config_name + "\n";
}

inline std::string closing_lines(bool json_only) {
  return std::string("Batch run complete.\nBatch run statistics:\n") +
         "[ensemble_probe] Native batch completed successfully (" +
         (json_only ? "JSON-only mode" : "simulation mode") + ")\n";
}

// A workspace in a fresh temporary directory: ws/input/configs for configurations,
// ws/input/batch_parameters for everything the batch reads. The program runs with the temporary
// directory as its working directory, so relative paths in arguments start there.
class ProbeWorkspace {
 public:
  const fs::path& root() const { return dir_.path(); }
  std::string cwd() const { return root().string(); }

  void config(const std::string& file_name, const std::string& text) const {
    dir_.write("ws/input/configs/" + file_name, text);
  }
  void param(const std::string& relative, const std::string& text) const {
    dir_.write("ws/input/batch_parameters/" + relative, text);
  }
  void file(const std::string& relative, const std::string& text) const {
    dir_.write(relative, text);
  }
  std::string read(const std::string& relative) const { return dir_.read(relative); }
  // Makes the stand-in engine `stand_in` of tests/support the workspace's engine script.
  void engine(const std::string& stand_in) const {
    std::ifstream source(fs::path(TEST_DATA_DIR).parent_path() / "support" / stand_in,
                         std::ios::binary);
    std::ostringstream text;
    text << source.rdbuf();
    const std::string script = "ws/src-tauri/resources/run.sh";
    dir_.write(script, text.str());
    fs::permissions(root() / script, fs::perms::owner_all, fs::perm_options::add);
  }
  bool exists(const std::string& relative) const { return fs::exists(root() / relative); }

  // Every file and directory below `relative`, as sorted relative paths.
  std::vector<std::string> tree(const std::string& relative) const {
    std::vector<std::string> names;
    const fs::path top = root() / relative;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
      names.push_back(fs::relative(entry.path(), top).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  ProgramRun probe(const std::vector<std::string>& args, const std::string& in = "") const {
    return test_support::run_program(kProbe, args, root() / in);
  }

  // Runs with TMPDIR pointing into the workspace, so the temporary model file has a known path
  // and no other test shares it. `environment` adds further NAME=value settings.
  ProgramRun probe_with_tmp(const std::vector<std::string>& args, const std::string& in = "",
                            const std::vector<std::string>& environment = {}) const {
    fs::create_directories(tmp());
    std::vector<std::string> words{"TMPDIR=" + tmp().string()};
    words.insert(words.end(), environment.begin(), environment.end());
    words.push_back(kProbe);
    words.insert(words.end(), args.begin(), args.end());
    return test_support::run_program("/usr/bin/env", words, root() / in);
  }
  fs::path tmp() const { return root() / "tmp"; }
  // The temporary model file of the batch's `run`th engine run, as masked by
  // mask_batch_directory.
  std::string temp_model(int run = 1) const {
    return (tmp() / "ensemble_probe-<ID>" / ("run-" + std::to_string(run)) / "temp_model.json")
        .string();
  }

 private:
  test_support::TempDir dir_;
};

// The batch log lines of a run, timestamps masked.
inline std::string processing_log(const ProbeWorkspace& ws, const std::string& out = "out") {
  return mask_timestamps(ws.read(out + "/logs/processing/batch_processing_native_test.log"));
}
inline std::string error_log(const ProbeWorkspace& ws, const std::string& out = "out") {
  return mask_timestamps(ws.read(out + "/logs/errors/batch_errors_native_test.jsonl"));
}

using Tree = std::vector<std::string>;

// Members deliberately out of order: the variant lists them sorted.
inline const char* const kHouse = R"({"Zone": {"lounge": {"area": 20.5}}, "Tariff": {"standing": 1,
  "plan": "base"}})";

inline const char* const kHousePretty = R"({
  "Tariff": {
    "plan": "base",
    "standing": 1
  },
  "Zone": {
    "lounge": {
      "area": 20.5
    }
  }
})";

// The house with one lighting and one tariff parameter merged.
inline std::string house_variant(int efficacy, const std::string& plan) {
  return "{\n  \"Lighting\": {\n    \"efficacy\": " + std::to_string(efficacy) +
         "\n  },\n  \"Tariff\": {\n    \"plan\": \"" + plan +
         "\",\n    \"standing\": 1\n  },\n  \"Zone\": {\n    \"lounge\": {\n      \"area\": 20.5\n"
         "    }\n  }\n}";
}

inline void write_house_parameters(const ProbeWorkspace& ws) {
  ws.param("base_json/house.json", kHouse);
  for (const char* plan : {"t1", "t2", "t3"}) {
    ws.param(std::string("tariff/") + plan + ".json",
             std::string(R"({"Tariff": {"plan": ")") + plan + R"("}, "Zone": "ignored"})");
  }
  ws.param("lighting/l1.json", R"({"Lighting": {"efficacy": 100}})");
  ws.param("lighting/l2.json", R"({"Lighting": {"efficacy": 120}})");
}

inline Invocation relative_run(const ProbeWorkspace& ws, const std::string& config_name) {
  return Invocation{"ws/input/configs/" + config_name + ".json",
                    "out",
                    true,
                    "ws",
                    "ws/input/batch_parameters",
                    config_name,
                    ws.cwd()};
}

// Console text of one combination that is built and written in JSON-only mode.
inline std::string written_combination(const std::string& model, std::uint64_t index,
                                       std::uint64_t total, const std::string& percentage,
                                       const std::string& weather_line = "") {
  return progress_lines("out", index + 1, total, percentage, model, "Processing model") +
         weather_line + "JSON-ONLY MODE: Skipping simulation for " + model + "\n";
}

inline std::string group_start(const std::string& group, std::uint64_t total,
                               const std::string& out = "out") {
  return progress_lines(out, 0, total, "0.0", group, "Starting batch processing");
}
inline std::string group_end(const std::string& group, std::uint64_t total,
                             const std::string& out = "out") {
  return progress_lines(out, total, total, "100.0", group, "Group processing completed");
}

}  // namespace probe_e2e
