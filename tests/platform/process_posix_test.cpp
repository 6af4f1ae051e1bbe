#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/process.h"

namespace platform {
namespace {

ProcessOutcome run_bash(const std::string& script, std::vector<std::string> extra = {},
                        std::optional<std::pair<std::string, std::string>> variable = {}) {
  std::vector<std::string> arguments{"-c", script, "bash"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  auto outcome = run_process(ProcessRequest{"/bin/bash", arguments, variable});
  EXPECT_TRUE(outcome.has_value()) << outcome.error().message;
  return outcome.value_or(ProcessOutcome{});
}

TEST(RunProcess, PassesEachArgumentIntactAndCollectsBothStreams) {
  const ProcessOutcome outcome =
      run_bash("printf '%s|' \"$#\" \"$@\"; printf 'to err' >&2", {"a b", "", " lead", "q\"uote"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.standard_output, "4|a b|| lead|q\"uote|");
  EXPECT_EQ(outcome.standard_error, "to err");
}

TEST(RunProcess, ReportsExitCodeAndNoneWhenKilledBySignal) {
  const struct {
    const char* script;
    std::optional<std::int32_t> expected;
  } kRows[] = {
      {"exit 0", 0},
      {"exit 3", 3},
      {"exit 255", 255},
      {"kill -KILL $$", std::nullopt},
      {"kill -TERM $$", std::nullopt},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(run_bash(row.script).exit_code, row.expected) << row.script;
  }
}

TEST(RunProcess, AddedVariableReplacesAnInheritedOneOfTheSameName) {
  ::setenv("ENGINE_PROCESS_TEST_VAR", "inherited", 1);
  ::setenv("ENGINE_PROCESS_TEST_KEPT", "kept", 1);
  const ProcessOutcome outcome =
      run_bash("env | grep '^ENGINE_PROCESS_TEST_' | sort", {},
               std::pair{std::string("ENGINE_PROCESS_TEST_VAR"), std::string("added value")});
  ::unsetenv("ENGINE_PROCESS_TEST_VAR");
  ::unsetenv("ENGINE_PROCESS_TEST_KEPT");
  EXPECT_EQ(outcome.standard_output,
            "ENGINE_PROCESS_TEST_KEPT=kept\nENGINE_PROCESS_TEST_VAR=added value\n");
}

TEST(RunProcess, StandardInputIsEmpty) {
  const ProcessOutcome outcome = run_bash("wc -c");
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.standard_output, "0\n");
}

TEST(RunProcess, LargeOutputOnBothStreamsDoesNotDeadlock) {
  const std::size_t kSize = 8 * 1024 * 1024;
  // One stream after the other, in both orders: reading either stream to its end before the
  // other would leave the child blocked on a full pipe.
  for (const char* script :
       {"head -c 8388608 /dev/zero | tr '\\0' e >&2; head -c 8388608 /dev/zero | tr '\\0' o",
        "head -c 8388608 /dev/zero | tr '\\0' o; head -c 8388608 /dev/zero | tr '\\0' e >&2"}) {
    const ProcessOutcome outcome = run_bash(script);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_TRUE(outcome.standard_output == std::string(kSize, 'o')) << script;
    EXPECT_TRUE(outcome.standard_error == std::string(kSize, 'e')) << script;
  }
}

TEST(RunProcess, BareProgramNameIsFoundOnThePath) {
  auto outcome = run_process(ProcessRequest{"bash", {"-c", "printf ok"}, std::nullopt});
  ASSERT_TRUE(outcome.has_value()) << outcome.error().message;
  EXPECT_EQ(outcome->standard_output, "ok");
}

TEST(RunProcess, ProgramThatCannotStartGivesTheSystemErrorText) {
  const struct {
    const char* program;
    const char* expected;
  } kRows[] = {
      {"/nonexistent/engine-shell", "No such file or directory (os error 2)"},
      {"no-such-program-on-any-path", "No such file or directory (os error 2)"},
      {"/dev/null", "Permission denied (os error 13)"},
  };
  for (const auto& row : kRows) {
    auto outcome = run_process(ProcessRequest{row.program, {}, std::nullopt});
    ASSERT_FALSE(outcome.has_value()) << row.program;
    EXPECT_EQ(outcome.error().message, row.expected) << row.program;
  }
}

}  // namespace
}  // namespace platform
