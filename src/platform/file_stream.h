#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

// Files too large to hold whole: read in pieces, written in pieces. Errors are those of
// file_system.h, the operating system's description and number.
namespace platform {

// Hands the file's bytes to `consume` in pieces of at most `piece_size` bytes, in order, through
// one buffer that is reused (a piece is valid only during its call). Shared for writing and
// deleting on Windows, so a batch that appends to the file meanwhile is not disturbed.
common::Result<void> read_file_in_pieces(const std::filesystem::path& path,
                                         std::size_t piece_size,
                                         const std::function<void(std::string_view)>& consume);

// The regular files anywhere below `dir`, as paths relative to it with '/' between the folders,
// sorted byte-wise. A missing directory has none; links to directories are not followed.
common::Result<std::vector<std::string>> list_files_below(const std::filesystem::path& dir);

// A file written in pieces under a temporary name beside `path` and renamed over it only when
// whole, so a reader never sees part of it and a failed write leaves the previous file as it
// was. The temporary file is removed unless commit() succeeded.
class FileReplacement {
 public:
  static common::Result<FileReplacement> create(const std::filesystem::path& path);

  FileReplacement(FileReplacement&&) noexcept;
  FileReplacement& operator=(FileReplacement&&) noexcept;
  ~FileReplacement();

  common::Result<void> write(std::string_view bytes);
  // Closes the temporary file and renames it over the target.
  common::Result<void> commit();

  struct State;  // one per platform

 private:
  explicit FileReplacement(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform
