#include "batch_watch/watch_options.h"

#include <array>
#include <string_view>

namespace batch_watch {
namespace {

using common::OptionRow;
using common::OptionValue;

constexpr std::string_view kOperands = "<output_dir>";

std::string needs_value(const OptionRow& row) {
  return std::string(row.name) + " needs " + std::string(row.expected);
}

common::Result<void> apply_once(WatchOptions& options, const OptionRow&, std::string_view) {
  options.once = true;
  return {};
}

common::Result<void> apply_json(WatchOptions& options, const OptionRow&, std::string_view) {
  options.json = true;
  options.once = true;
  return {};
}

common::Result<void> apply_report(WatchOptions& options, const OptionRow& row,
                                  std::string_view file) {
  if (file.empty()) return common::fail(needs_value(row));
  options.report = std::string(file);
  return {};
}

constexpr std::array<common::Option<WatchOptions>, 3> kOptions{{
    {{"--once", OptionValue::kFlag, "", "print the current view and exit"}, apply_once},
    {{"--json", OptionValue::kFlag, "", "print the current state as one JSON document and exit"},
     apply_json},
    {{"--report", OptionValue::kOne, "FILE.html",
      "also write a self-contained HTML report to FILE.html on exit", "a file name"},
     apply_report},
}};

constexpr common::ScanRules kRules{.placement = common::OptionPlacement::kAnywhere,
                                   .answers_requests = true,
                                   .missing_value = needs_value};

}  // namespace

std::vector<common::OptionRow> watch_option_rows() { return common::rows_of(std::span(kOptions)); }

std::string watch_usage(std::string_view program) {
  return common::usage_text(program, watch_option_rows(), kOperands);
}

std::string watch_help(std::string_view program) {
  return common::help_text(program, watch_option_rows(), kOperands);
}

common::Result<WatchOptions> parse_watch_options(const std::vector<std::string>& words) {
  WatchOptions options;
  const auto scanned = common::scan_options(std::span(kOptions), kRules, words, options);
  if (!scanned) return std::unexpected(scanned.error());
  options.request = scanned->request;
  if (options.request != common::ProgramRequest::kRun) return options;
  const auto& operands = scanned->operands;
  if (operands.size() > 1) {
    return common::fail("more than one output directory: " + operands[0] + " and " + operands[1]);
  }
  if (operands.empty() || operands[0].empty()) return common::fail("missing <output_dir>");
  options.output_dir = operands[0];
  return options;
}

}  // namespace batch_watch
