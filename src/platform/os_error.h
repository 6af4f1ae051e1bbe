#pragma once

#include <string_view>
#include <system_error>

#include "common/error.h"

// The one form of every operating-system error the programs report: the system's description
// followed by its number, e.g. "No such file or directory (os error 2)".
namespace platform {

// For an operating-system error number (errno on POSIX, GetLastError() on Windows).
common::Error os_error(int code);

// For an error code of the standard library: system codes as above, others (std::errc values,
// such as not_enough_memory for a failed allocation) with the library's description.
common::Error os_error(const std::error_code& code);

// The form itself, for a description already in hand.
common::Error os_error(std::string_view description, int code);

}  // namespace platform
