#include "study_table/collect_options.h"

#include <array>

namespace study_table {
namespace {

using common::OptionRow;
using common::OptionValue;

constexpr std::string_view kOperands = "<config_path> <output_dir>";

std::string needs_value(const OptionRow& row) {
  return std::string(row.name) + " needs " + std::string(row.expected);
}

// The option's value as one of the settings; the same file given twice, the last counts.
template <std::optional<std::string> CollectOptions::*Member>
common::Result<void> apply_file(CollectOptions& options, const OptionRow& row,
                                std::string_view file) {
  if (file.empty()) return common::fail(needs_value(row));
  options.*Member = std::string(file);
  return {};
}

template <common::Result<void> (*Read)(native_runner::SampleWords&, const OptionRow&,
                                       std::string_view)>
common::Result<void> apply_sample_word(CollectOptions& options, const OptionRow& row,
                                       std::string_view text) {
  return Read(options.sample_words, row, text);
}

constexpr std::array<common::Option<CollectOptions>, 6> kOptions{{
    {{"--metrics", OptionValue::kOne, "FILE",
      "read these metrics from every succeeded run (a JSON file)", "a file name"},
     apply_file<&CollectOptions::metrics>},
    {{"--output", OptionValue::kOne, "FILE.csv",
      "write the table to FILE.csv instead of {output_dir}/study_{config}.csv", "a file name"},
     apply_file<&CollectOptions::output>},
    {{"--report", OptionValue::kOne, "FILE.html",
      "also write a self-contained HTML report with main-effects charts to FILE.html",
      "a file name"},
     apply_file<&CollectOptions::report>},
    {native_runner::kSampleRow, apply_sample_word<native_runner::read_sample_size>},
    {native_runner::kSeedRow, apply_sample_word<native_runner::read_seed>},
    {native_runner::kSampleMethodRow, apply_sample_word<native_runner::read_sample_method>},
}};

constexpr common::ScanRules kRules{.placement = common::OptionPlacement::kAnywhere,
                                   .answers_requests = true,
                                   .missing_value = needs_value};

}  // namespace

std::vector<common::OptionRow> collect_option_rows() {
  return common::rows_of(std::span(kOptions));
}

std::string collect_usage(std::string_view program) {
  return common::usage_text(program, collect_option_rows(), kOperands);
}

std::string collect_help(std::string_view program) {
  return common::help_text(program, collect_option_rows(), kOperands);
}

common::Result<CollectOptions> parse_collect_options(const std::vector<std::string>& words) {
  CollectOptions options;
  const auto scanned = common::scan_options(std::span(kOptions), kRules, words, options);
  if (!scanned) return std::unexpected(scanned.error());
  options.request = scanned->request;
  if (options.request != common::ProgramRequest::kRun) return options;
  auto sample = native_runner::sample_request(options.sample_words);
  if (!sample) return std::unexpected(sample.error());
  options.sample = *sample;
  const auto& operands = scanned->operands;
  if (operands.size() < 2) return common::fail("missing <config_path> or <output_dir>");
  if (operands.size() > 2) return common::fail("unexpected argument: " + operands[2]);
  if (operands[0].empty() || operands[1].empty()) return common::fail("empty path argument");
  options.config_path = operands[0];
  options.output_dir = operands[1];
  return options;
}

}  // namespace study_table
