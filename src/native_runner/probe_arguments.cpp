#include "native_runner/probe_arguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

#include "common/whole_number.h"
#include "native_runner/sample_options.h"

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
  SampleWords sample = {};
};

template <common::Result<void> (*Read)(SampleWords&, const OptionRow&, std::string_view)>
common::Result<void> apply_sample_word(ProbeSettings& settings, const OptionRow& row,
                                       std::string_view text) {
  return Read(settings.sample, row, text);
}

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

// Digits with at most one '.' between or before them: no sign, exponent, "inf" or "nan".
bool is_plain_decimal(std::string_view text) {
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view("0") : text.substr(point + 1);
  const auto digits = [](std::string_view part) {
    return std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; });
  };
  return !fraction.empty() && digits(whole) && digits(fraction) && (!whole.empty() || point == 0);
}

common::Result<void> apply_timeout(ProbeSettings& settings, const OptionRow& row,
                                   std::string_view text) {
  double seconds = 0;
  if (!is_plain_decimal(text) ||
      std::from_chars(text.data(), text.data() + text.size(), seconds).ec != std::errc() ||
      !(seconds > 0)) {
    return common::invalid_value(row, text);
  }
  // Whole milliseconds, at least one; beyond a billion seconds a limit changes nothing.
  const double millis = std::ceil(std::min(seconds, 1e9) * 1000);
  settings.arguments.engine_runs.time_limit =
      std::chrono::milliseconds(static_cast<std::int64_t>(millis));
  return {};
}

common::Result<void> apply_retries(ProbeSettings& settings, const OptionRow& row,
                                   std::string_view text) {
  const auto value = common::parse_whole_number(text);
  if (!value || *value > std::numeric_limits<unsigned>::max()) {
    return common::invalid_value(row, text);
  }
  settings.arguments.engine_runs.retries = static_cast<unsigned>(*value);
  return {};
}

// Each value adds a pattern; "none" adds none, so alone it keeps no output file.
common::Result<void> apply_keep_outputs(ProbeSettings& settings, const OptionRow& row,
                                        std::string_view text) {
  OutputSelection& keep = settings.arguments.engine_runs.keep;
  keep.everything = false;
  if (text == "none") return {};
  auto pattern = common::PathPattern::parse(text);
  if (!pattern) {
    return common::fail("Invalid value for " + std::string(row.name) + ": " +
                        pattern.error().message);
  }
  keep.patterns.push_back(std::move(*pattern));
  return {};
}

constexpr std::array<common::Option<ProbeSettings>, 11> kOptions{{
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
    {{"--keep-outputs", OptionValue::kRepeatable, "PATTERN",
      "keep only the engine's output files that match PATTERN (given again: any of them), e.g. "
      "*.csv or reports/**/*.json; none keeps only stdout.txt and stderr.txt",
      "a file pattern, or none"},
     apply_keep_outputs},
    {{"--timeout", OptionValue::kOne, "SECONDS",
      "end an engine run still going after SECONDS (decimals allowed) and record it as failed",
      "a positive number of seconds"},
     apply_timeout},
    {{"--retries", OptionValue::kOne, "N",
      "start an engine run that failed again, up to N more times (default 0)", "a whole number"},
     apply_retries},
    {kSampleRow, apply_sample_word<read_sample_size>},
    {kSeedRow, apply_sample_word<read_seed>},
    {kSampleMethodRow, apply_sample_word<read_sample_method>},
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
  auto sample = sample_request(settings.sample);
  if (!sample) return common::fail("[ensemble_probe] " + sample.error().message + "\n");
  settings.arguments.sample = *sample;
  if (scanned->operands.size() != 2) return std::unexpected(usage(words, true));
  settings.arguments.config_path = scanned->operands[0];
  settings.arguments.output_dir = scanned->operands[1];
  return settings.arguments;
}

}  // namespace native_runner
