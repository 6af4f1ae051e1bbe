#include "support/failing_files.h"

namespace test_support {

bool FailingFiles::strikes(FileCall kind) const {
  if (kind != failure_.call) return false;
  std::scoped_lock lock(mutex_);
  return ++calls_ == failure_.nth;
}

std::size_t FailingFiles::calls() const {
  std::scoped_lock lock(mutex_);
  return calls_;
}

common::Result<std::string> FailingFiles::read(const std::filesystem::path& path) const {
  if (strikes(FileCall::Read)) return common::fail(failure_.error);
  return inner_.read(path);
}

common::Result<void> FailingFiles::write(const std::filesystem::path& path,
                                         std::string_view contents) const {
  if (strikes(FileCall::Write)) return common::fail(failure_.error);
  return inner_.write(path, contents);
}

common::Result<void> FailingFiles::replace(const std::filesystem::path& path,
                                           std::string_view contents) const {
  if (strikes(FileCall::Replace)) return common::fail(failure_.error);
  return inner_.replace(path, contents);
}

common::Result<void> FailingFiles::append(const std::filesystem::path& path,
                                          std::string_view contents) const {
  if (!strikes(FileCall::Append)) return inner_.append(path, contents);
  if (failure_.partial_bytes > 0) {
    const bool existed = inner_.exists(path);
    auto before = existed ? inner_.read(path) : common::Result<std::string>(std::string());
    if (before) {
      (void)inner_.append(path, contents.substr(0, failure_.partial_bytes));
      (void)inner_.write(path, *before);
    }
  }
  return common::fail(failure_.error);
}

common::Result<void> FailingFiles::create_directories(const std::filesystem::path& path) const {
  if (strikes(FileCall::CreateDirectories)) return common::fail(failure_.error);
  return inner_.create_directories(path);
}

common::Result<void> FailingFiles::remove(const std::filesystem::path& path) const {
  if (strikes(FileCall::Remove)) return common::fail(failure_.error);
  return inner_.remove(path);
}

common::Result<void> FailingFiles::create_new(const std::filesystem::path& path,
                                              std::string_view contents) const {
  if (strikes(FileCall::CreateNew)) return common::fail(failure_.error);
  return inner_.create_new(path, contents);
}

common::Result<void> FailingFiles::move_tree(const std::filesystem::path& from,
                                             const std::filesystem::path& to) const {
  if (strikes(FileCall::MoveTree)) return common::fail(failure_.error);
  return inner_.move_tree(from, to);
}

common::Result<std::vector<std::string>> FailingFiles::files_below(
    const std::filesystem::path& directory) const {
  if (strikes(FileCall::FilesBelow)) return common::fail(failure_.error);
  return inner_.files_below(directory);
}

}  // namespace test_support
