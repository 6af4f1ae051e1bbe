#include "native_runner/wrapper_choice.h"

#include <optional>
#include <ostream>

#include "json/json_members.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kWrapperDir = "model_wrappers";
constexpr std::string_view kWrapperKey = "model_wrappers";
constexpr std::string_view kDefaultWrapper = "passthrough";

// The wrapper's "cli_flag" when the file exists and holds a non-empty string there.
common::Result<std::optional<std::string>> read_flag_text(const fs::path& wrapper_path,
                                                          const Files& files, std::ostream& out) {
  const std::string shown = platform::path_text(wrapper_path);
  if (!files.exists(wrapper_path)) {
    out << "    WARNING: Wrapper parameter file not found: " << shown
        << ". Defaulting to no CLI flag.\n";
  }
  // Tested again rather than remembered: the file may appear or vanish between the two looks,
  // and each look reports on its own.
  if (!files.exists(wrapper_path)) {
    out << "WARNING: Wrapper parameter file not found: " << shown
        << ". Defaulting to no CLI flag.\n";
    return std::optional<std::string>();
  }
  auto document = read_json(files, wrapper_path);
  if (!document) return std::unexpected(document.error());
  const std::string* flag = json_text::find_string_member(*document, "cli_flag");
  if (flag == nullptr || flag->empty()) return std::optional<std::string>();
  return std::optional<std::string>(*flag);
}

}  // namespace

std::string wrapper_name(const std::vector<ParameterList>& parameters,
                         const std::vector<std::string_view>& combination_values) {
  for (std::size_t i = 0; i < parameters.size() && i < combination_values.size(); ++i) {
    if (parameters[i].key == kWrapperKey) return std::string(combination_values[i]);
  }
  return std::string(kDefaultWrapper);
}

common::Result<WrapperChoice> resolve_wrapper_flags(const WrapperQuery& query, const Files& files,
                                                    std::ostream& out) {
  WrapperChoice choice{query.wrapper, CliFlags{}};
  const fs::path wrapper_path =
      query.base_params_dir / kWrapperDir / platform::path_from_utf8(choice.wrapper + ".json");
  auto flag_text = read_flag_text(wrapper_path, files, out);
  if (!flag_text) return std::unexpected(flag_text.error());

  out << "Running simulation for " << query.model_name
      << " with weather file: " << query.weather_file_name << " and wrapper: " << choice.wrapper;
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
