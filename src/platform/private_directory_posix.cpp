#include <stdlib.h>

#include <cerrno>
#include <string>

#include "platform/file_system.h"
#include "platform/private_directory.h"

namespace platform {

common::Result<std::filesystem::path> create_private_directory(const std::filesystem::path& parent,
                                                               std::string_view prefix) {
  std::string pattern = (parent / std::string(prefix)).native() + "XXXXXX";
  if (contains_nul(std::filesystem::path(pattern))) return std::unexpected(nul_in_path_error());
  // mkdtemp picks an unused name, creates the directory with mode 0700 and fails rather than
  // reuse anything that exists, a planted symbolic link included.
  if (::mkdtemp(pattern.data()) == nullptr) return std::unexpected(os_error(errno));
  return std::filesystem::path(pattern);
}

}  // namespace platform
