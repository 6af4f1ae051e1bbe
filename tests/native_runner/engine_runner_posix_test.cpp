#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <stop_token>
#include <string>
#include <thread>

#include "json/json_writer.h"
#include "native_runner/engine_runner.h"
#include "support/fake_process_runner.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNotFound =
    "Git Bash not found. Please install Git for Windows to run batch simulations.\n\n"
    "Download from: https://git-scm.com/download/win";

// Real bash runs small engine scripts written into a scratch workspace whose path has a space.
class EngineRunnerTest : public ::testing::Test {
 protected:
  EngineRunnerTest() : workspace_(root_.path() / "work space") {}

  void write_engine(const std::string& body) {
    root_.write("work space/src-tauri/resources/run.sh", "#!/bin/bash\n" + body);
  }

  // Real processes, except that the shell look-up is answered here so it never finds a shell.
  class Processes final : public ProcessRunner {
   public:
    explicit Processes(bool& lookup_called) : lookup_called_(lookup_called) {}
    common::Result<platform::ProcessOutcome> run(const platform::ProcessRequest& request,
                                                 std::stop_token stop) const override {
      if (request.program != "look-up") return system_process_runner().run(request, stop);
      lookup_called_ = true;
      return common::fail("look-up unavailable");
    }

   private:
    bool& lookup_called_;
  };

  EngineHost host(std::vector<std::string> places = {"/bin/bash"}) const {
    return EngineHost{temp_.path(), ShellSearch{std::move(places), {"look-up", {}, {}}}};
  }

  // The run's set-up failure or the engine's verdict, whichever came; the streams of a run that
  // ended are kept in ended_.
  common::Result<void> run_with(const EngineHost& host, const std::string& weather = "w",
                                CliFlags flags = {}, std::string_view output = "o",
                                fs::path model_directory = {}) {
    if (model_directory.empty()) model_directory = temp_.path();
    const SimulationRequest request{model_,
                                    output,
                                    weather,
                                    flags,
                                    workspace_,
                                    "cfg",
                                    [model_directory] { return model_directory; }};
    auto ended =
        run_simulation(request, EngineServices{out_, system_files(), processes_, host, {}});
    if (!ended) return std::unexpected(ended.error());
    ended_ = *ended;
    return ended->verdict;
  }

  common::Result<void> run(CliFlags flags = {}, const std::string& weather = "weather.epw") {
    return run_with(host(), weather, flags, "out/result_cfg_g_1");
  }

  std::string script_path() const { return (workspace_ / "src-tauri/resources/run.sh").string(); }
  fs::path temp_model() const { return temp_.path() / "temp_model.json"; }

  test_support::TempDir root_;
  test_support::TempDir temp_;  // never shared between tests, so parallel runs cannot collide
  fs::path workspace_;
  std::ostringstream out_;
  bool lookup_called_ = false;
  std::optional<EngineOutcome> ended_;
  Processes processes_{lookup_called_};
  const json_text::Json model_ = {{"zone", {{"name", "Living room"}, {"area", 23.0}}},
                                      {"list", {1, 2}}};
};

TEST_F(EngineRunnerTest, SuccessfulRunPrintsExactlyTheRunnerLines) {
  write_engine("echo engine chatter; printf 'engine \\377 complaint' >&2; exit 0\n");
  ASSERT_TRUE(run().has_value());
  // The streams come back byte for byte, for the files that keep them.
  ASSERT_TRUE(ended_);
  EXPECT_EQ(ended_->standard_output, "engine chatter\n");
  EXPECT_EQ(ended_->standard_error, "engine \377 complaint");
  EXPECT_EQ(out_.str(),
            "[NATIVE_RUNNER] Using hybrid approach with external process execution\n"
            "[NATIVE_RUNNER] Weather file: weather.epw\n"
            "[NATIVE_RUNNER] Output path: out/result_cfg_g_1\n"
            "[NATIVE_RUNNER] Executing: /bin/bash " +
                script_path() + " " + temp_model().string() +
                " weather.epw cfg []\n"
                "[NATIVE_RUNNER] Simulation completed successfully\n");
  EXPECT_FALSE(fs::exists(temp_model()));
  EXPECT_FALSE(lookup_called_);
}

TEST_F(EngineRunnerTest, EngineGetsItsArgumentsWorkspaceAndTheModelFile) {
  write_engine(
      "printf '%s\\n' \"$0\" \"$#\" \"$@\" > \"$WORKSPACE/args.txt\"\n"
      "printf '%s' \"$WORKSPACE\" > \"$WORKSPACE/workspace.txt\"\n"
      "cp \"$1\" \"$WORKSPACE/model_copy.json\"\n");
  const std::string weather = root_.path().string() + "/weather dir/w 1.epw";
  ASSERT_TRUE(run(cli_flag_from_name("--pre-process-only") | cli_flag_from_name("--heat-balance"),
                  "\\\\?\\" + weather)
                  .has_value())
      << out_.str();

  EXPECT_EQ(root_.read("work space/args.txt"), script_path() + "\n5\n" + temp_model().string() +
                                                   "\n" + weather +
                                                   "\ncfg\n--heat-balance\n--pre-process-only\n");
  EXPECT_EQ(root_.read("work space/workspace.txt"), workspace_.string());
  EXPECT_EQ(root_.read("work space/model_copy.json"), json_text::to_pretty_json(model_));
  EXPECT_NE(out_.str().find("[NATIVE_RUNNER] Weather file: \\\\?\\" + weather + "\n"),
            std::string::npos);
  EXPECT_NE(
      out_.str().find(" \\\\?\\" + weather + " cfg [\"--heat-balance\", \"--pre-process-only\"]\n"),
      std::string::npos);
}

TEST_F(EngineRunnerTest, EngineWithoutOptionsGetsFourArguments) {
  // Inside the script $0 is the script itself, so the shell was given four arguments.
  write_engine("printf '%s\\n' \"$0\" \"$#\" > \"$WORKSPACE/args.txt\"\n");
  ASSERT_TRUE(run().has_value());
  EXPECT_EQ(root_.read("work space/args.txt"), script_path() + "\n3\n");
}

TEST_F(EngineRunnerTest, FailedRunsReportStatusAndBothStreams) {
  const struct {
    const char* script;
    std::string expected;
  } kRows[] = {
      {"printf x; exit 3\n", "Simulation failed. Exit code: Some(3)\nStdout: x\nStderr: "},
      {"printf 'a\\nb'; printf 'bad \\377 byte' >&2; exit 1\n",
       "Simulation failed. Exit code: Some(1)\nStdout: a\nb\nStderr: bad \xEF\xBF\xBD byte"},
      {"printf partial; kill -KILL $$\n",
       "Simulation failed. Exit code: None\nStdout: partial\nStderr: "},
  };
  for (const auto& row : kRows) {
    write_engine(row.script);
    auto result = run();
    ASSERT_FALSE(result.has_value()) << row.script;
    EXPECT_EQ(result.error().message, row.expected);
    EXPECT_FALSE(fs::exists(temp_model())) << row.script;
  }
  EXPECT_EQ(out_.str().find("Simulation completed"), std::string::npos);
}

TEST_F(EngineRunnerTest, MissingScriptIsReportedBeforeAnyShellSearch) {
  auto result = run_with(host({}));
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().message, "run.sh not found at: " + script_path());
  EXPECT_FALSE(lookup_called_);
  EXPECT_EQ(temp_.read(temp_model()), json_text::to_pretty_json(model_));
}

TEST_F(EngineRunnerTest, MissingShellLeavesTheTempModel) {
  write_engine("exit 0\n");
  auto result = run_with(host({"/nonexistent/sh"}));
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().message, std::string("Shell command error: ") + kNotFound);
  EXPECT_TRUE(lookup_called_);
  EXPECT_TRUE(fs::exists(temp_model()));
}

TEST_F(EngineRunnerTest, ShellThatCannotStartGivesTheSystemErrorAndLeavesTheTempModel) {
  write_engine("exit 0\n");
  const fs::path not_executable = root_.write("bash", "not a program");
  auto result = run_with(host({not_executable.string()}));
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().message, "Permission denied (os error 13)");
  EXPECT_TRUE(fs::exists(temp_model()));
}

TEST_F(EngineRunnerTest, UnwritableTempDirectoryFailsBeforeTheEngine) {
  write_engine("touch \"$WORKSPACE/ran\"\n");
  auto result = run_with(host(), "w", {}, "o", temp_.path() / "missing");
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().message, "No such file or directory (os error 2)");
  EXPECT_FALSE(fs::exists(workspace_ / "ran"));
}

// Whatever already stands at the model file's name (an earlier run's leftover, or a link) is
// removed, never written through.
TEST_F(EngineRunnerTest, LeftoverAtTheModelFileNameIsReplacedNotWrittenThrough) {
  write_engine("cp \"$1\" \"$WORKSPACE/seen.json\"\n");
  temp_.write("victim.txt", "keep");
  fs::create_symlink(temp_.path() / "victim.txt", temp_model());
  ASSERT_TRUE(run_with(host()).has_value());
  EXPECT_EQ(temp_.read("victim.txt"), "keep");
  EXPECT_EQ(root_.read("work space/seen.json"), json_text::to_pretty_json(model_));
  EXPECT_FALSE(fs::exists(temp_model()));
}

// An interrupt while the engine runs ends it and the process it started, and the temporary
// model goes as after any other run.
TEST_F(EngineRunnerTest, StopEndsTheEngineAndRemovesTheTemporaryModel) {
  write_engine(
      "sleep 30 & echo $! > \"$WORKSPACE/child\"; touch \"$WORKSPACE/started\"; wait\n");
  std::stop_source stop;
  std::jthread interrupter([&] {
    while (!fs::exists(workspace_ / "started")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stop.request_stop();
  });
  const EngineHost engine_host = host();
  const SimulationRequest request{
      model_, "o", "w", {}, workspace_, "cfg", [this] { return temp_.path(); }};
  const auto result = run_simulation(
      request, EngineServices{out_, system_files(), processes_, engine_host, stop.get_token()});
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().message, kEngineRunInterrupted);
  EXPECT_FALSE(fs::exists(temp_model()));
  // Ended, then reaped by whoever inherited it: allow that a moment.
  const int child = std::stoi(root_.read("work space/child"));
  for (int tries = 0; tries < 200 && ::kill(child, 0) == 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(::kill(child, 0), 0) << "the engine's child still runs";
  EXPECT_EQ(out_.str().find("Simulation completed"), std::string::npos);
}

// The engine is told which combination it simulates and where its result directory is. Past its
// time limit it is stopped, the process it started with it, and that is the engine's failure.
TEST_F(EngineRunnerTest, EngineIsToldItsCombinationAndStoppedAtItsTimeLimit) {
  write_engine(
      "printf '%s|%s' \"$ENSEMBLE_MODEL_NAME\" \"$ENSEMBLE_RESULT_DIR\" > \"$WORKSPACE/told\"\n"
      "echo started; [ -n \"$HANG\" ] || exit 0\n"
      "sleep 30 & echo $! > \"$WORKSPACE/child\"; wait\n");
  const auto run_once = [this](std::optional<std::chrono::milliseconds> limit) {
    SimulationRequest request{model_, "o", "w", {}, workspace_, "cfg",
                              [this] { return temp_.path(); }, "g_3", "/abs/out/result_cfg_g_3",
                              limit};
    return run_simulation(request, EngineServices{out_, system_files(), processes_, host(), {}});
  };
  auto told = run_once(std::chrono::milliseconds(20000));
  ASSERT_TRUE(told && told->verdict);
  EXPECT_EQ(root_.read("work space/told"), "g_3|/abs/out/result_cfg_g_3");

  ::setenv("HANG", "1", 1);
  auto stopped = run_once(std::chrono::milliseconds(300));
  ::unsetenv("HANG");
  ASSERT_TRUE(stopped) << stopped.error().message;
  ASSERT_FALSE(stopped->verdict);
  EXPECT_EQ(stopped->verdict.error().message,
            "the engine was stopped after 0.3 s (time limit)\nStdout: started\n\nStderr: ");
  EXPECT_TRUE(is_engine_failure(stopped->verdict.error()));
  EXPECT_EQ(stopped->standard_output, "started\n");
  EXPECT_FALSE(fs::exists(temp_model()));
  const int child = std::stoi(root_.read("work space/child"));
  for (int tries = 0; tries < 200 && ::kill(child, 0) == 0; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(::kill(child, 0), 0) << "the engine's child still runs";
}

}  // namespace
}  // namespace native_runner
