#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "common/error.h"

// Files too large to hold whole, read in pieces. Errors are those of
// file_system.h, the operating system's description and number.
namespace platform {

// Hands the file's bytes to `consume` in pieces of at most `piece_size` bytes, in order, through
// one buffer that is reused (a piece is valid only during its call). Shared for writing and
// deleting on Windows, so a batch that appends to the file meanwhile is not disturbed.
common::Result<void> read_file_in_pieces(const std::filesystem::path& path, std::size_t piece_size,
                                         const std::function<void(std::string_view)>& consume);

}  // namespace platform
