#include "common/option_table.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace common {
namespace {

struct Toy {
  bool verbose = false;
  std::string level;
  std::vector<std::string> tags;
};

constexpr std::array<Option<Toy>, 3> kToyOptions{{
    {{"--verbose", OptionValue::kFlag, "", "say more"},
     [](Toy& toy, const OptionRow&, std::string_view) -> Result<void> {
       toy.verbose = true;
       return {};
     }},
    {{"--level", OptionValue::kOne, "L", "how hard", "low or high"},
     [](Toy& toy, const OptionRow& row, std::string_view value) -> Result<void> {
       if (value != "low" && value != "high") return invalid_value(row, value);
       toy.level = value;
       return {};
     }},
    {{"--tag", OptionValue::kRepeatable, "T", "a label, as many as wanted", "a label"},
     [](Toy& toy, const OptionRow&, std::string_view value) -> Result<void> {
       toy.tags.emplace_back(value);
       return {};
     }},
}};

std::string scan(OptionPlacement placement, bool requests, std::vector<std::string> args) {
  Toy toy;
  const ScanRules rules{.placement = placement, .answers_requests = requests};
  const auto scanned = scan_options(std::span(kToyOptions), rules, args, toy);
  if (!scanned) return "error: " + scanned.error().message;
  if (scanned->request == ProgramRequest::kHelp) return "help";
  if (scanned->request == ProgramRequest::kVersion) return "version";
  std::string text = std::string(toy.verbose ? "verbose " : "") + "level=" + toy.level + " tags=";
  for (const auto& tag : toy.tags) text += tag + ",";
  text += " given=" + std::to_string(scanned->given.size()) + " operands=";
  for (const auto& operand : scanned->operands) text += "[" + operand + "]";
  return text;
}

TEST(ScanOptions, ReadsEachPlacementAndNamesTheFirstBadWord) {
  constexpr auto kBefore = OptionPlacement::kBeforeOperands;
  constexpr auto kAnywhere = OptionPlacement::kAnywhere;
  const struct {
    OptionPlacement placement;
    bool requests;
    std::vector<std::string> args;
    std::string expected;
  } kRows[] = {
      {kAnywhere,
       true,
       {"a", "--level", "low", "b", "--verbose"},
       "verbose level=low tags= given=2 operands=[a][b]"},
      {kAnywhere,
       true,
       {"--level=high", "--level", "low", "--tag=x", "--tag", "y", "--tag="},
       "level=low tags=x,y,, given=5 operands="},
      // A value is taken as given, even when it looks like an option.
      {kAnywhere,
       true,
       {"--tag", "--verbose", "--level", "--help"},
       "error: Invalid value for --level: '--help' (expected low or high)"},
      {kAnywhere,
       true,
       {"--verbose", "--tag"},
       "error: Missing value for --tag (expected a label)"},
      {kAnywhere, true, {"a", "--bogus", "--level"}, "error: unknown option: --bogus"},
      {kAnywhere, true, {"--verbose=yes"}, "error: unknown option: --verbose=yes"},
      {kAnywhere, true, {"--levels=low"}, "error: unknown option: --levels=low"},
      {kAnywhere, true, {"-", "-x", ""}, "level= tags= given=0 operands=[-][-x][]"},
      // A request ends the reading, whatever follows; what came before is still checked.
      {kAnywhere, true, {"a", "-h", "--bogus"}, "help"},
      {kAnywhere, true, {"--version", "--level"}, "version"},
      {kAnywhere,
       true,
       {"--level", "x", "--help"},
       "error: Invalid value for --level: 'x' (expected low or high)"},
      {kAnywhere, false, {"--help"}, "error: unknown option: --help"},
      // Before the operands: the first word that is no option starts them.
      {kBefore,
       false,
       {"--verbose", "--tag", "t", "--Verbose", "--level", "x"},
       "verbose level= tags=t, given=2 operands=[--Verbose][--level][x]"},
      {kBefore, false, {"--", "--verbose"}, "level= tags= given=0 operands=[--][--verbose]"},
      {kBefore, false, {"--help", "x"}, "level= tags= given=0 operands=[--help][x]"},
      {kBefore, true, {"--verbose", "--help", "x"}, "help"},
      {kBefore, false, {"--level"}, "error: Missing value for --level (expected low or high)"},
  };
  for (const auto& row : kRows) {
    std::string trace;
    for (const auto& arg : row.args) trace += "'" + arg + "' ";
    SCOPED_TRACE(trace);
    EXPECT_EQ(scan(row.placement, row.requests, row.args), row.expected);
  }
}

TEST(ScanOptions, UsageShowsEveryRowOnceAndHelpAddsTheRequests) {
  const auto rows = rows_of(std::span(kToyOptions));
  const std::array<std::string_view, 1> notes{"Operands may be anything."};
  const std::string usage =
      "Usage: toy [--verbose] [--level L] [--tag T]... <in> <out>\n"
      "  --verbose: say more\n"
      "  --level L: how hard\n"
      "  --tag T: a label, as many as wanted\n"
      "  Operands may be anything.\n";
  EXPECT_EQ(usage_text("toy", rows, "<in> <out>", notes), usage);
  EXPECT_EQ(help_text("toy", rows, "<in> <out>", notes),
            usage +
                "  --help, -h: print this help and exit\n"
                "  --version: print the program's name and version and exit\n");
  EXPECT_EQ(usage_text("toy", {}, "<in>"), "Usage: toy <in>\n");
}

TEST(LoneRequest, OnlyASingleWordAfterTheProgramsOwn) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(lone_request(Words{"p", "--help"}), ProgramRequest::kHelp);
  EXPECT_EQ(lone_request(Words{"p", "-h"}), ProgramRequest::kHelp);
  EXPECT_EQ(lone_request(Words{"p", "--version"}), ProgramRequest::kVersion);
  EXPECT_EQ(lone_request(Words{"p", "--help", "x"}), std::nullopt);
  EXPECT_EQ(lone_request(Words{"p", "--HELP"}), std::nullopt);
  EXPECT_EQ(lone_request(Words{"--help"}), std::nullopt);
}

}  // namespace
}  // namespace common
