#include "support/memory_files.h"

#include <cstdint>
#include <functional>
#include <optional>

#include "support/os_errors.h"

namespace test_support {
namespace {

constexpr int kFileExists = 17;
constexpr int kNotADirectory = 20;
constexpr int kIsADirectory = 21;

common::Error error_text(const std::string& message) { return common::Error(message); }

}  // namespace

std::string MemoryFiles::key(const std::filesystem::path& path) {
  std::filesystem::path normal = path.lexically_normal();
  if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
  return normal.generic_string();
}

bool MemoryFiles::is_directory_locked(const std::string& key) const {
  const std::string root = std::filesystem::path(key).root_path().generic_string();
  return key.empty() || key == "." || key == root || directories_.contains(key);
}

common::Result<void> MemoryFiles::check_parent_locked(const std::string& key) const {
  const std::string parent = std::filesystem::path(key).parent_path().generic_string();
  if (is_directory_locked(parent)) return {};
  return std::unexpected(error_text(missing_folder_error()));
}

bool MemoryFiles::exists(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  return files_.contains(name) || is_directory_locked(name);
}

std::optional<platform::FileStamp> MemoryFiles::stamp(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const auto found = files_.find(key(path));
  if (found == files_.end()) return std::nullopt;
  return platform::FileStamp{found->second.size(),
                             static_cast<std::int64_t>(std::hash<std::string>{}(found->second)),
                             0,
                             {}};
}

common::Result<std::string> MemoryFiles::read(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  if (is_directory_locked(name)) return std::unexpected(platform::os_error(kIsADirectory));
  const auto found = files_.find(name);
  if (found != files_.end()) return found->second;
  if (auto parent = check_parent_locked(name); !parent) return std::unexpected(parent.error());
  return std::unexpected(error_text(missing_file_error()));
}

common::Result<void> MemoryFiles::write(const std::filesystem::path& path,
                                        std::string_view contents) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  if (is_directory_locked(name)) return std::unexpected(platform::os_error(kIsADirectory));
  if (auto parent = check_parent_locked(name); !parent) return parent;
  files_[name] = std::string(contents);
  return {};
}

common::Result<void> MemoryFiles::replace(const std::filesystem::path& path,
                                          std::string_view contents) const {
  return write(path, contents);
}

common::Result<void> MemoryFiles::append(const std::filesystem::path& path,
                                         std::string_view contents) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  if (is_directory_locked(name)) return std::unexpected(platform::os_error(kIsADirectory));
  if (auto parent = check_parent_locked(name); !parent) return parent;
  files_[name] += contents;
  return {};
}

common::Result<void> MemoryFiles::create_directories(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const std::string target = key(path);
  std::vector<std::string> missing;
  for (std::filesystem::path at(target); !is_directory_locked(at.generic_string());
       at = at.parent_path()) {
    if (files_.contains(at.generic_string())) {
      // The system's words: the path itself is taken, or something above it is no folder.
      return std::unexpected(
          platform::os_error(at.generic_string() == target ? kFileExists : kNotADirectory));
    }
    missing.push_back(at.generic_string());
  }
  directories_.insert(missing.begin(), missing.end());
  return {};
}

common::Result<void> MemoryFiles::remove(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  if (files_.erase(key(path)) == 0) return std::unexpected(error_text(missing_file_error()));
  return {};
}

common::Result<void> MemoryFiles::create_new(const std::filesystem::path& path,
                                             std::string_view contents) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  if (files_.contains(name) || is_directory_locked(name)) {
    return std::unexpected(platform::os_error(kFileExists));
  }
  if (auto parent = check_parent_locked(name); !parent) return parent;
  files_[name] = std::string(contents);
  return {};
}

common::Result<std::filesystem::path> MemoryFiles::create_private_directory(
    const std::filesystem::path& parent, std::string_view prefix) const {
  std::scoped_lock lock(mutex_);
  if (!is_directory_locked(key(parent))) {
    return std::unexpected(error_text(missing_folder_error()));
  }
  // The caller's own spelling of the parent, as the real one answers.
  const std::filesystem::path made =
      parent / (std::string(prefix) + std::to_string(++private_directories_));
  directories_.insert(key(made));
  return made;
}

common::Result<void> MemoryFiles::remove_tree(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(path);
  const auto inside = [&name](const std::string& entry) {
    return entry == name || entry.starts_with(name + "/");
  };
  std::erase_if(files_, [&](const auto& entry) { return inside(entry.first); });
  std::erase_if(directories_, inside);
  return {};
}

common::Result<void> MemoryFiles::move_tree(const std::filesystem::path& from,
                                            const std::filesystem::path& to) const {
  std::scoped_lock lock(mutex_);
  const std::string source = key(from);
  const std::string target = key(to);
  if (files_.contains(target) || is_directory_locked(target)) {
    return std::unexpected(platform::os_error(kFileExists));
  }
  if (auto parent = check_parent_locked(target); !parent) return parent;
  const auto renamed = [&](const std::string& entry) -> std::optional<std::string> {
    if (entry == source) return target;
    if (entry.starts_with(source + "/")) return target + entry.substr(source.size());
    return std::nullopt;
  };
  if (!files_.contains(source) && !directories_.contains(source)) {
    return std::unexpected(error_text(missing_file_error()));
  }
  std::map<std::string, std::string> files;
  for (auto& [name, contents] : files_) {
    files.emplace(renamed(name).value_or(name), std::move(contents));
  }
  std::set<std::string> directories;
  for (const auto& name : directories_) directories.insert(renamed(name).value_or(name));
  files_ = std::move(files);
  directories_ = std::move(directories);
  return {};
}

common::Result<std::vector<std::string>> MemoryFiles::files_below(
    const std::filesystem::path& directory) const {
  std::scoped_lock lock(mutex_);
  const std::string name = key(directory);
  if (!is_directory_locked(name)) return std::unexpected(error_text(missing_file_error()));
  std::vector<std::string> below;
  for (const auto& [path, contents] : files_) {
    if (path.starts_with(name + "/")) below.push_back(path.substr(name.size() + 1));
  }
  return below;
}

void MemoryFiles::put(const std::filesystem::path& path, std::string_view contents) const {
  (void)create_directories(std::filesystem::path(key(path)).parent_path());
  std::scoped_lock lock(mutex_);
  files_[key(path)] = std::string(contents);
}

std::string MemoryFiles::text(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  const auto found = files_.find(key(path));
  return found == files_.end() ? std::string() : found->second;
}

bool MemoryFiles::is_file(const std::filesystem::path& path) const {
  std::scoped_lock lock(mutex_);
  return files_.contains(key(path));
}

std::vector<std::string> MemoryFiles::file_paths() const {
  std::scoped_lock lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& [name, contents] : files_) paths.push_back(name);
  return paths;
}

void MemoryFiles::clear() const {
  std::scoped_lock lock(mutex_);
  files_.clear();
  directories_.clear();
}

}  // namespace test_support
