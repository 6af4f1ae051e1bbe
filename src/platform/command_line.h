#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's command-line words as UTF-8, the program path first. On Windows they are read
// from the wide command line, since `argv` there is in the ANSI code page and loses characters.
// On POSIX they are `argv` as given (which need not be valid UTF-8).
std::vector<std::string> command_line_words(int argc, char** argv);

}  // namespace platform
