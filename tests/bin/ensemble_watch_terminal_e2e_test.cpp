// The live view in a real terminal (tmux): a batch runs with the slow stand-in engine while the
// monitor redraws beside it.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "bin/ensemble_watch_e2e_support.h"
#include "support/batch_records.h"
#include "support/tmux_session.h"

namespace watch_e2e {
namespace {

using probe_e2e::ProbeWorkspace;

int count_of(const std::string& text, const std::string& piece) {
  int count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

TEST(EnsembleWatchTerminal, RedrawsInPlaceWhileTheBatchRunsAndExitsWithItsVerdict) {
  if (!test_support::have_program("tmux")) GTEST_SKIP() << "tmux is not installed";
  ProbeWorkspace ws;
  write_batch(ws, {"t1", "t2", "t3", "t4", "fail-me"});
  const std::string command =
      "cd '" + ws.cwd() + "' && export SLOW_ENGINE_SECONDS=0.5 TMPDIR='" + ws.cwd() +
      "' NO_COLOR=1 TERM=xterm-256color; '" + probe_e2e::kProbe + "' --simulation '" +
      config_path(ws) + "' out > probe.txt 2>&1 & '" + kWatch +
      "' out; echo WATCH_EXIT=$?; sleep 60";
  test_support::TmuxSession terminal(command, 90, 20);

  const std::regex bar(R"(\[[#.]+\] (\d)/5 +\d+%)");
  std::set<int> done_while_running;
  std::string last;
  const bool ended = terminal.watch(
      [&](const std::string& screen) {
        std::smatch match;
        if (screen.find("running") != std::string::npos &&
            std::regex_search(screen, match, bar)) {
          done_while_running.insert(std::stoi(match[1]));
        }
        last = screen;
        return screen.find("WATCH_EXIT=") != std::string::npos;
      },
      std::chrono::seconds(25));
  ASSERT_TRUE(ended) << last;

  // The bar moved while the batch ran: at least two different counts short of the end.
  EXPECT_GE(done_while_running.size(), 2u);
  EXPECT_TRUE(done_while_running.contains(1) || done_while_running.contains(2) ||
              done_while_running.contains(3));
  // One frame, redrawn in place: the title appears once.
  EXPECT_EQ(count_of(last, "ensemble_watch out"), 1) << last;
  EXPECT_NE(last.find("ensemble_watch out  batch ended with failures"), std::string::npos) << last;
  EXPECT_NE(last.find("] 5/5 100%"), std::string::npos) << last;
  EXPECT_NE(last.find("succeeded 4  skipped 0  failed 1  running 0"), std::string::npos) << last;
  EXPECT_NE(last.find("  SIMULATION_FAILED g_4: Simulation failed:"), std::string::npos) << last;
  EXPECT_NE(last.find("WATCH_EXIT=1"), std::string::npos) << last;
  EXPECT_EQ(terminal.screen(true).find("\x1b[3"), std::string::npos) << "colour despite NO_COLOR";
  EXPECT_TRUE(terminal.cursor_visible());
  std::cout << "[ screen   ] captured after the batch ended:\n" << last;
}

TEST(EnsembleWatchTerminal, CtrlCRestoresTheCursorOnAColouredView) {
  if (!test_support::have_program("tmux")) GTEST_SKIP() << "tmux is not installed";
  ProbeWorkspace ws;
  // A batch that started and has one model running, and never goes on.
  ws.file("out/logs/processing/batch_processing_native_test.log",
          test_support::event(0, "BATCH_START") +
              test_support::event(1, "MODEL_START", "g_0", 0, 2));
  test_support::TmuxSession terminal("cd '" + ws.cwd() + "' && TERM=xterm-256color '" + kWatch +
                                         "' out; echo WATCH_EXIT=$?; sleep 60",
                                     80, 12);
  ASSERT_TRUE(terminal.watch(
      [](const std::string& screen) { return screen.find("running: g_0") != std::string::npos; },
      std::chrono::seconds(10)));
  EXPECT_FALSE(terminal.cursor_visible());
  EXPECT_NE(terminal.screen(true).find("\x1b[33m"), std::string::npos) << "no colour";
  terminal.send_keys("C-c");
  std::string last;
  ASSERT_TRUE(terminal.watch(
      [&](const std::string& screen) {
        last = screen;
        return screen.find("WATCH_EXIT=") != std::string::npos;
      },
      std::chrono::seconds(10)));
  EXPECT_NE(last.find("WATCH_EXIT=130"), std::string::npos) << last;
  EXPECT_TRUE(terminal.cursor_visible());
}

}  // namespace
}  // namespace watch_e2e
