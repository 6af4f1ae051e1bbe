#include "native_runner/workspace_paths.h"

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace native_runner {
namespace {

namespace fs = std::filesystem;

// workspace/input/configs/file: the configuration file sits three levels below the workspace.
constexpr std::size_t kLevelsAboveConfig = 3;

constexpr std::string_view kBaseParamsSuffix = "input/batch_parameters";

bool is_separator(fs::path::value_type c) {
  return c == static_cast<fs::path::value_type>('/') || c == fs::path::preferred_separator;
}

// The named components after the root. A trailing separator only says "directory" and adds no
// level, so the empty element it produces is dropped.
std::vector<fs::path> removable_components(const fs::path& path) {
  std::vector<fs::path> parts;
  for (const fs::path& part : path.relative_path()) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

fs::path join_base_params(const fs::path& workspace) {
  fs::path::string_type text = workspace.native();
  if (!text.empty() && !is_separator(text.back())) text += fs::path::preferred_separator;
  // The path is built from the whole text at once: libstdc++ 12's path::operator+= with a path
  // that has several components leaves a wrong component list (parent_path() skips a level).
  for (char c : kBaseParamsSuffix) text += static_cast<fs::path::value_type>(c);
  return fs::path(std::move(text));
}

}  // namespace

common::Result<WorkspacePaths> derive_workspace_paths(const std::string& config_path) {
  // Command-line text reaches us as UTF-8 on every platform.
  const fs::path path(std::u8string(config_path.begin(), config_path.end()));
  std::vector<fs::path> parts = removable_components(path);
  if (parts.size() < kLevelsAboveConfig) {
    return common::fail("cannot derive the workspace from configuration path '" + config_path +
                        "': it needs three parent levels (workspace/input/configs/file)");
  }
  parts.resize(parts.size() - kLevelsAboveConfig);
  // The root (drive, leading separator) is kept as written; it is never a removable level.
  fs::path workspace = path.root_path();
  for (const fs::path& part : parts) workspace /= part;
  return WorkspacePaths{workspace, join_base_params(workspace)};
}

}  // namespace native_runner
