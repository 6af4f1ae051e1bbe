// Runs the built ensemble_watch on batches that the built ensemble_probe ran (or is running)
// with the slow stand-in engine, with standard output not a terminal.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bin/ensemble_watch_e2e_support.h"
#include "json/json_reader.h"

namespace watch_e2e {
namespace {

using probe_e2e::ProbeWorkspace;
using test_support::ProgramRun;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(EnsembleWatchOnce, ReportsFinishedBatchesWithAndWithoutFailures) {
  const struct {
    const char* name;
    std::vector<std::string> plans;
    bool simulation;
    std::vector<std::string> expected;  // lines, pace cut off
    int exit_code;
    int cells;
  } cases[] = {
      {"all succeed", {"t1", "t2", "t3"}, true,
       {"[complete] 3/3 done (100%): succeeded 3, skipped 0, failed 0, running 0"}, 0, 3},
      {"the second fails and ends the batch", {"t1", "fail-me", "t3"}, true,
       {"  SIMULATION_FAILED g_1: Simulation failed: Simulation failed. Exit code: Some(3) "
        "Stdout:  Stderr: stand-in engine: asked to fail",
        "[failed] 2/3 done (66%): succeeded 1, skipped 0, failed 1, running 0"}, 1, 3},
      {"variants only", {"t1", "t2"}, false,
       {"[complete] 2/2 done (100%): written 2, skipped 0, failed 0"}, 0, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeWorkspace ws;
    write_batch(ws, c.plans);
    std::vector<std::string> args{config_path(ws), ws.cwd() + "/out"};
    if (c.simulation) args.insert(args.begin(), "--simulation");
    const ProgramRun batch = ws.probe_with_tmp(args, "", {"SLOW_ENGINE_SECONDS=0"});
    ASSERT_EQ(batch.exit_code, c.exit_code) << batch.out << batch.err;

    const ProgramRun once = test_support::run_program(
        kWatch, {"--once", "out", "--report", "report.html"}, ws.root());
    EXPECT_EQ(once.exit_code, c.exit_code) << once.err;
    EXPECT_EQ(once.err, "");
    std::vector<std::string> lines = lines_of(once.out);
    if (!lines.empty()) lines.back() = without_pace(lines.back());
    EXPECT_EQ(lines, c.expected);
    const std::string page = ws.read("report.html");
    std::size_t cells = 0;
    for (auto at = page.find("<div class=\"cell "); at != std::string::npos;
         at = page.find("<div class=\"cell ", at + 1)) {
      ++cells;
    }
    EXPECT_EQ(cells, static_cast<std::size_t>(c.cells));

    const ProgramRun json = test_support::run_program(kWatch, {"--json", "out"}, ws.root());
    EXPECT_EQ(json.exit_code, c.exit_code);
    const auto document = json_text::parse_json(json.out);
    ASSERT_TRUE(document.has_value()) << json.out;
    EXPECT_EQ((*document)["ended"], true);
    EXPECT_EQ((*document)["state"], c.exit_code == 0 ? "complete" : "failed");
    EXPECT_EQ((*document)["counts"]["total"], c.plans.size());
    EXPECT_EQ((*document)["job_ids"], json_text::Json::parse(R"(["native_test"])"));
  }
}

TEST(EnsembleWatchOnce, BadUseExitsWithTwoAndSaysWhy) {
  ProbeWorkspace ws;
  ws.file("empty/.keep", "");
  const struct {
    std::vector<std::string> args;
    std::string first_error_line;
  } cases[] = {
      {{}, "[ensemble_watch] missing <output_dir>"},
      {{"--tail", "out"}, "[ensemble_watch] unknown option: --tail"},
      {{"--once", "missing"}, "[ensemble_watch] No such directory: missing"},
      {{"--json", "empty"}, "[ensemble_watch] No batch records in empty"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = test_support::run_program(kWatch, c.args, ws.root());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines_of(run.err).at(0), c.first_error_line);
  }
}

// Started before the batch creates its directory, the monitor waits, prints one line per change
// while the batch runs, and exits by itself with the batch's verdict.
TEST(EnsembleWatchLive, FollowsARunningBatchWithOneLinePerChange) {
  ProbeWorkspace ws;
  write_batch(ws, {"t1", "t2", "t3", "t4"});
  const std::string script = "'" + kWatch + "' out > watch.txt & watcher=$!; sleep 0.3; '" +
                             probe_e2e::kProbe + "' --simulation '" + config_path(ws) +
                             "' out > probe.txt 2>&1; wait $watcher; echo \"exit $?\"";
  const ProgramRun run = test_support::run_program(
      "/usr/bin/env", {"SLOW_ENGINE_SECONDS=0.3", "TMPDIR=" + ws.cwd(), "bash", "-c", script},
      ws.root());
  EXPECT_EQ(run.out, "exit 0\n") << run.err;
  const std::vector<std::string> lines = lines_of(ws.read("watch.txt"));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "[waiting] 0/0 done (0%): succeeded 0, skipped 0, failed 0, running 0");
  EXPECT_EQ(without_pace(lines.back()),
            "[complete] 4/4 done (100%): succeeded 4, skipped 0, failed 0, running 0");
  int last_done = -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      EXPECT_NE(lines[i], lines[i - 1]);
    }
    const int done = std::stoi(lines[i].substr(lines[i].find(']') + 2));
    EXPECT_GE(done, last_done) << lines[i];
    last_done = done;
  }
}

}  // namespace
}  // namespace watch_e2e
