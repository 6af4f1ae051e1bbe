#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// The path named by UTF-8 text (a command-line word, a name read from JSON). Use it instead of
// constructing a path from std::string: on Windows that conversion goes through the C runtime's
// code page and garbles every non-ASCII character. On POSIX the bytes are taken unchanged.
std::filesystem::path utf8_path(std::string_view text);

}  // namespace platform
