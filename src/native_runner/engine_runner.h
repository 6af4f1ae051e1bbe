#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/cli_flags.h"
#include "native_runner/files.h"
#include "native_runner/process_runner.h"
#include "native_runner/shell_discovery.h"

namespace native_runner {

// Removes the Windows verbatim prefix \\?\ from the start, as often as it repeats there.
std::string strip_verbatim_prefix(std::string_view path_text);

// The name of the model file the engine is handed, in a directory of its run's own.
inline constexpr std::string_view kModelFileName = "temp_model.json";

// The machine the engine runs on: where temporary files go and how the shell is found.
struct EngineHost {
  // Holds the batch's private directory; the error says why there is none to be had.
  common::Result<std::filesystem::path> temp_directory;
  ShellSearch shell_search;
};

EngineHost default_engine_host();

// One engine run.
struct SimulationRequest {
  const json_text::Json& model;
  std::string_view output_path;   // printed only; the engine chooses its own output place
  std::string_view weather_file;
  CliFlags flags;
  std::filesystem::path workspace;
  std::string_view config_name;
  // Makes the directory that "temp_model.json" is created in, one that only this run uses, when
  // the model file is about to be written; its failure is the model file's.
  std::function<common::Result<std::filesystem::path>()> model_directory = {};
  // What the engine is told about the combination: ENSEMBLE_MODEL_NAME and ENSEMBLE_RESULT_DIR
  // (an absolute path) in its environment, beside WORKSPACE.
  std::string_view model_name = {};
  std::string_view result_dir = {};
  // The run is ended, with everything it started, once it has gone on this long.
  std::optional<std::chrono::milliseconds> time_limit = {};
};

// What a run that the engine ended with a verdict leaves.
struct EngineOutcome {
  std::string standard_output;
  std::string standard_error;
  // Success, or the engine's failure on its model (see is_engine_failure).
  common::Result<void> verdict;
};

// What the engine runner touches outside itself.
struct EngineServices {
  std::ostream& out;  // console lines
  const Files& files;
  const ProcessRunner& processes;
  const EngineHost& host;
  // An interrupt: the engine is ended with everything it started.
  std::stop_token stop{};
};

// The error of a run that a stop request ended.
inline constexpr std::string_view kEngineRunInterrupted = "Engine run interrupted";

// True when `error` is the engine's verdict on its model (it ran and exited with another status
// than 0, was ended by a signal, or was stopped at its time limit), as opposed to a run that
// could not be set up or started.
bool is_engine_failure(const common::Error& error);

// Seconds as the time-limit message writes them: the shortest decimal text, "1", "0.25".
std::string seconds_text(std::chrono::milliseconds duration);

// Writes the model to the temporary model file, runs the workspace's engine script through the
// shell with the temp model, the weather file, the config name and the option strings, and
// turns the exit status into the verdict: success, "Simulation failed. Exit code: ..." or
// "the engine was stopped after {S} s (time limit)", each failure followed by both streams.
// Fails when the run could not be set up or started, and with kEngineRunInterrupted when a stop
// request ended it. The temporary model file goes once the engine has run.
common::Result<EngineOutcome> run_simulation(const SimulationRequest& request,
                                             const EngineServices& services);

}  // namespace native_runner
