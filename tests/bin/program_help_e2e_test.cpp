// Every program describes itself: --help lists every option its table reads, and --version
// names the release.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch_watch/watch_options.h"
#include "common/option_table.h"
#include "common/program_version.h"
#include "native_runner/probe_arguments.h"
#include "study_table/collect_options.h"
#include "support/program_runner.h"

namespace {

using Words = std::vector<std::string>;
using test_support::run_program;

const std::string kRequestLines =
    "  --help, -h: print this help and exit\n"
    "  --version: print the program's name and version and exit\n";

struct Program {
  std::string name;
  std::string binary;
  Words wrong;          // a command line refused with the usage
  std::string refusal;  // what standard error holds before the usage then
  std::vector<common::OptionRow> rows;
  Words operands;  // the operands of a command line that the program accepts
  std::function<std::optional<std::string>(const Words&)> error_of = {};
  std::function<bool(const Words&, const Words&)> same_reading = {};
};

template <typename Parse>
void read_with(Program& program, Parse parse) {
  program.error_of = [parse](const Words& args) -> std::optional<std::string> {
    const auto parsed = parse(args);
    if (parsed) return std::nullopt;
    return parsed.error().message;
  };
  program.same_reading = [parse](const Words& a, const Words& b) {
    const auto first = parse(a);
    const auto second = parse(b);
    return first && second && *first == *second;
  };
}

std::vector<Program> programs() {
  Program probe{"ensemble_probe",
                ENSEMBLE_PROBE_BINARY,
                {"--resume", "c.json"},
                "",
                native_runner::probe_option_rows(),
                {"c.json", "out"}};
  read_with(probe, [](const Words& args) {
    Words words{"probe"};
    words.insert(words.end(), args.begin(), args.end());
    return native_runner::parse_probe_arguments(words, 4);
  });
  Program watch{"ensemble_watch",
                ENSEMBLE_WATCH_BINARY,
                {"--once"},
                "[ensemble_watch] missing <output_dir>\n",
                batch_watch::watch_option_rows(),
                {"out"}};
  read_with(watch, batch_watch::parse_watch_options);
  Program splice{"envelope_splice", ENVELOPE_SPLICE_BINARY, {}, "", {}, {}};
  Program collect{"ensemble_collect",
                  ENSEMBLE_COLLECT_BINARY,
                  {"c.json"},
                  "[ensemble_collect] missing <config_path> or <output_dir>\n",
                  study_table::collect_option_rows(),
                  {"c.json", "out"}};
  read_with(collect, study_table::parse_collect_options);
  return {probe, watch, splice, collect};
}

TEST(ProgramHelp, HelpIsTheUsageWithEveryOptionAndVersionNamesTheRelease) {
  for (const Program& program : programs()) {
    SCOPED_TRACE(program.name);
    const auto refused = run_program(program.binary, program.wrong);
    ASSERT_TRUE(refused.err.starts_with(program.refusal)) << refused.err;
    const std::string usage = refused.err.substr(program.refusal.size());
    ASSERT_TRUE(usage.starts_with("Usage: " + program.binary + " ")) << usage;
    for (const std::string word : {"--help", "-h"}) {
      const auto help = run_program(program.binary, {word});
      EXPECT_EQ(help.exit_code, 0);
      EXPECT_EQ(help.out, usage + kRequestLines);
      EXPECT_EQ(help.err, "");
    }
    const auto version = run_program(program.binary, {"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, program.name + " " + std::string(common::program_version()) + "\n");
    EXPECT_EQ(version.err, "");
  }
}

// So that no option is read without its line in the help, nor listed without being read.
TEST(ProgramHelp, EveryRowIsReadByTheParserAndHasItsHelpLine) {
  for (const Program& program : programs()) {
    const std::string help = run_program(program.binary, {"--help"}).out;
    for (const common::OptionRow& row : program.rows) {
      SCOPED_TRACE(program.name + " " + std::string(row.name));
      const std::string named =
          std::string(row.name) +
          (row.value == common::OptionValue::kFlag ? "" : " " + std::string(row.value_name));
      EXPECT_FALSE(row.help.empty());
      EXPECT_NE(help.find("\n  " + named + ": " + std::string(row.help) + "\n"), std::string::npos);
      EXPECT_NE(help.find("[" + named + "]"), std::string::npos);
      if (row.value == common::OptionValue::kFlag) {
        Words with{std::string(row.name)};
        with.insert(with.end(), program.operands.begin(), program.operands.end());
        EXPECT_EQ(program.error_of(with), std::nullopt);
        EXPECT_FALSE(program.same_reading(with, program.operands));
      } else {
        // Given last without its value, the option is known to want one.
        const auto error = program.error_of({std::string(row.name)});
        ASSERT_TRUE(error.has_value());
        EXPECT_NE(error->find(std::string(row.name)), std::string::npos) << *error;
        EXPECT_NE(error->find(std::string(row.expected)), std::string::npos) << *error;
        EXPECT_FALSE(row.expected.empty());
      }
    }
  }
}

}  // namespace
