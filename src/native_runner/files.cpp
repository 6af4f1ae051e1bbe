#include "native_runner/files.h"

#include "json/json_file.h"
#include "platform/file_system.h"
#include "platform/private_directory.h"

namespace native_runner {
namespace {

class SystemFiles final : public Files {
 public:
  bool exists(const std::filesystem::path& path) const override { return platform::exists(path); }
  std::optional<platform::FileStamp> stamp(const std::filesystem::path& path) const override {
    return platform::file_stamp(path);
  }
  common::Result<std::string> read(const std::filesystem::path& path) const override {
    return platform::read_file(path);
  }
  common::Result<void> write(const std::filesystem::path& path,
                             std::string_view contents) const override {
    return platform::write_file(path, contents);
  }
  common::Result<void> replace(const std::filesystem::path& path,
                               std::string_view contents) const override {
    return platform::replace_file(path, contents);
  }
  common::Result<void> append(const std::filesystem::path& path,
                              std::string_view contents) const override {
    return platform::append_to_file(path, contents);
  }
  common::Result<void> create_directories(const std::filesystem::path& path) const override {
    return platform::create_directories(path);
  }
  common::Result<void> remove(const std::filesystem::path& path) const override {
    return platform::remove_file(path);
  }
  common::Result<void> create_new(const std::filesystem::path& path,
                                  std::string_view contents) const override {
    return platform::create_new_file(path, contents);
  }
  common::Result<std::filesystem::path> create_private_directory(
      const std::filesystem::path& parent, std::string_view prefix) const override {
    return platform::create_private_directory(parent, prefix);
  }
  common::Result<void> remove_tree(const std::filesystem::path& path) const override {
    return platform::remove_directory_tree(path);
  }
  common::Result<void> move_tree(const std::filesystem::path& from,
                                 const std::filesystem::path& to) const override {
    return platform::move_tree(from, to);
  }
  common::Result<std::vector<std::string>> files_below(
      const std::filesystem::path& directory) const override {
    return platform::files_below(directory);
  }
};

}  // namespace

std::optional<platform::FileStamp> Files::stamp(const std::filesystem::path&) const {
  return std::nullopt;
}

const Files& system_files() {
  static const SystemFiles files;
  return files;
}

common::Result<json_text::Json> read_json(const Files& files, const std::filesystem::path& path) {
  const auto bytes = files.read(path);
  if (!bytes) return std::unexpected(bytes.error());
  return json_text::parse_json_file_text(*bytes);
}

}  // namespace native_runner
