#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/option_table.h"

namespace batch_watch {

struct WatchOptions {
  std::string output_dir;
  bool once = false;  // print the current view and exit
  bool json = false;  // print one JSON document and exit (implies once)
  std::optional<std::string> report;  // HTML page to write on exit
  // "--help", "-h" or "--version" anywhere asks only for a description of the program.
  common::ProgramRequest request = common::ProgramRequest::kRun;

  friend bool operator==(const WatchOptions&, const WatchOptions&) = default;
};

// Parses the words after the program name: `[--once] [--json] [--report FILE.html] <output_dir>`
// (options in any order; `--report=FILE` also works). Errors name the offending word.
common::Result<WatchOptions> parse_watch_options(const std::vector<std::string>& words);

// The options of the table that reads the command line, for checks of the help against it.
std::vector<common::OptionRow> watch_option_rows();

// What follows the error line of a refused command line: the usage, one line per option.
std::string watch_usage(std::string_view program);

// What "--help" prints: the usage and the lines of the help and version requests.
std::string watch_help(std::string_view program);

}  // namespace batch_watch
