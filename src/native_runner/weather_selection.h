#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/cli_flags.h"

namespace native_runner {

using Json = json_text::Json;

// Where the weather file of a group was looked for, and what was found.
struct WeatherLookup {
  enum class Kind { NotNamed, Skipped, Found };
  Kind kind = Kind::NotNamed;
  std::string weather_file;    // the "weather_file" text of the weather parameter file (Found)
  std::filesystem::path path;  // weather_files/{weather_file} under the base directory (Found)
};

// The wrapper a combination runs through and the engine options it asks for.
struct WrapperChoice {
  std::string wrapper;
  CliFlags flags;
};

// Prints "Processed weather file: {path}" when the group names a weather parameter file whose
// weather file exists. The parameter file itself is read unconditionally, so its absence or a
// parse error is returned.
common::Result<void> announce_weather_file(const Json& group,
                                           const std::filesystem::path& base_params_dir,
                                           std::ostream& out);

// Finds the weather file of the group for a simulation run; a missing weather file prints its
// skip line and answers Skipped.
common::Result<WeatherLookup> resolve_weather_file(const Json& group,
                                                   const std::filesystem::path& base_params_dir,
                                                   std::ostream& out);

// Chooses the combination's wrapper ("passthrough" unless "model_wrappers" is a parameter key),
// reads its "cli_flag" and prints the "Running simulation for " line with any warnings.
common::Result<WrapperChoice> resolve_wrapper_flags(
    const std::vector<std::string>& parameter_keys,
    const std::vector<std::string_view>& combination_values,
    const std::filesystem::path& base_params_dir, std::string_view group_name,
    std::uint64_t combination_index, std::string_view weather_file_name, std::ostream& out);

}  // namespace native_runner
