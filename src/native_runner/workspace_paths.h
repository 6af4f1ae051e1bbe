#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "common/error.h"

namespace native_runner {

// The workspace a batch configuration belongs to and the parameter tree inside it.
struct WorkspacePaths {
  std::filesystem::path workspace;
  std::filesystem::path base_params_dir;
};

// The path with its last `levels` named components taken off, found from the text alone: "." and
// empty names are no level, and what is kept is spelled as in `path`. Nothing when the path has
// fewer named components than that (the root is never one).
std::optional<std::filesystem::path> lexical_ancestor(const std::filesystem::path& path,
                                                      std::size_t levels);

// The workspace is found purely from the text of the configuration path: three levels up from
// workspace/input/configs/file. Nothing is made absolute and the file system is not consulted,
// so a relative configuration path gives a relative (possibly empty) workspace.
common::Result<WorkspacePaths> derive_workspace_paths(const std::string& config_path);

}  // namespace native_runner
