#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace study_table {

struct CollectOptions {
  std::optional<std::string> metrics;  // the metrics file
  std::optional<std::string> output;   // the table file, instead of the default
  std::optional<std::string> report;   // the HTML page
  std::string config_path;
  std::string output_dir;
  bool help = false;
  bool version = false;
};

// Parses the words after the program name:
// `[--metrics FILE] [--output FILE.csv] [--report FILE.html] <config_path> <output_dir>`, the
// options in any order before, between or after the paths, each also as `--name=value`; `--help`
// (`-h`) and `--version` alone. Errors name the offending word.
common::Result<CollectOptions> parse_collect_options(const std::vector<std::string>& words);

// The usage line and one line per option, from the same table the parser reads.
std::string collect_usage(std::string_view program);

}  // namespace study_table
