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

// The named components after the root, each as the place in the text where it ends, so that the
// workspace keeps the spelling the user gave (separators included). Empty names (doubled or
// trailing separators) and "." name no directory level of their own; only a leading "." of a
// path without a root directory counts, as the current directory.
std::vector<std::size_t> removable_components(const fs::path& path) {
  const fs::path::string_type& text = path.native();
  std::size_t position = path.root_name().native().size();
  while (position < text.size() && is_separator(text[position])) ++position;
  const std::size_t body = position;
  std::vector<std::size_t> parts;
  while (position < text.size()) {
    std::size_t end = position;
    while (end < text.size() && !is_separator(text[end])) ++end;
    const bool dot =
        end - position == 1 && text[position] == static_cast<fs::path::value_type>('.');
    const bool leading_dot = dot && position == body && !path.has_root_directory();
    if (end > position && (!dot || leading_dot)) parts.push_back(end);
    position = end + 1;
  }
  return parts;
}

// The text up to the last component kept; with none kept, the root as written (drive and one
// separator), or the empty path.
fs::path kept_text(const fs::path& path, const std::vector<std::size_t>& kept) {
  const fs::path::string_type& text = path.native();
  if (!kept.empty()) return fs::path(text.substr(0, kept.back()));
  std::size_t root = path.root_name().native().size();
  if (path.has_root_directory()) ++root;
  return fs::path(text.substr(0, root));
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

std::optional<fs::path> lexical_ancestor(const fs::path& path, std::size_t levels) {
  std::vector<std::size_t> parts = removable_components(path);
  if (parts.size() < levels) return std::nullopt;
  parts.resize(parts.size() - levels);
  return kept_text(path, parts);
}

common::Result<WorkspacePaths> derive_workspace_paths(const std::string& config_path) {
  // Command-line text reaches us as UTF-8 on every platform.
  const fs::path path(std::u8string(config_path.begin(), config_path.end()));
  auto workspace = lexical_ancestor(path, kLevelsAboveConfig);
  if (!workspace) {
    return common::fail("cannot derive the workspace from configuration path '" + config_path +
                        "': it needs three parent levels (workspace/input/configs/file)");
  }
  return WorkspacePaths{*workspace, join_base_params(*workspace)};
}

}  // namespace native_runner
