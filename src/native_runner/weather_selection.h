#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/files.h"

namespace native_runner {

// Where the weather file of a group was looked for, and what was found.
struct WeatherLookup {
  enum class Kind { NotNamed, Skipped, Found };
  Kind kind = Kind::NotNamed;
  std::string weather_file;    // the "weather_file" text of the weather parameter file (Found)
  std::filesystem::path path;  // weather_files/{weather_file} under the base directory (Found)
};

// Prints "Processed weather file: {path}" when the group names a weather parameter file whose
// weather file exists. The parameter file itself is read unconditionally, so its absence or a
// parse error is returned.
common::Result<void> announce_weather_file(const json_text::Json& group,
                                           const std::filesystem::path& base_params_dir,
                                           const Files& files, std::ostream& out);

// Finds the weather file of the group for a simulation run; a missing weather file prints its
// skip line and answers Skipped.
common::Result<WeatherLookup> resolve_weather_file(const json_text::Json& group,
                                                   const std::filesystem::path& base_params_dir,
                                                   const Files& files, std::ostream& out);

}  // namespace native_runner
