// Simulation batches keep the engine's model file in a directory of their own under the
// temporary directory, which other accounts and other batches share.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <string>

#include "bin/ensemble_probe_e2e_support.h"

namespace probe_e2e {
namespace {

const char* const kEngineScript = "ws/src-tauri/resources/run.sh";

// Waits long enough for a concurrent batch to reach its own engine, then keeps what it was handed,
// per config name (its third argument).
const char* const kSlowRecordingEngine = R"(#!/bin/bash
sleep 0.3
{ cat "$1"; printf '\n--\n'; } >> "$(dirname "$0")/seen_$3.txt"
)";

void write_simulated_house(const ProbeWorkspace& ws) {
  write_house_parameters(ws);
  ws.param("weather_files/site.json", R"({"weather_file": "site.epw"})");
  ws.param("weather_files/site.epw", "weather");
  ws.param("model_wrappers/passthrough.json", "{}");
  ws.file(kEngineScript, kSlowRecordingEngine);
}

// Everything the engine should have seen in one batch: each variant the batch wrote, in order.
std::string written_variants(const ProbeWorkspace& ws, const std::string& config, int count) {
  std::string variants;
  for (int i = 0; i < count; ++i) {
    variants +=
        ws.read("out_" + config + "/result_" + config + "_g_" + std::to_string(i) + "/g.json") +
        "\n--\n";
  }
  return variants;
}

// Another account planted temp_model.json in a world-writable, sticky temporary directory as a
// link to a file that the batch's owner may write.
TEST(EnsembleProbeTempDirectory, PlantedLinkIsNeitherFollowedNorRemoved) {
  ProbeWorkspace ws;
  write_simulated_house(ws);
  ws.config("a.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "lighting": ["l1"]}})");
  const fs::path victim = ws.root() / "victim.txt";
  ws.file("victim.txt", "precious");
  fs::create_directories(ws.tmp());
  ASSERT_EQ(::chmod(ws.tmp().c_str(), 01777), 0);
  fs::create_symlink(victim, ws.tmp() / "temp_model.json");

  const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/a.json", "out_a"});

  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(mask_batch_directory(run.out).find(" " + ws.temp_model() + " "), std::string::npos)
      << run.out;
  EXPECT_EQ(ws.read("victim.txt"), "precious");
  EXPECT_EQ(ws.read("ws/src-tauri/resources/seen_a.txt"), written_variants(ws, "a", 1));
  Tree left;
  for (const auto& entry : fs::directory_iterator(ws.tmp())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, Tree{"temp_model.json"});
  EXPECT_EQ(fs::read_symlink(ws.tmp() / "temp_model.json"), victim);
}

// Two configurations started at the same time in two terminals, with one temporary directory.
TEST(EnsembleProbeTempDirectory, ConcurrentBatchesEachHandTheEngineTheirOwnModels) {
  ProbeWorkspace ws;
  write_simulated_house(ws);
  ws.config("a.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "lighting": ["l1"], "tariff": ["t1", "t2", "t3"]}})");
  ws.config("b.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
    "lighting": ["l2"], "tariff": ["t1", "t2", "t3"]}})");

  auto batch = [&ws](const std::string& config) {
    return ws.probe_with_tmp(
        {"--simulation", "ws/input/configs/" + config + ".json", "out_" + config});
  };
  auto a = std::async(std::launch::async, batch, "a");
  auto b = std::async(std::launch::async, batch, "b");
  const ProgramRun run_a = a.get();
  const ProgramRun run_b = b.get();

  EXPECT_EQ(run_a.exit_code, 0) << run_a.err;
  EXPECT_EQ(run_b.exit_code, 0) << run_b.err;
  const std::string seen_a = ws.read("ws/src-tauri/resources/seen_a.txt");
  EXPECT_EQ(seen_a, written_variants(ws, "a", 3));
  EXPECT_EQ(ws.read("ws/src-tauri/resources/seen_b.txt"), written_variants(ws, "b", 3));
  EXPECT_NE(seen_a, written_variants(ws, "b", 3)) << "the batches must simulate different models";
  EXPECT_EQ(ws.tree("tmp"), Tree{});
}

// A temporary directory that cannot be had ends the batch at its first simulation, after the
// runner's opening lines, with one line that names it and says why; nothing goes to the current
// directory instead.
TEST(EnsembleProbeTempDirectory, UnusableTemporaryDirectoryEndsTheBatchNamingIt) {
  const struct {
    std::string tmpdir;  // below the workspace
    std::string reason;
  } kRows[] = {
      {"plain_file", "Not a directory (os error 20)"},
      {"missing", "No such file or directory (os error 2)"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.tmpdir);
    ProbeWorkspace ws;
    write_simulated_house(ws);
    ws.file("plain_file", "x");
    ws.config("a.json", R"({"g": {"base_json": ["house"], "weather_files": ["site"],
      "lighting": ["l1"]}})");
    const std::string tmpdir = (ws.root() / row.tmpdir).string();
    fs::create_directories(ws.tmp());
    const Tree before = ws.tree("");

    const ProgramRun run = ws.probe_with_tmp({"--simulation", "ws/input/configs/a.json", "out"},
                                             "", {"TMPDIR=" + tmpdir});

    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "[ensemble_probe] Native batch failed: the temporary directory '" + tmpdir +
                           "' cannot be used: " + row.reason + "\n");
    EXPECT_TRUE(run.out.ends_with("[NATIVE_RUNNER] Output path: out/result_a_g_0\n")) << run.out;
    Tree after;
    for (const auto& name : ws.tree("")) {
      if (!name.starts_with("out")) after.push_back(name);
    }
    EXPECT_EQ(after, before) << "something was made beside the batch";
  }
}

}  // namespace
}  // namespace probe_e2e
