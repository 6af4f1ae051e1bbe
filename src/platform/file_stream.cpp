// The parts of the streamed file access that the standard library already makes portable.
#include <algorithm>
#include <system_error>

#include "common/utf8.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"

namespace platform {

common::Result<std::vector<std::string>> list_files_below(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  if (contains_nul(dir)) return std::unexpected(nul_in_path_error());
  std::error_code code;
  if (!fs::is_directory(dir, code)) return files;
  fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, code);
  for (const fs::recursive_directory_iterator end; !code && it != end; it.increment(code)) {
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    // The generic form separates folders by '/' on every platform, as patterns are written.
    const auto generic = it->path().lexically_relative(dir).generic_u8string();
    std::string relative = common::to_valid_utf8_lossy(
        std::string_view(reinterpret_cast<const char*>(generic.data()), generic.size()));
    files.push_back(std::move(relative));
  }
  if (code) return std::unexpected(os_error(code));
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace platform
