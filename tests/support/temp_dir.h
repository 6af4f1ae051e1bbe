#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// A fresh directory under the system's temp directory, removed with everything in it when the
// object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return root_; }

  // Writes `contents` to `relative` below the root, creating parent directories; returns the
  // full path.
  std::filesystem::path write(const std::filesystem::path& relative, std::string_view contents) const;

  // Reads a file below the root (or an absolute path) whole; fails the test when it is missing.
  std::string read(const std::filesystem::path& relative) const;

  // Names of the files anywhere below the root whose name contains `fragment`, e.g. the
  // temporaries a failed replacement would leave behind (".tmp-").
  std::vector<std::string> file_names_containing(std::string_view fragment) const;

 private:
  std::filesystem::path root_;
};

}  // namespace test_support
