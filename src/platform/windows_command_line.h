#pragma once

#include <string>
#include <string_view>
#include <vector>

// Windows hands a child one command-line string that the child splits back into arguments with
// the C runtime's rules. These functions build that string so every argument survives the split
// unchanged. Plain text code, compiled on every platform so it can be tested everywhere.
namespace platform {

// One argument after argv[0]: left as it is when it needs no quoting, otherwise wrapped in double
// quotes with embedded quotes escaped and backslashes doubled where they precede a quote.
std::string quote_windows_argument(std::string_view argument);

// argv[0] is split by simpler rules (no backslash escapes, up to the closing quote), so the
// program path is only wrapped in quotes when it is empty or contains white space.
std::string quote_windows_program(std::string_view program);

// The program followed by each argument, separated by single spaces.
std::string windows_command_line(std::string_view program,
                                 const std::vector<std::string>& arguments);

}  // namespace platform
