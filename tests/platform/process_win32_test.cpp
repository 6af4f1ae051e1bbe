#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/stop_request.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"
#include "support/temp_dir.h"

namespace {

// The stand-in bash is built beside the tests (tests/windows/fake_bash.exe); it writes the
// arguments it received, one per line, and the WORKSPACE variable to FAKE_BASH_RECORD.
std::filesystem::path fake_bash() {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  return std::filesystem::path(self).parent_path() / "windows" / "fake_bash.exe";
}

class Win32ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(fake_bash())) << fake_bash();
    record_ = dir_.path() / "record.txt";
    SetEnvironmentVariableW(L"FAKE_BASH_RECORD", record_.wstring().c_str());
  }
  void TearDown() override {
    for (const wchar_t* name : {L"FAKE_BASH_RECORD", L"FAKE_BASH_EXIT", L"FAKE_BASH_STDOUT",
                                L"FAKE_BASH_STDERR", L"WORKSPACE", L"FAKE_BASH_PID_FILE",
                                L"FAKE_BASH_CHILD", L"FAKE_BASH_SLEEP_MS"}) {
      SetEnvironmentVariableW(name, nullptr);
    }
  }

  platform::ProcessOutcome run(std::vector<std::string> arguments,
                               std::vector<std::pair<std::string, std::string>> variables = {}) {
    auto outcome = platform::run_process(
        {platform::path_text(fake_bash()), std::move(arguments), std::move(variables)});
    EXPECT_TRUE(outcome) << outcome.error().message;
    return outcome.value_or(platform::ProcessOutcome{});
  }

  std::string record() { return platform::read_file(record_).value_or("(no record)"); }

  test_support::TempDir dir_;
  std::filesystem::path record_;
};

TEST_F(Win32ProcessTest, EveryArgumentArrivesUnchanged) {
  const std::vector<std::vector<std::string>> rows = {
      {},
      {"plain", "with space", "C:\\Program Files (x86)\\Git\\bin\\bash.exe"},
      {"", "  ", "tab\there"},
      {"say \"hi\"", "\"", "\"\"", "a\\\"b"},
      {"trailing\\", "trailing space\\", "C:\\dir with space\\", "\\\\server\\share\\"},
      {"\\\\?\\C:\\ws\\run.sh", "r\xc3\xa9sum\xc3\xa9 \xe6\x9d\xb1", "--heat-balance"},
  };
  for (const auto& arguments : rows) {
    std::string expected;
    for (const auto& argument : arguments) expected += argument + "\n";
    const auto outcome = run(arguments);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(record(), expected + "WORKSPACE unset\n");
  }
}

TEST_F(Win32ProcessTest, AddsOrReplacesTheOneVariable) {
  run({"x"}, {{"WORKSPACE", "C:\\my ws\\\xc3\xa9"}});
  EXPECT_EQ(record(), "x\nWORKSPACE=C:\\my ws\\\xc3\xa9\n");
  SetEnvironmentVariableW(L"WORKSPACE", L"inherited");
  run({"x"});
  EXPECT_EQ(record(), "x\nWORKSPACE=inherited\n");
  // Windows variable names ignore case: the added one replaces the inherited one.
  run({"x"}, {{"Workspace", "replaced"}});
  EXPECT_EQ(record(), "x\nWORKSPACE=replaced\n");
}

TEST_F(Win32ProcessTest, CollectsStreamsAndSignedExitCodes) {
  struct Row {
    const wchar_t* exit;
    std::int32_t code;
  };
  SetEnvironmentVariableW(L"FAKE_BASH_STDOUT", L"x");
  SetEnvironmentVariableW(L"FAKE_BASH_STDERR", platform::widen("\xc3\xa9\r\n").c_str());
  for (const Row row : {Row{L"0", 0}, Row{L"3", 3}, Row{L"4294967295", -1}}) {
    SetEnvironmentVariableW(L"FAKE_BASH_EXIT", row.exit);
    const auto outcome = run({});
    EXPECT_EQ(outcome.exit_code, row.code);
    EXPECT_EQ(outcome.standard_output, "x");
    EXPECT_EQ(outcome.standard_error, "\xc3\xa9\r\n");
  }
}

std::vector<DWORD> wait_for_pids(const std::filesystem::path& file, std::size_t count) {
  for (int tries = 0; tries < 1000; ++tries) {
    std::ifstream in(file);
    std::vector<DWORD> pids;
    for (DWORD pid = 0; in >> pid;) pids.push_back(pid);
    if (pids.size() >= count) return pids;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

// A stop or the time limit ends the engine and the process it started (which holds the output
// pipes open too) the moment it comes, keeps what was written before, and says why it ended.
// Neither needs a timer: the run waits on the process, its readers and the stop event alone.
TEST_F(Win32ProcessTest, StopAndTimeLimitEndTheProcessTree) {
  struct Row {
    const char* name;
    std::optional<std::chrono::milliseconds> time_limit;
    bool stop_after_start;
    bool cancelled;
    bool timed_out;
  };
  const std::vector<Row> rows = {
      {"stop", std::nullopt, true, true, false},
      {"time limit", std::chrono::milliseconds(1500), false, false, true},
      {"stop before the time limit", std::chrono::milliseconds(60000), true, true, false},
  };
  const auto pid_file = dir_.path() / "pids.txt";
  SetEnvironmentVariableW(L"FAKE_BASH_PID_FILE", pid_file.wstring().c_str());
  SetEnvironmentVariableW(L"FAKE_BASH_CHILD", L"1");
  SetEnvironmentVariableW(L"FAKE_BASH_SLEEP_MS", L"60000");
  SetEnvironmentVariableW(L"FAKE_BASH_STDOUT", L"before");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(pid_file);
    std::stop_source stop;
    common::Result<platform::ProcessOutcome> outcome;
    const auto started = std::chrono::steady_clock::now();
    std::jthread runner([&] {
      platform::ProcessRequest request{platform::path_text(fake_bash()), {"x"}};
      request.time_limit = row.time_limit;
      outcome = platform::run_process(request, stop.get_token());
    });
    const auto pids = wait_for_pids(pid_file, 2);
    ASSERT_EQ(pids.size(), 2u);
    if (row.stop_after_start) platform::request_stop(stop);
    runner.join();
    // Far sooner than the minute the engine and its child would sleep: the run ended them.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    ASSERT_TRUE(outcome) << outcome.error().message;
    EXPECT_EQ(outcome->cancelled, row.cancelled);
    EXPECT_EQ(outcome->timed_out, row.timed_out);
    // The engine and the process it started each wrote before they were ended.
    EXPECT_EQ(outcome->standard_output, "beforebefore");
    for (const DWORD pid : pids) {
      platform::UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
      if (process.valid()) {
        EXPECT_EQ(WaitForSingleObject(process.get(), 5000), WAIT_OBJECT_0) << pid;
      }
    }
  }
}

TEST_F(Win32ProcessTest, UnrequestedStopChangesNothingAndEarlierStopStartsNothing) {
  SetEnvironmentVariableW(L"FAKE_BASH_EXIT", L"4");
  std::stop_source unused;
  auto finished =
      platform::run_process({platform::path_text(fake_bash()), {"ran"}},
                            unused.get_token());
  ASSERT_TRUE(finished);
  EXPECT_EQ(finished->exit_code, 4);
  EXPECT_FALSE(finished->cancelled);
  EXPECT_EQ(record(), "ran\nWORKSPACE unset\n");

  std::filesystem::remove(record_);
  std::stop_source early;
  early.request_stop();
  auto skipped = platform::run_process(
      {platform::path_text(fake_bash()), {"ran"}}, early.get_token());
  ASSERT_TRUE(skipped);
  EXPECT_TRUE(skipped->cancelled);
  EXPECT_FALSE(std::filesystem::exists(record_));
}

TEST_F(Win32ProcessTest, MissingProgramIsTheSystemError) {
  const auto outcome =
      platform::run_process({platform::path_text(dir_.path() / "absent.exe"), {}});
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error(), platform::os_error(ERROR_FILE_NOT_FOUND));
}

}  // namespace
