#include "common/option_table.h"

#include <array>

namespace common {
namespace {

struct RequestWord {
  std::string_view word;
  ProgramRequest request;
};

constexpr std::array<RequestWord, 3> kRequestWords{{
    {"--help", ProgramRequest::kHelp},
    {"-h", ProgramRequest::kHelp},
    {"--version", ProgramRequest::kVersion},
}};

constexpr std::string_view kRequestLines =
    "  --help, -h: print this help and exit\n"
    "  --version: print the program's name and version and exit\n";

std::string with_value_name(const OptionRow& row) {
  std::string text(row.name);
  if (row.value != OptionValue::kFlag) text.append(" ").append(row.value_name);
  return text;
}

}  // namespace

std::string missing_value_line(const OptionRow& row) {
  return "Missing value for " + std::string(row.name) + " (expected " + std::string(row.expected) +
         ")";
}

std::unexpected<Error> invalid_value(const OptionRow& row, std::string_view value) {
  return fail("Invalid value for " + std::string(row.name) + ": '" + std::string(value) +
              "' (expected " + std::string(row.expected) + ")");
}

std::optional<ProgramRequest> request_word(std::string_view word) {
  for (const RequestWord& known : kRequestWords) {
    if (known.word == word) return known.request;
  }
  return std::nullopt;
}

std::optional<ProgramRequest> lone_request(std::span<const std::string> words) {
  if (words.size() != 2) return std::nullopt;
  return request_word(words[1]);
}

std::string usage_text(std::string_view program, std::span<const OptionRow> rows,
                       std::string_view operands, std::span<const std::string_view> notes) {
  std::string text = "Usage: " + std::string(program);
  for (const OptionRow& row : rows) {
    text += " [" + with_value_name(row) + "]";
    // A repeatable option is shown once; the trailing dots say it may come again.
    if (row.value == OptionValue::kRepeatable) text += "...";
  }
  text.append(" ").append(operands).append("\n");
  for (const OptionRow& row : rows) {
    text += "  " + with_value_name(row) + ": " + std::string(row.help) + "\n";
  }
  for (const std::string_view note : notes) text.append("  ").append(note).append("\n");
  return text;
}

std::string help_text(std::string_view program, std::span<const OptionRow> rows,
                      std::string_view operands, std::span<const std::string_view> notes) {
  return usage_text(program, rows, operands, notes) + std::string(kRequestLines);
}

OptionWord read_option_word(std::span<const std::string> words, std::size_t& i,
                            const OptionRow& row) {
  const std::string_view word = words[i];
  if (word == row.name) {
    if (row.value == OptionValue::kFlag) return {true, std::nullopt};
    if (i + 1 < words.size()) return {true, std::string_view(words[++i])};
    return {true, std::nullopt};
  }
  if (row.value != OptionValue::kFlag && word.size() > row.name.size() &&
      word.starts_with(row.name) && word[row.name.size()] == '=') {
    return {true, word.substr(row.name.size() + 1)};
  }
  return {};
}

}  // namespace common
