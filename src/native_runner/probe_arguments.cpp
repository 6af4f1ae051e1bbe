#include "native_runner/probe_arguments.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "common/whole_number.h"

namespace native_runner {
namespace {

constexpr std::string_view kJobsOption = "--jobs";
constexpr std::string_view kSimulationOption = "--simulation";
constexpr std::string_view kShardOption = "--shard";
constexpr std::string_view kKeepGoingOption = "--keep-going";
constexpr std::string_view kResumeOption = "--resume";

std::string program_name(std::span<const std::string> words) {
  return words.empty() ? "ensemble_probe" : words[0];
}

common::Error usage(std::span<const std::string> words, bool with_jobs) {
  const std::string program = program_name(words);
  if (!with_jobs) {
    return common::Error{"Usage: " + program + " [--simulation] <config_path> <output_dir>\n" +
                         "  --simulation: Run full simulation (default: JSON-only mode)\n"};
  }
  return common::Error{
      "Usage: " + program +
      " [--simulation] [--jobs N] [--shard K/N] [--keep-going] [--resume] <config_path> "
      "<output_dir>\n" +
      "  --simulation: Run full simulation (default: JSON-only mode)\n" +
      "  --jobs N: up to N engine runs (or variant builds) at once; N a positive integer up to " +
      std::to_string(kMaxJobs) + ", or auto for the number of hardware threads\n" +
      "  --shard K/N: only the combinations whose number in the batch is K modulo N\n" +
      "  --keep-going: a failed simulation ends only its combination, not the batch\n" +
      "  --resume: skip the simulations that already succeeded with the same inputs\n"};
}

common::Error bad_jobs(std::optional<std::string_view> value) {
  const std::string expected =
      " (expected a positive integer up to " + std::to_string(kMaxJobs) + ", or auto)\n";
  if (!value) return common::Error{"[ensemble_probe] Missing value for --jobs" + expected};
  return common::Error{"[ensemble_probe] Invalid value for --jobs: '" + std::string(*value) + "'" +
                       expected};
}

std::optional<unsigned> jobs_value(std::string_view text, unsigned hardware_threads) {
  if (text == "auto") return std::max(1u, std::min(hardware_threads, kMaxJobs));
  const auto value = common::parse_whole_number(text);
  if (!value || *value == 0 || *value > kMaxJobs) return std::nullopt;
  return static_cast<unsigned>(*value);
}

// An option that takes a value, "--name V" or "--name=V", at words[i].
struct OptionWord {
  bool matched = false;
  std::optional<std::string_view> value;  // none when the separate value is missing
};

// Moves i past a separate value.
OptionWord option_word(std::span<const std::string> words, std::size_t& i, std::string_view name) {
  const std::string_view word = words[i];
  if (word == name) {
    return {true,
            i + 1 < words.size() ? std::optional<std::string_view>(words[++i]) : std::nullopt};
  }
  if (word.starts_with(name) && word.size() > name.size() && word[name.size()] == '=') {
    return {true, word.substr(name.size() + 1)};
  }
  return {};
}

// "--shard K/N" or "--shard=K/N" at words[i]; moves i past a separate value.
std::optional<common::Result<Shard>> shard_option(std::span<const std::string> words,
                                                  std::size_t& i) {
  const auto [matched, value] = option_word(words, i, kShardOption);
  if (!matched) return std::nullopt;
  if (!value) {
    return common::fail(
        "[ensemble_probe] Missing value for --shard (expected K/N, two whole numbers with "
        "0 <= K < N)\n");
  }
  auto shard = parse_shard(*value);
  if (!shard) return common::fail("[ensemble_probe] " + shard.error().message + "\n");
  return shard;
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

common::Result<ProbeArguments> parse_probe_arguments(std::span<const std::string> words,
                                                     unsigned hardware_threads) {
  ProbeArguments parsed;
  bool options_given = false;
  std::size_t i = 1;
  for (; i < words.size(); ++i) {
    const std::string_view word = words[i];
    if (word == kSimulationOption) {
      parsed.json_only = false;
      continue;
    }
    if (auto shard = shard_option(words, i)) {
      if (!*shard) return std::unexpected(shard->error());
      parsed.shard = **shard;
      options_given = true;
      continue;
    }
    if (word == kKeepGoingOption || word == kResumeOption) {
      (word == kKeepGoingOption ? parsed.keep_going : parsed.resume) = true;
      options_given = true;
      continue;
    }
    const auto [matched, value] = option_word(words, i, kJobsOption);
    if (!matched) break;
    if (!value) return std::unexpected(bad_jobs(std::nullopt));
    const auto jobs = jobs_value(*value, hardware_threads);
    if (!jobs) return std::unexpected(bad_jobs(value));
    parsed.jobs = *jobs;
    options_given = true;
  }
  if (!options_given) return historical(words);
  if (words.size() - i != 2) return std::unexpected(usage(words, true));
  parsed.config_path = words[i];
  parsed.output_dir = words[i + 1];
  return parsed;
}

}  // namespace native_runner
