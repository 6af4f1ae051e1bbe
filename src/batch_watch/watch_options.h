#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/error.h"

namespace batch_watch {

struct WatchOptions {
  std::string output_dir;
  bool once = false;  // print the current view and exit
  bool json = false;  // print one JSON document and exit (implies once)
  std::optional<std::string> report;  // HTML page to write on exit
};

// Parses the words after the program name: `[--once] [--json] [--report FILE.html] <output_dir>`
// (options in any order; `--report=FILE` also works). Errors name the offending word.
common::Result<WatchOptions> parse_watch_options(const std::vector<std::string>& words);

}  // namespace batch_watch
