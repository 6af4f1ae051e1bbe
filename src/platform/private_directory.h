#pragma once

#include <filesystem>
#include <string_view>

#include "common/error.h"

namespace platform {

// Creates a new directory under `parent` whose name is `prefix` followed by a random suffix, that
// only the current user can enter, and returns its path. A directory that already exists is never
// taken over: other users (or another batch) may have created it to see or swap our files. POSIX
// gives it mode 0700; on Windows it inherits the access rules of the user's temporary directory.
common::Result<std::filesystem::path> create_private_directory(const std::filesystem::path& parent,
                                                               std::string_view prefix);

}  // namespace platform
