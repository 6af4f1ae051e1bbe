#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/option_table.h"
#include "native_runner/combination_sample.h"
#include "native_runner/sample_options.h"

namespace study_table {

struct CollectOptions {
  std::optional<std::string> metrics;  // the metrics file
  std::optional<std::string> output;   // the table file, instead of the default
  std::optional<std::string> report;   // the HTML page
  // --sample, --seed and --sample-method as given, and the sample they ask for: the table lists
  // exactly the combinations a batch given the same words runs.
  native_runner::SampleWords sample_words;
  std::optional<native_runner::SampleRequest> sample;
  std::string config_path;
  std::string output_dir;
  // "--help", "-h" or "--version" anywhere asks only for a description of the program.
  common::ProgramRequest request = common::ProgramRequest::kRun;

  friend bool operator==(const CollectOptions&, const CollectOptions&) = default;
};

// Parses the words after the program name:
// `[--metrics FILE] [--output FILE.csv] [--report FILE.html] [--sample N [--seed S]
// [--sample-method M]] <config_path> <output_dir>`, the
// options anywhere among the paths, each also as `--name=value`. Errors name the offending word.
common::Result<CollectOptions> parse_collect_options(const std::vector<std::string>& words);

// The options of the table that reads the command line, for checks of the help against it.
std::vector<common::OptionRow> collect_option_rows();

// What follows the error line of a refused command line: the usage, one line per option.
std::string collect_usage(std::string_view program);

// What "--help" prints: the usage and the lines of the help and version requests.
std::string collect_help(std::string_view program);

}  // namespace study_table
