#pragma once

#include <string>
#include <string_view>

namespace common {

// The release every program reports; one number, set in the top CMakeLists.txt.
std::string_view program_version();

// "{program} {version}\n", what "--version" prints.
std::string version_line(std::string_view program);

}  // namespace common
