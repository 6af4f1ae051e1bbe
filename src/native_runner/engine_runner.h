#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/batch_temp_directory.h"
#include "native_runner/cli_flags.h"
#include "native_runner/shell_discovery.h"

namespace native_runner {

// Removes the Windows verbatim prefix \\?\ from the start, as often as it repeats there.
std::string strip_verbatim_prefix(std::string_view path_text);

// What run_simulation needs from its surroundings; tests replace the parts.
struct EngineEnvironment {
  std::ostream& out;                   // console lines
  BatchTempDirectory& temp_directory;  // where "temp_model.json" is written
  ShellSearch shell_search;
};

EngineEnvironment default_engine_environment(std::ostream& out, BatchTempDirectory& temp_directory);

// Writes the model to the temporary model file, runs the workspace's engine script through the
// shell with the temp model, the weather file, the config name and the option strings, and
// turns the exit status into success or the "Simulation failed. Exit code: ..." error.
common::Result<void> run_simulation(const json_text::Json& model, std::string_view output_path,
                                    std::string_view weather_file, CliFlags flags,
                                    const std::filesystem::path& workspace,
                                    std::string_view config_name, const EngineEnvironment& env);

}  // namespace native_runner
