#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "native_runner/files.h"

namespace test_support {

// A whole file tree in memory that behaves like the real one where the batch can tell: writing
// into a missing folder, reading a missing file or a folder, and making a folder where a file is
// fail with the operating system's own texts. Paths are compared lexically, so "a/./b" and
// "a/b/" name "a/b". Starts with the root folder only.
class MemoryFiles final : public native_runner::Files {
 public:
  bool exists(const std::filesystem::path& path) const override;
  // The size and a hash of the bytes: any change of a file changes its stamp.
  std::optional<platform::FileStamp> stamp(const std::filesystem::path& path) const override;
  common::Result<std::string> read(const std::filesystem::path& path) const override;
  common::Result<void> write(const std::filesystem::path& path,
                             std::string_view contents) const override;
  common::Result<void> replace(const std::filesystem::path& path,
                               std::string_view contents) const override;
  common::Result<void> append(const std::filesystem::path& path,
                              std::string_view contents) const override;
  common::Result<void> create_directories(const std::filesystem::path& path) const override;
  common::Result<void> remove(const std::filesystem::path& path) const override;
  common::Result<void> create_new(const std::filesystem::path& path,
                                  std::string_view contents) const override;
  // Names the directories prefix + "1", prefix + "2", ... in the order they are made.
  common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const override;
  common::Result<void> remove_tree(const std::filesystem::path& path) const override;
  // A rename: the whole tree goes at once, whichever folders the paths are in.
  common::Result<void> move_tree(const std::filesystem::path& from,
                                 const std::filesystem::path& to) const override;
  // Sorted.
  common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const override;

  // Test set-up and inspection: put creates the parent folders; text of a missing file is "".
  void put(const std::filesystem::path& path, std::string_view contents) const;
  std::string text(const std::filesystem::path& path) const;
  bool is_file(const std::filesystem::path& path) const;
  // Every file's path, sorted, for asserting that nothing else was written.
  std::vector<std::string> file_paths() const;
  // Back to the root folder alone.
  void clear() const;

 private:
  static std::string key(const std::filesystem::path& path);
  bool is_directory_locked(const std::string& key) const;
  common::Result<void> check_parent_locked(const std::string& key) const;

  mutable std::mutex mutex_;
  mutable std::map<std::string, std::string> files_;
  mutable std::set<std::string> directories_;
  mutable unsigned private_directories_ = 0;
};

}  // namespace test_support
