// Runs the built ensemble_probe with every shape of command line it must accept or refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

const char* const kUsageTail =
    " [--simulation] <config_path> <output_dir>\n"
    "  --simulation: Run full simulation (default: JSON-only mode)\n";

TEST(EnsembleProbeCommandLine, WrongArgumentCountPrintsUsageAndCreatesNothing) {
  const std::vector<std::vector<std::string>> rows = {
      {},
      {"out"},
      {"ws/input/configs/batch.json", "out", "extra", "more"},
      {"--simulation", "ws/input/configs/batch.json", "out", "more"},
      {"a", "b", "c", "d", "e"},
  };
  ProbeWorkspace ws;
  for (const auto& args : rows) {
    SCOPED_TRACE(args.size());
    const ProgramRun run = ws.probe(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Usage: " + kProbe + kUsageTail);
  }
  EXPECT_EQ(ws.tree(""), Tree{});

  // The program is named as it was invoked.
  const ProgramRun renamed = test_support::run_program(kProbe, {"out"}, ws.root(), "probe");
  EXPECT_EQ(renamed.err, std::string("Usage: probe") + kUsageTail);
}

// A configuration path without three removable levels names no workspace: the output directory
// is made, and the driver is never reached.
TEST(EnsembleProbeCommandLine, ConfigurationPathWithoutWorkspaceStopsBeforeTheDriver) {
  const struct {
    std::vector<std::string> args;
    std::string config;
  } rows[] = {
      {{"--simulation", "out"}, "--simulation"},
      {{"--Simulation", "out", "ws/input/configs/batch.json"}, "--Simulation"},
      {{"configs/batch.json", "out"}, "configs/batch.json"},
      {{"/input/batch.json", "out"}, "/input/batch.json"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.config);
    ProbeWorkspace ws;
    const ProgramRun run = ws.probe(row.args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "[ensemble_probe] Called with config: " + row.config +
                           " output_dir: out json_only: true\n");
    EXPECT_EQ(run.err, "[ensemble_probe] cannot derive the workspace from configuration path '" +
                           row.config +
                           "': it needs three parent levels (workspace/input/configs/file)\n");
    EXPECT_EQ(ws.tree(""), Tree{"out"});
  }
}

TEST(EnsembleProbeCommandLine, ThirdArgumentAfterAConfigurationPathIsIgnored) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("batch.json", R"({"g": {"base_json": ["house"]}})");

  const ProgramRun run = ws.probe({"ws/input/configs/batch.json", "out", "extra"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(mask_timestamps(run.out), opening_lines(relative_run(ws, "batch")) +
                                          group_start("g", 1) +
                                          written_combination("g_0", 0, 1, "100.0") +
                                          group_end("g", 1) + closing_lines(true));
  EXPECT_FALSE(ws.exists("extra"));
  EXPECT_EQ(ws.tree("out"),
            (Tree{"logs", "logs/processing", "logs/processing/batch_processing_native_test.log",
                  "progress_native_test.json", "result_batch_g_0", "result_batch_g_0/g.json"}));
}

TEST(EnsembleProbeCommandLine, ExistingOutputDirectoryIsUsedAsItIs) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("batch.json", R"({"g": {"base_json": ["house"]}})");
  ws.file("out/keep.txt", "kept");

  const ProgramRun run = ws.probe({"ws/input/configs/batch.json", "out"});

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.starts_with(opening_lines(relative_run(ws, "batch"))));
  EXPECT_EQ(ws.read("out/keep.txt"), "kept");
  EXPECT_EQ(ws.read("out/result_batch_g_0/g.json"), kHousePretty);
}

// Run from inside the workspace, the workspace is the empty path and the base parameters are
// found relative to the working directory.
TEST(EnsembleProbeCommandLine, RelativeConfigurationPathOfThreeComponents) {
  ProbeWorkspace ws;
  write_house_parameters(ws);
  ws.config("batch.json", R"({"g": {"base_json": ["house"], "lighting": ["l2"]}})");

  const ProgramRun run = ws.probe({"input/configs/batch.json", "out"}, "ws");

  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const Invocation invocation{
      "input/configs/batch.json", "out", true, "", "input/batch_parameters", "batch",
      (ws.root() / "ws").string()};
  EXPECT_EQ(mask_timestamps(run.out), opening_lines(invocation) + group_start("g", 1) +
                                          written_combination("g_0", 0, 1, "100.0") +
                                          group_end("g", 1) + closing_lines(true));
  EXPECT_EQ(ws.read("ws/out/result_batch_g_0/g.json"),
            R"({
  "Lighting": {
    "efficacy": 120
  },
  "Tariff": {
    "plan": "base",
    "standing": 1
  },
  "Zone": {
    "lounge": {
      "area": 20.5
    }
  }
})");
}

// The message is the system's own for the directory that could not be made: a regular file on
// the way is "not a directory", a regular file in its place "exists".
TEST(EnsembleProbeCommandLine, OutputDirectoryThatCannotBeCreated) {
  const struct {
    const char* out;
    const char* error;
  } rows[] = {
      {"plain/out", "Not a directory (os error 20)"},
      {"plain", "File exists (os error 17)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.out);
    ProbeWorkspace ws;
    ws.file("plain", "a regular file");

    const ProgramRun run = ws.probe({"ws/input/configs/batch.json", row.out});

    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out,
              "[ensemble_probe] Called with config: ws/input/configs/batch.json output_dir: " +
                  std::string(row.out) + " json_only: true\n");
    EXPECT_EQ(run.err, std::string("Failed to create output directory: ") + row.error + "\n");
    EXPECT_EQ(ws.tree(""), Tree{"plain"});
    EXPECT_EQ(ws.read("plain"), "a regular file");
  }
}

}  // namespace
}  // namespace probe_e2e
