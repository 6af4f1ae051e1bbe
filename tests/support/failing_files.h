#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "common/error.h"
#include "native_runner/files.h"

namespace test_support {

// The kinds of call FailingFiles can make fail.
enum class FileCall {
  Read,
  Write,
  Replace,
  Append,
  CreateDirectories,
  Remove,
  CreateNew,
  MoveTree,
  FilesBelow
};

// Passes every call to another Files, except that the Nth call (counting from 1) of one chosen
// kind fails with `error` and changes nothing. With `partial_bytes` set, a failing append first
// adds that many bytes and then takes them back, as the real append does when the disk fills
// part-way through a line.
class FailingFiles final : public native_runner::Files {
 public:
  struct Failure {
    FileCall call;
    std::size_t nth = 1;
    std::string error = "No space left on device";
    std::size_t partial_bytes = 0;
  };

  FailingFiles(const native_runner::Files& inner, Failure failure)
      : inner_(inner), failure_(std::move(failure)) {}

  bool exists(const std::filesystem::path& path) const override { return inner_.exists(path); }
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
  common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const override {
    return inner_.create_private_directory(parent, prefix);
  }
  common::Result<void> remove_tree(const std::filesystem::path& path) const override {
    return inner_.remove_tree(path);
  }
  common::Result<void> move_tree(const std::filesystem::path& from,
                                 const std::filesystem::path& to) const override;
  common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const override;

  // How many calls of the chosen kind have been made so far; a test that expects the failure
  // to have been reached checks that this got to `nth`.
  std::size_t calls() const;

 private:
  // Counts a call of `kind`; true when it is the one to fail.
  bool strikes(FileCall kind) const;

  const native_runner::Files& inner_;
  Failure failure_;
  mutable std::mutex mutex_;
  mutable std::size_t calls_ = 0;
};

}  // namespace test_support
