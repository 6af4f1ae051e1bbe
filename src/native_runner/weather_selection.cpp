#include "native_runner/weather_selection.h"

#include <optional>
#include <ostream>

#include "json/json_members.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;
using json_text::Json;

constexpr std::string_view kWeatherDir = "weather_files";

// The group's weather name: the first element of "weather_files", when that is a string.
std::optional<std::string> weather_name(const Json& group) {
  const std::string* name = json_text::find_first_string(group, "weather_files");
  return name == nullptr ? std::nullopt : std::optional<std::string>(*name);
}

fs::path weather_parameter_path(const fs::path& base_params_dir, const std::string& name) {
  return base_params_dir / kWeatherDir / platform::path_from_utf8(name + ".json");
}

fs::path weather_path(const fs::path& base_params_dir, const std::string& weather_file) {
  return base_params_dir / kWeatherDir / platform::path_from_utf8(weather_file);
}

}  // namespace

common::Result<void> announce_weather_file(const Json& group, const fs::path& base_params_dir,
                                           const Files& files, std::ostream& out) {
  const std::optional<std::string> name = weather_name(group);
  if (!name) return {};
  auto document = read_json(files, weather_parameter_path(base_params_dir, *name));
  if (!document) return std::unexpected(document.error());
  const std::string* weather_file = json_text::find_string_member(*document, "weather_file");
  if (weather_file == nullptr) return {};
  const fs::path path = weather_path(base_params_dir, *weather_file);
  if (files.exists(path)) out << "Processed weather file: " << platform::path_text(path) << "\n";
  return {};
}

common::Result<WeatherLookup> resolve_weather_file(const Json& group,
                                                   const fs::path& base_params_dir,
                                                   const Files& files, std::ostream& out) {
  const std::optional<std::string> name = weather_name(group);
  if (!name) return WeatherLookup{};
  const fs::path parameter_path = weather_parameter_path(base_params_dir, *name);
  auto document = read_json(files, parameter_path);
  if (!document) return std::unexpected(document.error());
  const std::string* weather_file = json_text::find_string_member(*document, "weather_file");
  if (weather_file == nullptr) {
    return common::fail("weather parameter file '" + platform::path_text(parameter_path) +
                        "' has no string member \"weather_file\"");
  }
  const fs::path path = weather_path(base_params_dir, *weather_file);
  if (!files.exists(path)) {
    out << "      ERROR: Weather file not found at '" << platform::path_text(path)
        << "'. Skipping this combination.\n";
    return WeatherLookup{WeatherLookup::Kind::Skipped, {}, {}};
  }
  return WeatherLookup{WeatherLookup::Kind::Found, *weather_file, path};
}

}  // namespace native_runner
