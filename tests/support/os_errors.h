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

// The error of creating a file exclusively where something exists: POSIX EEXIST (17), Windows
// ERROR_FILE_EXISTS (80).
inline std::string existing_file_error() {
#ifdef _WIN32
  return platform::os_error(80).message;
#else
  return platform::os_error(17).message;
#endif
}

// The error for a path holding a NUL character: POSIX says EINVAL (22), Windows
// ERROR_INVALID_NAME (123).
inline std::string invalid_name_error() {
#ifdef _WIN32
  return platform::os_error(123).message;
#else
  return platform::os_error(22).message;
#endif
}

}  // namespace test_support
