#pragma once

#include <filesystem>
#include <iosfwd>
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

// The machine the engine runs on: where temporary files go and how the shell is found.
struct EngineHost {
  std::filesystem::path temp_directory;  // holds the batch's private directory
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
  // Where "temp_model.json" is created: a directory that only this batch (or this run) uses.
  std::filesystem::path model_directory;
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
// than 0, or was ended by a signal), as opposed to a run that could not be set up or started.
bool is_engine_failure(const common::Error& error);

// Writes the model to the temporary model file, runs the workspace's engine script through the
// shell with the temp model, the weather file, the config name and the option strings, and
// turns the exit status into success or the "Simulation failed. Exit code: ..." error. A stop
// request ends the run with kEngineRunInterrupted; the temporary model file goes either way.
common::Result<void> run_simulation(const SimulationRequest& request,
                                    const EngineServices& services);

}  // namespace native_runner
