// Simulated batches that meet failing engine runs and are killed part-way, run through the built
// ensemble_probe against the scripted stand-in engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bin/batch_recovery_e2e_support.h"

namespace probe_e2e {
namespace {

using Runs = std::vector<EngineRun>;

// The stand-in's two powers, seen through a plain batch: a failing model ends the batch at once,
// and a kill ends the program together with the run in flight.
TEST(BatchRecovery, PlainBatchStopsAtTheFirstFailureOrKill) {
  struct Case {
    std::string name;
    std::string fail_when;
    std::string kill_at;
    int exit_code;
    Runs runs;
  };
  const std::vector<Case> cases = {
      {"failure",
       "\"plan\": \"t2\"\n",
       "",
       1,
       {{"start", "g_0"}, {"ok", "g_0"}, {"start", "g_1"}, {"fail", "g_1"}}},
      {"kill",
       "",
       "3",
       -1,
       {{"start", "g_0"},
        {"ok", "g_0"},
        {"start", "g_1"},
        {"ok", "g_1"},
        {"start", "g_2"},
        {"killed", "g_2"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeWorkspace ws;
    write_recovery_workspace(ws);
    if (!c.fail_when.empty()) ws.file(kEngineFailWhen, c.fail_when);
    if (!c.kill_at.empty()) ws.file(kEngineKillAt, c.kill_at);

    const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/sim.json", "out"});

    EXPECT_EQ(run.exit_code, c.exit_code) << run.err;
    EXPECT_EQ(engine_runs(ws), c.runs);
  }
}

}  // namespace
}  // namespace probe_e2e
