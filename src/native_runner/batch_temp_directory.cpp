#include "native_runner/batch_temp_directory.h"

#include <string>
#include <utility>

namespace native_runner {

BatchTempDirectory::BatchTempDirectory(const Files& files,
                                       common::Result<std::filesystem::path> parent)
    : files_(files), parent_(std::move(parent)) {}

BatchTempDirectory::~BatchTempDirectory() { (void)remove(); }

common::Result<std::filesystem::path> BatchTempDirectory::path() {
  const std::lock_guard lock(mutex_);
  if (!path_) {
    if (!parent_) return std::unexpected(parent_.error());
    auto created = files_.create_private_directory(*parent_, kPrefix);
    if (!created) return std::unexpected(created.error());
    path_ = std::move(*created);
  }
  return *path_;
}

common::Result<std::filesystem::path> BatchTempDirectory::run_directory() {
  auto batch = path();
  if (!batch) return batch;
  std::uint64_t number = 0;
  {
    const std::lock_guard lock(mutex_);
    number = ++runs_;
  }
  const std::filesystem::path made = *batch / ("run-" + std::to_string(number));
  if (auto created = files_.create_directories(made); !created) {
    return std::unexpected(created.error());
  }
  return made;
}

common::Result<void> BatchTempDirectory::remove() {
  const std::lock_guard lock(mutex_);
  if (!path_) return {};
  auto removed = files_.remove_tree(*path_);
  if (removed) path_.reset();
  return removed;
}

}  // namespace native_runner
