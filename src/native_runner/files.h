#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "json/json.h"
#include "platform/file_system.h"

namespace native_runner {

// Everything the batch runner does with files. Tests swap in an in-memory store or a wrapper that
// fails a chosen call, so every failure path is reachable without filling a disk. Implementations
// hold no state that a call changes behind the caller's back: the methods are const, and the real
// one may be shared by any number of threads.
class Files {
 public:
  virtual ~Files() = default;

  // True when something exists at `path`; false on any error.
  virtual bool exists(const std::filesystem::path& path) const = 0;
  // What tells whether a file changed without reading it (see platform::FileStamp); none when
  // there is no regular file at `path` or the store cannot tell, and then a reader that keeps
  // parsed files reads it afresh. Stores that do not override this are always read afresh.
  virtual std::optional<platform::FileStamp> stamp(const std::filesystem::path& path) const;
  // The whole file as bytes.
  virtual common::Result<std::string> read(const std::filesystem::path& path) const = 0;
  // Creates or truncates the file and writes in place, for files that watchers poll.
  virtual common::Result<void> write(const std::filesystem::path& path,
                                     std::string_view contents) const = 0;
  // Writes beside the file and renames over it: an existing file survives a failed write.
  virtual common::Result<void> replace(const std::filesystem::path& path,
                                       std::string_view contents) const = 0;
  // Adds `contents` at the end in one call; a write that fails part-way is taken back, so a
  // file of whole lines keeps whole lines.
  virtual common::Result<void> append(const std::filesystem::path& path,
                                      std::string_view contents) const = 0;
  // Creates the directory and its missing parents; an existing directory is success.
  virtual common::Result<void> create_directories(const std::filesystem::path& path) const = 0;
  virtual common::Result<void> remove(const std::filesystem::path& path) const = 0;
  // Creates the file only when nothing is at `path` (never through a link) and writes it: for
  // files in shared places, where a name that is already taken may be someone else's.
  virtual common::Result<void> create_new(const std::filesystem::path& path,
                                          std::string_view contents) const = 0;
  // A new directory under `parent`, named `prefix` and a unique suffix, that only this user can
  // enter; an existing directory is never taken over.
  virtual common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const = 0;
  // Removes the directory with everything in it; a missing one is success.
  virtual common::Result<void> remove_tree(const std::filesystem::path& path) const = 0;
  // Moves a file or a directory with everything in it to `to`, where nothing may be yet, also
  // across file systems and volumes; a failed move leaves nothing at `to`.
  virtual common::Result<void> move_tree(const std::filesystem::path& from,
                                         const std::filesystem::path& to) const = 0;
  // Every file (anything but a directory) below the directory, as a path relative to it with
  // '/' between segments, in no set order.
  virtual common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const = 0;
};

// The operating system's files, through the platform layer. Stateless.
const Files& system_files();

// Reads the file through `files`, checks that it is UTF-8 and parses it; the errors are those of
// json_text::read_json_file.
common::Result<json_text::Json> read_json(const Files& files, const std::filesystem::path& path);

}  // namespace native_runner
