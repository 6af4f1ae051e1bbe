#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "support/process_alive.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

using test_support::is_running;

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

// Waits (a bounded while) for the script to write the pids of everything it started.
std::vector<std::string> wait_for_pids(const std::filesystem::path& file, std::size_t count) {
  for (int tries = 0; tries < 1000; ++tries) {
    std::ifstream in(file);
    std::vector<std::string> pids;
    for (std::string pid; in >> pid;) pids.push_back(pid);
    if (pids.size() >= count) return pids;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

// A stop ends the child and everything it started, even processes that ignore SIGTERM, and keeps
// the output written so far.
TEST(RunProcessWithStop, StopEndsTheWholeTreeAndKeepsEarlierOutput) {
  const struct {
    const char* name;
    const char* script;
  } kRows[] = {
      {"waiting shell", "echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; echo started; wait"},
      {"shell ignoring TERM",
       "trap '' TERM; echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; echo started; wait"},
      {"streams closed early",
       "exec >/dev/null 2>&1; echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; wait"},
  };
  for (const auto& row : kRows) {
    test_support::TempDir dir;
    const auto pid_file = dir.path() / "pids";
    std::stop_source stop;
    common::Result<ProcessOutcome> outcome;
    std::jthread runner([&] {
      outcome = run_process({"/bin/bash", {"-c", row.script, "bash", pid_file.string()}, {}},
                            stop.get_token());
    });
    const auto pids = wait_for_pids(pid_file, 2);
    ASSERT_EQ(pids.size(), 2u) << row.name;
    stop.request_stop();
    runner.join();
    ASSERT_TRUE(outcome.has_value()) << row.name;
    EXPECT_TRUE(outcome->cancelled) << row.name;
    EXPECT_EQ(outcome->exit_code, std::nullopt) << row.name;
    const bool streams_open = std::string(row.name) != "streams closed early";
    EXPECT_EQ(outcome->standard_output, streams_open ? "started\n" : "") << row.name;
    for (const auto& pid : pids) {
      for (int tries = 0; tries < 500 && is_running(pid); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_FALSE(is_running(pid)) << row.name << ": process " << pid << " outlived the stop";
    }
  }
}

TEST(RunProcessWithStop, UnrequestedStopChangesNothingAndEarlierStopStartsNothing) {
  test_support::TempDir dir;
  const auto marker = dir.path() / "started";
  const ProcessRequest request{"/bin/bash", {"-c", "touch \"$1\"; echo out; exit 4", "bash",
                                             marker.string()}, {}};
  std::stop_source unused;
  auto finished = run_process(request, unused.get_token());
  ASSERT_TRUE(finished.has_value());
  EXPECT_EQ(finished->exit_code, 4);
  EXPECT_EQ(finished->standard_output, "out\n");
  EXPECT_FALSE(finished->cancelled);
  std::filesystem::remove(marker);

  std::stop_source early;
  early.request_stop();
  auto skipped = run_process(request, early.get_token());
  ASSERT_TRUE(skipped.has_value());
  EXPECT_TRUE(skipped->cancelled);
  EXPECT_EQ(skipped->exit_code, std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

}  // namespace
}  // namespace platform
