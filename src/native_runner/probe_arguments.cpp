#include "native_runner/probe_arguments.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/whole_number.h"

namespace native_runner {
namespace {

using common::OptionRow;
using common::OptionValue;

constexpr std::string_view kSimulationOption = "--simulation";
constexpr std::string_view kOperands = "<config_path> <output_dir>";

// The help and error lines below spell the limit out.
static_assert(kMaxJobs == 1024);

struct ProbeSettings {
  ProbeArguments arguments = {};
  unsigned hardware_threads = 1;
};

common::Result<void> apply_simulation(ProbeSettings& settings, const OptionRow&, std::string_view) {
  settings.arguments.json_only = false;
  return {};
}

common::Result<void> apply_jobs(ProbeSettings& settings, const OptionRow& row,
                                std::string_view text) {
  if (text == "auto") {
    settings.arguments.jobs = std::max(1u, std::min(settings.hardware_threads, kMaxJobs));
    return {};
  }
  const auto value = common::parse_whole_number(text);
  if (!value || *value == 0 || *value > kMaxJobs) return common::invalid_value(row, text);
  settings.arguments.jobs = static_cast<unsigned>(*value);
  return {};
}

common::Result<void> apply_shard(ProbeSettings& settings, const OptionRow&, std::string_view text) {
  auto shard = parse_shard(text);
  if (!shard) return std::unexpected(shard.error());
  settings.arguments.shard = *shard;
  return {};
}

common::Result<void> apply_keep_going(ProbeSettings& settings, const OptionRow&, std::string_view) {
  settings.arguments.keep_going = true;
  return {};
}

common::Result<void> apply_resume(ProbeSettings& settings, const OptionRow&, std::string_view) {
  settings.arguments.resume = true;
  return {};
}

constexpr std::array<common::Option<ProbeSettings>, 5> kOptions{{
    {{kSimulationOption, OptionValue::kFlag, "", "Run full simulation (default: JSON-only mode)"},
     apply_simulation},
    {{"--jobs", OptionValue::kOne, "N",
      "up to N engine runs (or variant builds) at once; N a positive integer up to 1024, or auto "
      "for the number of hardware threads",
      "a positive integer up to 1024, or auto"},
     apply_jobs},
    {{"--shard", OptionValue::kOne, "K/N",
      "only the combinations whose number in the batch is K modulo N",
      "K/N, two whole numbers with 0 <= K < N"},
     apply_shard},
    {{"--keep-going", OptionValue::kFlag, "",
      "a failed simulation ends only its combination, not the batch"},
     apply_keep_going},
    {{"--resume", OptionValue::kFlag, "",
      "skip the simulations that already succeeded with the same inputs"},
     apply_resume},
}};

// The historical usage shows only the first row.
static_assert(kOptions[0].row.name == kSimulationOption);

// An unknown word ends the options and is taken as the first path, as it always was.
constexpr common::ScanRules kRules{.placement = common::OptionPlacement::kBeforeOperands,
                                   .answers_requests = false};

std::string program_name(std::span<const std::string> words) {
  return words.empty() ? "ensemble_probe" : words[0];
}

common::Error usage(std::span<const std::string> words, bool with_options) {
  const auto rows = probe_option_rows();
  const auto shown = with_options ? std::span(rows) : std::span(rows).first(1);
  return common::Error{common::usage_text(program_name(words), shown, kOperands)};
}

// The historical command line: two arguments, or three with "--simulation" first (any other
// third argument ignored).
common::Result<ProbeArguments> historical(std::span<const std::string> words) {
  if (words.size() != 3 && words.size() != 4) return std::unexpected(usage(words, false));
  if (words.size() == 4 && words[1] == kSimulationOption) {
    return ProbeArguments{words[2], words[3], false, 1};
  }
  return ProbeArguments{words[1], words[2], true, 1};
}

}  // namespace

std::vector<common::OptionRow> probe_option_rows() { return common::rows_of(std::span(kOptions)); }

std::string probe_help(std::string_view program) {
  return common::help_text(program, probe_option_rows(), kOperands);
}

common::Result<ProbeArguments> parse_probe_arguments(std::span<const std::string> words,
                                                     unsigned hardware_threads) {
  // Alone, such a word was always a usage error, so answering it changes no command line.
  if (const auto request = common::lone_request(words)) {
    ProbeArguments described;
    described.request = *request;
    return described;
  }
  ProbeSettings settings{.hardware_threads = hardware_threads};
  const auto args = words.empty() ? words : words.subspan(1);
  auto scanned = common::scan_options(std::span(kOptions), kRules, args, settings);
  if (!scanned) return common::fail("[ensemble_probe] " + scanned.error().message + "\n");
  // "--simulation" alone keeps the historical rules, quirks included.
  const bool options_given = std::ranges::any_of(
      scanned->given, [](const OptionRow* row) { return row->name != kSimulationOption; });
  if (!options_given) return historical(words);
  if (scanned->operands.size() != 2) return std::unexpected(usage(words, true));
  settings.arguments.config_path = scanned->operands[0];
  settings.arguments.output_dir = scanned->operands[1];
  return settings.arguments;
}

}  // namespace native_runner
