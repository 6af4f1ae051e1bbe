#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace common {

enum class OptionValue {
  kFlag,        // "--name"
  kOne,         // "--name V" or "--name=V"; given again, the handler decides (usually last wins)
  kRepeatable,  // like kOne, and every value counts
};

// What the reader, the error lines and the help know of one option.
struct OptionRow {
  std::string_view name;  // "--jobs"
  OptionValue value = OptionValue::kFlag;
  std::string_view value_name = {};  // "N" in "--jobs N"; empty for a flag
  std::string_view help = {};        // the one line of explanation
  std::string_view expected = {};    // what a value must be, as the error lines say it
};

// One row of a program's table: the option and what it does to the program's settings. The
// handler gets the row so that its error lines name the option as the table does.
template <typename Settings>
struct Option {
  OptionRow row;
  Result<void> (*apply)(Settings& settings, const OptionRow& row, std::string_view value);
};

// "Missing value for --jobs (expected N)".
std::string missing_value_line(const OptionRow& row);
// The failure "Invalid value for --jobs: 'x' (expected N)".
std::unexpected<Error> invalid_value(const OptionRow& row, std::string_view value);

enum class OptionPlacement {
  // The first word that is no option begins the operands, whatever it looks like.
  kBeforeOperands,
  // Options and operands mix; a word that begins with "--" and names no option is refused.
  kAnywhere,
};

// What a program is asked to do: its work, or only to describe itself.
enum class ProgramRequest { kRun, kHelp, kVersion };

struct ScanRules {
  OptionPlacement placement = OptionPlacement::kAnywhere;
  // "--help", "-h" and "--version" are taken wherever an option may stand. Programs whose
  // historical command lines read such a word as a path answer them only when alone.
  bool answers_requests = true;
  // The error line for an option given last without its value.
  std::string (*missing_value)(const OptionRow& row) = missing_value_line;
};

struct ScannedWords {
  ProgramRequest request = ProgramRequest::kRun;
  std::vector<const OptionRow*> given;  // one per option word, in order
  std::vector<std::string> operands;
};

// The request that "--help", "-h" or "--version" makes; none for any other word.
std::optional<ProgramRequest> request_word(std::string_view word);
// The request of a command line that holds nothing but one such word after the program's own.
std::optional<ProgramRequest> lone_request(std::span<const std::string> words);

// "Usage: {program} [--name VALUE]... {operands}", then one line per option and the notes.
std::string usage_text(std::string_view program, std::span<const OptionRow> rows,
                       std::string_view operands, std::span<const std::string_view> notes = {});
// The usage followed by the lines of "--help" and "--version".
std::string help_text(std::string_view program, std::span<const OptionRow> rows,
                      std::string_view operands, std::span<const std::string_view> notes = {});

// The value of the option at words[i] when it is `row`: "--name V" (moving i past V) or
// "--name=V". `matched` without a value when V is missing at the end of the words.
struct OptionWord {
  bool matched = false;
  std::optional<std::string_view> value;
};
OptionWord read_option_word(std::span<const std::string> words, std::size_t& i,
                            const OptionRow& row);

template <typename Settings, std::size_t Extent>
std::vector<OptionRow> rows_of(std::span<const Option<Settings>, Extent> options) {
  std::vector<OptionRow> rows;
  for (const auto& option : options) rows.push_back(option.row);
  return rows;
}

// Reads `args` (the words after the program's own) against the table, applying each option to
// `settings` in the order given. Fails with the first error: a missing value, a handler's refusal
// or, with kAnywhere, an unknown option ("unknown option: --x"). A request ends the reading.
template <typename Settings, std::size_t Extent>
Result<ScannedWords> scan_options(std::span<const Option<Settings>, Extent> options,
                                  const ScanRules& rules, std::span<const std::string> args,
                                  Settings& settings) {
  ScannedWords scanned;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (rules.answers_requests) {
      if (const auto request = request_word(args[i])) {
        scanned.request = *request;
        return scanned;
      }
    }
    const Option<Settings>* found = nullptr;
    OptionWord word;
    for (const auto& option : options) {
      word = read_option_word(args, i, option.row);
      if (word.matched) {
        found = &option;
        break;
      }
    }
    if (found == nullptr) {
      if (rules.placement == OptionPlacement::kBeforeOperands) {
        scanned.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
        return scanned;
      }
      if (args[i].starts_with("--")) return fail("unknown option: " + args[i]);
      scanned.operands.push_back(args[i]);
      continue;
    }
    if (found->row.value != OptionValue::kFlag && !word.value) {
      return fail(rules.missing_value(found->row));
    }
    if (auto applied = found->apply(settings, found->row, word.value.value_or("")); !applied) {
      return std::unexpected(applied.error());
    }
    scanned.given.push_back(&found->row);
  }
  return scanned;
}

}  // namespace common
