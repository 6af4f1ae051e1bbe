#include "native_runner/batch_temp_directory.h"

#include <utility>

#include "platform/file_system.h"
#include "platform/private_directory.h"

namespace native_runner {

BatchTempDirectory::BatchTempDirectory(std::filesystem::path parent) : parent_(std::move(parent)) {}

BatchTempDirectory::~BatchTempDirectory() { (void)remove(); }

common::Result<std::filesystem::path> BatchTempDirectory::path() {
  const std::lock_guard lock(mutex_);
  if (!path_) {
    auto created = platform::create_private_directory(parent_, kPrefix);
    if (!created) return std::unexpected(created.error());
    path_ = std::move(*created);
  }
  return *path_;
}

common::Result<void> BatchTempDirectory::remove() {
  const std::lock_guard lock(mutex_);
  if (!path_) return {};
  auto removed = platform::remove_directory_tree(*path_);
  if (removed) path_.reset();
  return removed;
}

}  // namespace native_runner
