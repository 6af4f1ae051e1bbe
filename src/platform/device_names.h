#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The device that `name`, used as a file or folder name or part of a relative path, would open
// instead of a file: on Windows "CON", "PRN", "AUX", "NUL", "COM1".."COM9" and "LPT1".."LPT9",
// in any case, with or without an extension, in any segment of the path. POSIX reserves no
// name, so there the answer is always none.
std::optional<std::string> device_name(std::string_view name);

}  // namespace platform
