#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "native_runner/files.h"

namespace test_support {

// Passes every call to another Files and, right after the Nth successful replace (counting
// from 1), runs `edit`: someone changing an input while the batch is between two combinations.
class EditingFiles final : public native_runner::Files {
 public:
  EditingFiles(const native_runner::Files& inner, std::size_t after_replace,
               std::function<void()> edit)
      : inner_(inner), after_replace_(after_replace), edit_(std::move(edit)) {}

  bool exists(const std::filesystem::path& path) const override { return inner_.exists(path); }
  std::optional<platform::FileStamp> stamp(const std::filesystem::path& path) const override {
    return inner_.stamp(path);
  }
  common::Result<std::string> read(const std::filesystem::path& path) const override {
    return inner_.read(path);
  }
  common::Result<void> write(const std::filesystem::path& path,
                             std::string_view contents) const override {
    return inner_.write(path, contents);
  }
  common::Result<void> replace(const std::filesystem::path& path,
                               std::string_view contents) const override {
    auto replaced = inner_.replace(path, contents);
    if (replaced && ++replaces_ == after_replace_) edit_();
    return replaced;
  }
  common::Result<void> append(const std::filesystem::path& path,
                              std::string_view contents) const override {
    return inner_.append(path, contents);
  }
  common::Result<void> create_directories(const std::filesystem::path& path) const override {
    return inner_.create_directories(path);
  }
  common::Result<void> remove(const std::filesystem::path& path) const override {
    return inner_.remove(path);
  }
  common::Result<void> create_new(const std::filesystem::path& path,
                                  std::string_view contents) const override {
    return inner_.create_new(path, contents);
  }
  common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const override {
    return inner_.create_private_directory(parent, prefix);
  }
  common::Result<void> remove_tree(const std::filesystem::path& path) const override {
    return inner_.remove_tree(path);
  }
  common::Result<void> move_tree(const std::filesystem::path& from,
                                 const std::filesystem::path& to) const override {
    return inner_.move_tree(from, to);
  }
  common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const override {
    return inner_.files_below(directory);
  }

 private:
  const native_runner::Files& inner_;
  const std::size_t after_replace_;
  std::function<void()> edit_;
  mutable std::size_t replaces_ = 0;
};

}  // namespace test_support
