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

std::filesystem::path temp_directory() {
  std::error_code code;
  auto path = std::filesystem::temp_directory_path(code);
  if (code) return std::filesystem::path(".");
  return path;
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
