#include "native_runner/engine_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "native_runner/engine_outputs.h"
#include "support/failing_files.h"
#include "support/fake_process_runner.h"
#include "support/memory_files.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

const fs::path kRoot = "/mem";
const fs::path kResult = kRoot / "out" / "result_c_g_0";

// One combination's run on an in-memory machine. The fake engine leaves files beside the model
// it is handed, numbered by attempt, and ends each attempt as the test's script of exit codes
// says.
class EngineRunTest : public ::testing::Test {
 protected:
  EngineRunTest() {
    files_.put(kRoot / "bin" / "bash", "");
    files_.put(kRoot / "ws" / "src-tauri" / "resources" / "run.sh", "");
    (void)files_.create_directories(kRoot / "tmp");
    (void)files_.create_directories(kResult);
  }

  EngineRunReport run(const EngineRunPolicy& policy, const Files* files = nullptr) {
    const Files& used = files != nullptr ? *files : files_;
    const EngineServices engine{out_, used, processes_, host_, {}};
    BatchTempDirectory temp(used, kRoot / "tmp");
    const SimulationRequest request{model_, "out/result_c_g_0", "w.epw", {}, kRoot / "ws", "c", {},
                                    "g_0",  "/abs/result_c_g_0"};
    const auto record = [this](std::uint64_t attempt, const common::Error& failure) {
      retries_.push_back(std::to_string(attempt) + ": " +
                         failure.message.substr(0, failure.message.find('\n')));
      return common::Result<void>{};
    };
    auto report = run_engine(request, kResult, policy, EngineRunServices{engine, temp, record});
    EXPECT_TRUE(temp.remove());
    return report;
  }

  // Every file the run left below the result directory, with its contents.
  std::vector<std::string> kept() const {
    std::vector<std::string> found;
    const std::string prefix = kResult.generic_string() + "/";
    for (const auto& path : files_.file_paths()) {
      if (path.starts_with(prefix)) {
        found.push_back(path.substr(prefix.size()) + "=" + files_.text(path));
      }
    }
    return found;
  }

  test_support::MemoryFiles files_;
  std::vector<int> exit_codes_{0};  // one per attempt; the last repeats
  int attempt_ = 0;
  test_support::FakeProcessRunner processes_{[this](const platform::ProcessRequest& request) {
    const std::string n = std::to_string(++attempt_);
    const fs::path here = fs::path(request.arguments.at(1)).parent_path();
    files_.put(here / "summary.csv", "attempt " + n);
    files_.put(here / "series" / "hourly.csv", "1,2");
    files_.put(here / "log.txt", "log " + n);
    const int code = exit_codes_[std::min<std::size_t>(attempt_ - 1, exit_codes_.size() - 1)];
    return common::Result<platform::ProcessOutcome>(
        platform::ProcessOutcome{code, "out " + n, "err " + n});
  }};
  EngineHost host_{kRoot / "tmp", ShellSearch{{(kRoot / "bin" / "bash").string()}, {}}};
  std::ostringstream out_;
  std::vector<std::string> retries_;
  const json_text::Json model_ = {{"a", 1}};
};

// Failed attempts are started again up to the number of retries, each in a fresh directory; the
// last attempt's verdict stands and only its outputs are kept.
TEST_F(EngineRunTest, RetriesFailedAttemptsAndKeepsTheLastOnesOutputs) {
  const struct {
    std::vector<int> exit_codes;
    unsigned retries;
    bool succeeds;
    std::uint64_t attempts;
    std::vector<std::string> retries_recorded;
  } kRows[] = {
      {{0}, 2, true, 1, {}},
      {{3}, 0, false, 1, {}},
      {{3, 5, 0},
       2,
       true,
       3,
       {"2: Simulation failed. Exit code: Some(3)", "3: Simulation failed. Exit code: Some(5)"}},
      {{3, 4}, 1, false, 2, {"2: Simulation failed. Exit code: Some(3)"}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(::testing::PrintToString(row.exit_codes));
    exit_codes_ = row.exit_codes;
    attempt_ = 0;
    retries_.clear();
    out_.str("");
    (void)remove_engine_outputs(files_, kResult);
    EngineRunPolicy policy;
    policy.retries = row.retries;
    const auto report = run(policy);
    EXPECT_EQ(report.verdict.has_value(), row.succeeds);
    EXPECT_EQ(report.attempts, row.attempts);
    EXPECT_EQ(retries_, row.retries_recorded);
    const std::string n = std::to_string(row.attempts);
    EXPECT_EQ(kept(), (std::vector<std::string>{
                          "engine/outputs/log.txt=log " + n, "engine/outputs/series/hourly.csv=1,2",
                          "engine/outputs/summary.csv=attempt " + n, "engine/stderr.txt=err " + n,
                          "engine/stdout.txt=out " + n}));
    for (std::uint64_t k = 2; k <= row.attempts; ++k) {
      EXPECT_NE(
          out_.str().find("[SIMULATION] Retrying simulation for g_0 (attempt " + std::to_string(k) +
                          " of " + std::to_string(row.retries + 1) + ")\n"),
          std::string::npos)
          << out_.str();
    }
    // Every attempt had its own directory, and none is left.
    const auto requests = processes_.requests();
    EXPECT_EQ(fs::path(requests.back().arguments.at(1)).parent_path().filename(),
              "run-" + std::to_string(row.attempts));
    EXPECT_EQ(files_.files_below(kRoot / "tmp").value(), std::vector<std::string>{});
  }
}

// A run that cannot be set up is not the engine's failure: it is not retried and keeps nothing.
// A move that fails is the run's failure, named with its path, and leaves no engine folder.
TEST_F(EngineRunTest, SetUpAndMoveFailuresAreNotRetriedAndKeepNothing) {
  EngineRunPolicy policy;
  policy.retries = 3;
  (void)files_.remove(kRoot / "ws" / "src-tauri" / "resources" / "run.sh");
  auto report = run(policy);
  ASSERT_FALSE(report.verdict);
  EXPECT_EQ(
      report.verdict.error().message,
      "run.sh not found at: " + (kRoot / "ws" / "src-tauri" / "resources" / "run.sh").string());
  EXPECT_EQ(report.attempts, 1u);
  EXPECT_FALSE(files_.exists(kResult / "engine"));

  files_.put(kRoot / "ws" / "src-tauri" / "resources" / "run.sh", "");
  const test_support::FailingFiles failing(
      files_, {test_support::FileCall::MoveTree, 1, "No space left on device (os error 28)"});
  report = run(policy, &failing);
  ASSERT_FALSE(report.verdict);
  EXPECT_EQ(report.verdict.error().message, "the engine's outputs could not be kept in '" +
                                                (kResult / "engine" / "outputs").string() +
                                                "': No space left on device (os error 28)");
  EXPECT_FALSE(is_engine_failure(report.verdict.error()));
  EXPECT_EQ(report.attempts, 1u);
  EXPECT_FALSE(files_.exists(kResult / "engine"));
  EXPECT_EQ(files_.files_below(kRoot / "tmp").value(), std::vector<std::string>{});
}

}  // namespace
}  // namespace native_runner
