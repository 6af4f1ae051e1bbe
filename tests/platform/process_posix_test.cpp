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

using Variables = std::vector<std::pair<std::string, std::string>>;

ProcessOutcome run_bash(const std::string& script, std::vector<std::string> extra = {},
                        Variables variables = {}) {
  std::vector<std::string> arguments{"-c", script, "bash"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  auto outcome = run_process(ProcessRequest{"/bin/bash", arguments, variables});
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

TEST(RunProcess, AddedVariablesReplaceInheritedOnesOfTheSameName) {
  ::setenv("ENGINE_PROCESS_TEST_VAR", "inherited", 1);
  ::setenv("ENGINE_PROCESS_TEST_VARIANT", "kept", 1);
  const struct {
    Variables added;
    const char* expected;
  } kRows[] = {
      {{}, "ENGINE_PROCESS_TEST_VAR=inherited\nENGINE_PROCESS_TEST_VARIANT=kept\n"},
      // A name that begins another's replaces only its own.
      {{{"ENGINE_PROCESS_TEST_VAR", "added value"}},
       "ENGINE_PROCESS_TEST_VAR=added value\nENGINE_PROCESS_TEST_VARIANT=kept\n"},
      {{{"ENGINE_PROCESS_TEST_NEW", "new"}, {"ENGINE_PROCESS_TEST_VARIANT", ""}},
       "ENGINE_PROCESS_TEST_NEW=new\nENGINE_PROCESS_TEST_VAR=inherited\n"
       "ENGINE_PROCESS_TEST_VARIANT=\n"},
      {{{"ENGINE_PROCESS_TEST_NEW", "first"}, {"ENGINE_PROCESS_TEST_NEW", "second"}},
       "ENGINE_PROCESS_TEST_NEW=second\nENGINE_PROCESS_TEST_VAR=inherited\n"
       "ENGINE_PROCESS_TEST_VARIANT=kept\n"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(run_bash("env | grep '^ENGINE_PROCESS_TEST_' | sort", {}, row.added).standard_output,
              row.expected);
  }
  ::unsetenv("ENGINE_PROCESS_TEST_VAR");
  ::unsetenv("ENGINE_PROCESS_TEST_VARIANT");
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
  auto outcome = run_process(ProcessRequest{"bash", {"-c", "printf ok"}});
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
    auto outcome = run_process(ProcessRequest{row.program, {}});
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

// A stop or the time limit ends the child and everything it started, even processes that ignore
// SIGTERM or outlive the child, and keeps the output written so far.
TEST(RunProcessWithStop, StopOrTimeLimitEndsTheWholeTreeAndKeepsEarlierOutput) {
  constexpr const char* kWaiting =
      "echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; echo started; echo note >&2; wait";
  constexpr const char* kIgnoringTerm =
      "trap '' TERM; echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; echo started; "
      "echo note >&2; wait";
  constexpr const char* kClosedEarly =
      "exec >/dev/null 2>&1; echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; wait";
  // The shell is gone, but what it started still holds the streams: the run is not over.
  constexpr const char* kShellEnded =
      "echo $$ >> \"$1\"; sleep 30 & echo $! >> \"$1\"; echo started; echo note >&2; exit 0";
  enum class Token { kNone, kNeverStopped, kStopped };
  const std::optional<std::chrono::milliseconds> kNoLimit, kShort{300}, kLong{60000};
  const struct {
    const char* name;
    const char* script;
    std::optional<std::chrono::milliseconds> limit;
    Token token;
    bool timed_out;
    std::optional<std::int32_t> exit_code;
  } kRows[] = {
      {"stopped shell", kWaiting, kNoLimit, Token::kStopped, false, {}},
      {"stopped shell ignoring TERM", kIgnoringTerm, kNoLimit, Token::kStopped, false, {}},
      {"stopped with streams closed early", kClosedEarly, kNoLimit, Token::kStopped, false, {}},
      {"timed out", kWaiting, kShort, Token::kNone, true, {}},
      {"timed out with streams closed early", kClosedEarly, kShort, Token::kNone, true, {}},
      {"timed out after the shell ended", kShellEnded, kShort, Token::kNone, true, 0},
      {"timed out before a stop", kWaiting, kShort, Token::kNeverStopped, true, {}},
      {"stopped before the time limit", kWaiting, kLong, Token::kStopped, false, {}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    test_support::TempDir dir;
    const auto pid_file = dir.path() / "pids";
    std::stop_source stop;
    if (row.token == Token::kNone) stop = std::stop_source(std::nostopstate);
    ProcessRequest request{"/bin/bash", {"-c", row.script, "bash", pid_file.string()}};
    request.time_limit = row.limit;
    common::Result<ProcessOutcome> outcome;
    std::jthread runner([&] { outcome = run_process(request, stop.get_token()); });
    const auto pids = wait_for_pids(pid_file, 2);
    ASSERT_EQ(pids.size(), 2u);
    if (row.token == Token::kStopped) stop.request_stop();
    runner.join();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->cancelled, !row.timed_out);
    EXPECT_EQ(outcome->timed_out, row.timed_out);
    EXPECT_EQ(outcome->exit_code, row.exit_code);
    const bool streams_open = row.script != kClosedEarly;
    EXPECT_EQ(outcome->standard_output, streams_open ? "started\n" : "");
    EXPECT_EQ(outcome->standard_error, streams_open ? "note\n" : "");
    for (const auto& pid : pids) {
      for (int tries = 0; tries < 500 && is_running(pid); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_FALSE(is_running(pid)) << "process " << pid << " outlived the run";
    }
  }
}

// A run that ends on its own is neither cancelled nor timed out, whether a stop or a time limit
// could have ended it or not.
TEST(RunProcessWithStop, RunEndingOnItsOwnIsReportedAsItEndedAndEarlierStopStartsNothing) {
  test_support::TempDir dir;
  const auto marker = dir.path() / "started";
  const ProcessRequest plain{"/bin/bash",
                             {"-c", "touch \"$1\"; echo out; exit 4", "bash", marker.string()}};
  ProcessRequest limited = plain;
  limited.time_limit = std::chrono::milliseconds(60000);
  std::stop_source unused;
  for (const auto& [request, token] :
       {std::pair{plain, unused.get_token()}, std::pair{limited, std::stop_token()},
        std::pair{limited, unused.get_token()}}) {
    auto finished = run_process(request, token);
    ASSERT_TRUE(finished.has_value());
    EXPECT_EQ(finished->exit_code, 4);
    EXPECT_EQ(finished->standard_output, "out\n");
    EXPECT_FALSE(finished->cancelled);
    EXPECT_FALSE(finished->timed_out);
    EXPECT_TRUE(std::filesystem::exists(marker));
    std::filesystem::remove(marker);
  }

  std::stop_source early;
  early.request_stop();
  auto skipped = run_process(limited, early.get_token());
  ASSERT_TRUE(skipped.has_value());
  EXPECT_TRUE(skipped->cancelled);
  EXPECT_EQ(skipped->exit_code, std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(marker));
}

}  // namespace
}  // namespace platform
