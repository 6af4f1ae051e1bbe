#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "native_runner/batch_config.h"
#include "native_runner/cli_flags.h"
#include "native_runner/files.h"

namespace native_runner {

// The wrapper a combination runs through and the engine options it asks for.
struct WrapperChoice {
  std::string wrapper;
  CliFlags flags;
};

// The combination's value for the "model_wrappers" parameter key, else "passthrough".
std::string wrapper_name(const std::vector<ParameterList>& parameters,
                         const std::vector<std::string_view>& combination_values);

// What one simulation's wrapper is looked up for.
struct WrapperQuery {
  std::filesystem::path base_params_dir;
  std::string wrapper;                 // see wrapper_name
  std::string_view model_name;         // "{group}_{index}", named in the "Running" line
  std::string_view weather_file_name;  // named in the "Running" line
};

// Reads the wrapper's "cli_flag" from model_wrappers/{wrapper}.json and prints the
// "Running simulation for " line with any warnings. A wrapper file that exists but cannot be
// read or parsed is returned as the error.
common::Result<WrapperChoice> resolve_wrapper_flags(const WrapperQuery& query, const Files& files,
                                                    std::ostream& out);

}  // namespace native_runner
