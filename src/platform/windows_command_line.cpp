#include "platform/windows_command_line.h"

#include <cstddef>

namespace platform {
namespace {

bool needs_quotes(std::string_view text) {
  return text.empty() || text.find_first_of(" \t\n\v\"") != std::string_view::npos;
}

}  // namespace

std::string quote_windows_argument(std::string_view argument) {
  if (!needs_quotes(argument)) return std::string(argument);
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows them; then each must be escaped, and so
    // must the quote itself.
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // The closing quote follows the trailing backslashes, so they are doubled too.
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string quote_windows_program(std::string_view program) {
  if (!program.empty() && program.find_first_of(" \t") == std::string_view::npos) {
    return std::string(program);
  }
  return "\"" + std::string(program) + "\"";
}

std::string windows_command_line(std::string_view program,
                                 const std::vector<std::string>& arguments) {
  std::string line = quote_windows_program(program);
  for (const std::string& argument : arguments) {
    line += ' ';
    line += quote_windows_argument(argument);
  }
  return line;
}

}  // namespace platform
