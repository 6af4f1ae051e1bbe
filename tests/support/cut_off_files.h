#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>

#include "common/error.h"
#include "native_runner/files.h"

namespace test_support {

// A program killed part-way, as its files see it: every call from the Kth on (counting from 1,
// across all kinds, `exists` included) fails and changes nothing, and at the Kth the stop source
// is told, so that no further combination or engine run starts. Whatever was written before
// stays, whole: the inner store's replace is all or nothing, like a rename.
class CutOffFiles final : public native_runner::Files {
 public:
  CutOffFiles(const native_runner::Files& inner, std::size_t cut_at, std::stop_source stop)
      : inner_(inner), cut_at_(cut_at), stop_(std::move(stop)) {}

  // Counts one more call; true once the cut has come. Also used for the engine runs.
  bool cut() const {
    const std::size_t call = ++calls_;
    if (call == cut_at_) stop_.request_stop();
    return call >= cut_at_;
  }
  std::size_t calls() const { return calls_; }

  bool exists(const std::filesystem::path& path) const override {
    return !cut() && inner_.exists(path);
  }
  common::Result<std::string> read(const std::filesystem::path& path) const override {
    if (cut()) return killed();
    return inner_.read(path);
  }
  common::Result<void> write(const std::filesystem::path& path,
                             std::string_view contents) const override {
    if (cut()) return killed();
    return inner_.write(path, contents);
  }
  common::Result<void> replace(const std::filesystem::path& path,
                               std::string_view contents) const override {
    if (cut()) return killed();
    return inner_.replace(path, contents);
  }
  common::Result<void> append(const std::filesystem::path& path,
                              std::string_view contents) const override {
    if (cut()) return killed();
    return inner_.append(path, contents);
  }
  common::Result<void> create_directories(const std::filesystem::path& path) const override {
    if (cut()) return killed();
    return inner_.create_directories(path);
  }
  common::Result<void> remove(const std::filesystem::path& path) const override {
    if (cut()) return killed();
    return inner_.remove(path);
  }
  common::Result<void> create_new(const std::filesystem::path& path,
                                  std::string_view contents) const override {
    if (cut()) return killed();
    return inner_.create_new(path, contents);
  }
  common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const override {
    if (cut()) return killed();
    return inner_.create_private_directory(parent, prefix);
  }
  common::Result<void> remove_tree(const std::filesystem::path& path) const override {
    if (cut()) return killed();
    return inner_.remove_tree(path);
  }
  common::Result<void> move_tree(const std::filesystem::path& from,
                                 const std::filesystem::path& to) const override {
    if (cut()) return killed();
    return inner_.move_tree(from, to);
  }
  common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const override {
    if (cut()) return killed();
    return inner_.files_below(directory);
  }

 private:
  static std::unexpected<common::Error> killed() { return common::fail("killed"); }

  const native_runner::Files& inner_;
  const std::size_t cut_at_;
  std::stop_source stop_;
  mutable std::atomic<std::size_t> calls_{0};
};

}  // namespace test_support
