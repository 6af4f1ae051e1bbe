#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>

#include "common/error.h"
#include "native_runner/files.h"

namespace native_runner {

// The batch's own directory under the temporary directory, where the engine's model file lives.
// The temporary directory is shared (world-writable on POSIX, shared by every batch of the user on
// Windows); a fixed file name there lets two batches hand each other's models to the engine, and
// lets another account plant a link under that name. A fresh directory that only this batch
// created, and only its user can enter, rules out both.
//
// Every engine run gets its own directory inside this one (run_directory()), so removing it still
// leaves nothing behind.
class BatchTempDirectory {
 public:
  static constexpr std::string_view kPrefix = "ensemble_probe-";

  // Nothing is created until path() is first called: JSON-only batches leave no trace. A parent
  // that could not be had fails every path() with its error.
  BatchTempDirectory(const Files& files, common::Result<std::filesystem::path> parent);
  // Removes the directory and everything in it; see remove().
  ~BatchTempDirectory();
  BatchTempDirectory(const BatchTempDirectory&) = delete;
  BatchTempDirectory& operator=(const BatchTempDirectory&) = delete;

  // The directory, created under the parent at the first call as kPrefix and a random suffix.
  // A failed creation is returned (the system's error text) and tried again at the next call.
  // Safe to call from several threads.
  common::Result<std::filesystem::path> path();

  // A new directory inside path() for one engine run, "run-1", "run-2", ... in the order asked
  // for. Inside a directory that only this batch can enter, the names need no randomness and the
  // directories no access rules of their own, so what the engine leaves there can be moved out
  // as it is. Safe to call from several threads.
  common::Result<std::filesystem::path> run_directory();

  // Removes the directory with everything in it, when it was created; a later path() creates a
  // new one. The destructor calls it and ignores a failure, so a batch that ends on any path
  // (completed, failed, an exception, an interruption that returns through the driver) leaves
  // nothing behind; call it directly where the failure should be reported.
  common::Result<void> remove();

 private:
  const Files& files_;
  common::Result<std::filesystem::path> parent_;
  std::optional<std::filesystem::path> path_;
  std::uint64_t runs_ = 0;
  std::mutex mutex_;
};

}  // namespace native_runner
