// The parts of the file layer that the standard library already makes portable.
#include "platform/file_system.h"

#include <system_error>

#include "common/utf8.h"

namespace platform {

common::Result<void> create_directories(const std::filesystem::path& path) {
  // The empty path names the current directory, which exists; the library refuses it instead.
  if (path.empty()) return {};
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  std::error_code code;
  std::filesystem::create_directories(path, code);
  // Some library versions report success for a path that exists as a file, others "not a
  // directory"; the system's own mkdir says "file exists", and that is the text users see.
  // A file further up the path stays "not a directory", as the system reports it.
  std::error_code probe;
  if ((!code || code == std::errc::not_a_directory) &&
      std::filesystem::exists(std::filesystem::symlink_status(path, probe)) &&
      !std::filesystem::is_directory(path, probe)) {
    return std::unexpected(os_error(std::make_error_code(std::errc::file_exists)));
  }
  if (code) return std::unexpected(os_error(code));
  return {};
}

bool contains_nul(const std::filesystem::path& path) {
  return path.native().find(std::filesystem::path::value_type{}) !=
         std::filesystem::path::string_type::npos;
}

bool exists(const std::filesystem::path& path) {
  if (contains_nul(path)) return false;
  std::error_code code;
  return std::filesystem::exists(path, code);
}

common::Result<std::filesystem::path> current_directory() {
  std::error_code code;
  auto path = std::filesystem::current_path(code);
  if (code) return std::unexpected(os_error(code));
  return path;
}

common::Result<void> remove_directory_tree(const std::filesystem::path& path) {
  if (contains_nul(path)) return std::unexpected(nul_in_path_error());
  std::error_code code;
  std::filesystem::remove_all(path, code);
  if (code) return std::unexpected(os_error(code));
  return {};
}

common::Result<void> copy_tree(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (contains_nul(from) || contains_nul(to)) return std::unexpected(nul_in_path_error());
  std::error_code code;
  if (std::filesystem::exists(std::filesystem::symlink_status(to, code))) {
    return std::unexpected(os_error(std::make_error_code(std::errc::file_exists)));
  }
  std::filesystem::copy(
      from, to,
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks,
      code);
  if (!code) return {};
  std::error_code ignored;
  std::filesystem::remove_all(to, ignored);
  return std::unexpected(os_error(code));
}

common::Result<std::vector<std::string>> files_below(const std::filesystem::path& directory) {
  if (contains_nul(directory)) return std::unexpected(nul_in_path_error());
  std::vector<std::string> files;
  std::error_code code;
  std::filesystem::recursive_directory_iterator entries(directory, code);
  for (const std::filesystem::recursive_directory_iterator end; !code && entries != end;
       entries.increment(code)) {
    // Not followed: a link to a folder is kept as the link the engine made.
    const auto status = entries->symlink_status(code);
    if (code || std::filesystem::is_directory(status)) continue;
    const auto relative = entries->path().lexically_relative(directory).generic_u8string();
    files.push_back(common::to_valid_utf8_lossy(
        std::string_view(reinterpret_cast<const char*>(relative.data()), relative.size())));
  }
  if (code) return std::unexpected(os_error(code));
  return files;
}

common::Result<std::filesystem::path> temp_directory() {
  std::filesystem::path path = named_temp_directory();
  std::error_code code;
  const auto status = std::filesystem::status(path, code);
  if (!code && !std::filesystem::is_directory(status)) {
    code = std::make_error_code(std::errc::not_a_directory);
  }
  if (!code) return path;
  return common::fail("the temporary directory '" + path_text(path) +
                      "' cannot be used: " + os_error(code).message);
}

std::filesystem::path path_from_utf8(std::string_view text) {
  return std::filesystem::path(
      std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string path_text(const std::filesystem::path& path) {
  const auto utf8 = path.u8string();
  return common::to_valid_utf8_lossy(
      std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

}  // namespace platform
