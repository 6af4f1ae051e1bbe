#include "native_runner/weather_selection.h"

#include <optional>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kWeatherDir = "weather_files";
constexpr std::string_view kWrapperDir = "model_wrappers";
constexpr std::string_view kWrapperKey = "model_wrappers";
constexpr std::string_view kDefaultWrapper = "passthrough";

// The group's weather name: the first element of "weather_files", when that is a string.
std::optional<std::string> weather_name(const Json& group) {
  if (!group.is_object()) return std::nullopt;
  const auto it = group.find("weather_files");
  if (it == group.end() || !it->is_array() || it->empty()) return std::nullopt;
  const Json& first = it->front();
  if (!first.is_string()) return std::nullopt;
  return first.get<std::string>();
}

fs::path weather_parameter_path(const fs::path& base_params_dir, const std::string& name) {
  return base_params_dir / kWeatherDir / platform::path_from_utf8(name + ".json");
}

// The "weather_file" member of a weather parameter document, when it is a string.
std::optional<std::string> weather_file_member(const Json& document) {
  if (!document.is_object()) return std::nullopt;
  const auto it = document.find("weather_file");
  if (it == document.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

std::string wrapper_of(const std::vector<std::string>& keys,
                       const std::vector<std::string_view>& values) {
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    if (keys[i] == kWrapperKey) return std::string(values[i]);
  }
  return std::string(kDefaultWrapper);
}

// The wrapper's "cli_flag" when the file exists and holds a non-empty string there.
common::Result<std::optional<std::string>> read_flag_text(const fs::path& wrapper_path,
                                                          std::ostream& out) {
  const std::string shown = platform::path_text(wrapper_path);
  if (!platform::exists(wrapper_path)) {
    out << "    WARNING: Wrapper parameter file not found: " << shown
        << ". Defaulting to no CLI flag.\n";
  }
  // Tested again rather than remembered: the file may appear or vanish between the two looks,
  // and each look reports on its own.
  if (!platform::exists(wrapper_path)) {
    out << "WARNING: Wrapper parameter file not found: " << shown
        << ". Defaulting to no CLI flag.\n";
    return std::optional<std::string>();
  }
  auto document = json_text::read_json_file(wrapper_path);
  if (!document) return std::unexpected(document.error());
  if (document->is_object()) {
    const auto it = document->find("cli_flag");
    if (it != document->end() && it->is_string() && !it->get_ref<const std::string&>().empty()) {
      return std::optional<std::string>(it->get<std::string>());
    }
  }
  return std::optional<std::string>();
}

}  // namespace

common::Result<void> announce_weather_file(const Json& group, const fs::path& base_params_dir,
                                           std::ostream& out) {
  const std::optional<std::string> name = weather_name(group);
  if (!name) return {};
  auto document = json_text::read_json_file(weather_parameter_path(base_params_dir, *name));
  if (!document) return std::unexpected(document.error());
  const std::optional<std::string> weather_file = weather_file_member(*document);
  if (!weather_file) return {};
  const fs::path weather_path =
      base_params_dir / kWeatherDir / platform::path_from_utf8(*weather_file);
  if (platform::exists(weather_path)) {
    out << "Processed weather file: " << platform::path_text(weather_path) << "\n";
  }
  return {};
}

common::Result<WeatherLookup> resolve_weather_file(const Json& group,
                                                   const fs::path& base_params_dir,
                                                   std::ostream& out) {
  const std::optional<std::string> name = weather_name(group);
  if (!name) return WeatherLookup{};
  const fs::path parameter_path = weather_parameter_path(base_params_dir, *name);
  auto document = json_text::read_json_file(parameter_path);
  if (!document) return std::unexpected(document.error());
  const std::optional<std::string> weather_file = weather_file_member(*document);
  if (!weather_file) {
    return common::fail("weather parameter file '" + platform::path_text(parameter_path) +
                        "' has no string member \"weather_file\"");
  }
  const fs::path weather_path =
      base_params_dir / kWeatherDir / platform::path_from_utf8(*weather_file);
  if (!platform::exists(weather_path)) {
    out << "      ERROR: Weather file not found at '" << platform::path_text(weather_path)
        << "'. Skipping this combination.\n";
    return WeatherLookup{WeatherLookup::Kind::Skipped, {}, {}};
  }
  return WeatherLookup{WeatherLookup::Kind::Found, *weather_file, weather_path};
}

common::Result<WrapperChoice> resolve_wrapper_flags(
    const std::vector<std::string>& parameter_keys,
    const std::vector<std::string_view>& combination_values, const fs::path& base_params_dir,
    std::string_view group_name, std::uint64_t combination_index,
    std::string_view weather_file_name, std::ostream& out) {
  WrapperChoice choice{wrapper_of(parameter_keys, combination_values), CliFlags{}};
  const fs::path wrapper_path =
      base_params_dir / kWrapperDir / platform::path_from_utf8(choice.wrapper + ".json");
  auto flag_text = read_flag_text(wrapper_path, out);
  if (!flag_text) return std::unexpected(flag_text.error());

  out << "Running simulation for " << group_name << "_" << combination_index
      << " with weather file: " << weather_file_name << " and wrapper: " << choice.wrapper;
  if (!*flag_text) {
    out << " (no CLI flag)\n";
    return choice;
  }
  const std::string& flag = **flag_text;
  out << " (CLI flag: " << flag << ")\n";
  choice.flags = cli_flag_from_name(flag);
  if (choice.flags.empty()) {
    out << "WARNING: Unknown CLI flag: " << flag << ". Using default flags.\n";
  }
  return choice;
}

}  // namespace native_runner
