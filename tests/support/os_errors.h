#pragma once

#include <string>

#include "platform/file_system.h"

namespace test_support {

// The error of opening a missing file whose folder exists. POSIX reports ENOENT, Windows
// ERROR_FILE_NOT_FOUND; both happen to be number 2 but the texts differ.
inline std::string missing_file_error() { return platform::os_error(2).message; }

// The error of opening a file in a folder that does not exist. POSIX does not tell this apart
// from a missing file; Windows reports ERROR_PATH_NOT_FOUND (3).
inline std::string missing_folder_error() {
#ifdef _WIN32
  return platform::os_error(3).message;
#else
  return platform::os_error(2).message;
#endif
}

}  // namespace test_support
